// The IPv4 editor: typing, focus moves, text in and out; and the checks the
// dialogs apply to what was typed.
#include "OrvIPLineEdit.h"
#include "ZelIPAddress.h"
#include "ZelIPWidget.h"

#include <QApplication>
#include <QtTest>

class TestZelIPWidget : public QObject
{
    Q_OBJECT
private slots:
    void keys_data();
    void keys();
    void textAndSetText_data();
    void textAndSetText();
    void addressRules_data();
    void addressRules();
    void dotted();
};

// Keys: digits, '.' dot, ' ' space, 'b' backspace, '<' left, '>' right.
void TestZelIPWidget::keys_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("cursor"); // -1: end of the text, -2: the whole text selected
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("focus");
    QTest::addColumn<bool>("selected");

    QTest::newRow("192 168 1 10") << "..." << 0 << -1 << "192 168 1 10" << "192.168.1.10" << 3 << false;
    QTest::newRow("256 is refused") << "..." << 0 << -1 << "256" << "25.0.0.0" << 0 << false;
    QTest::newRow("third digit jumps on") << "..." << 1 << -1 << "123" << "0.123.0.0" << 2 << true;
    QTest::newRow("third digit in the last field stays") << "..." << 3 << -1 << "123" << "0.0.0.123" << 3 << false;
    QTest::newRow("dots move on") << "..." << 0 << -1 << "10.0.0.55" << "10.0.0.55" << 3 << false;
    QTest::newRow("dot after a third digit") << "..." << 0 << -1 << "192.168.1.10" << "192.168.1.10" << 3 << false;
    QTest::newRow("dot in an empty first field") << "..." << 0 << -1 << ".5" << "5.0.0.0" << 0 << false;
    QTest::newRow("dot in the last field stays") << "1.2.3.4" << 3 << -1 << ".5" << "1.2.3.45" << 3 << false;
    QTest::newRow("an address typed over another") << "192.168.1.101" << 0 << -2 << "192.168.1.55" << "192.168.1.55"
                                                   << 3 << false;
    QTest::newRow("a short address typed over another") << "192.168.1.101" << 0 << -2 << "10.0.0.55" << "10.0.0.55"
                                                         << 3 << false;
    QTest::newRow("blanks typed over another") << "192.168.1.101" << 0 << -2 << "10 200 3 4" << "10.200.3.4" << 3
                                               << false;
    QTest::newRow("a fourth digit is refused") << "..." << 3 << -1 << "0012" << "0.0.0.1" << 3 << false;
    QTest::newRow("leading zeros") << "..." << 0 << -1 << "0072" << "7.2.0.0" << 1 << false;
    QTest::newRow("space jumps from a filled field") << "7..." << 0 << -1 << " " << "7.0.0.0" << 1 << true;
    QTest::newRow("backspace at a field start") << "1.22.3.4" << 2 << 0 << "b" << "1.22.3.4" << 1 << true;
    QTest::newRow("left at a field start") << "1.22.3.4" << 2 << 0 << "<" << "1.22.3.4" << 1 << true;
    QTest::newRow("backspace in the first field") << "1.2.3.4" << 0 << 0 << "b" << "1.2.3.4" << 0 << false;
    QTest::newRow("backspace inside a field deletes") << "12.2.3.4" << 0 << -1 << "b" << "1.2.3.4" << 0 << false;
    QTest::newRow("right at a field end") << "1.2.3.4" << 1 << -1 << ">" << "1.2.3.4" << 2 << true;
}

void TestZelIPWidget::keys()
{
    QFETCH(QString, start);
    QFETCH(int, field);
    QFETCH(int, cursor);
    QFETCH(QString, keys);
    QFETCH(QString, text);
    QFETCH(int, focus);
    QFETCH(bool, selected);

    ZelIPWidget editor;
    editor.setText(start);
    editor.show();
    QApplication::setActiveWindow(&editor);
    QVERIFY(QTest::qWaitForWindowActive(&editor));
    OrvIPLineEdit* first = editor.fields().at(field);
    first->setFocus();
    first->deselect();
    first->setCursorPosition(cursor < 0 ? first->text().size() : cursor);
    if (cursor == -2)
        first->selectAll();
    QTRY_COMPARE(QApplication::focusWidget(), first);

    for (QChar c : keys) {
        QWidget* target = QApplication::focusWidget();
        QVERIFY(target);
        switch (c.unicode()) {
        case ' ': QTest::keyClick(target, Qt::Key_Space); break;
        case 'b': QTest::keyClick(target, Qt::Key_Backspace); break;
        case '<': QTest::keyClick(target, Qt::Key_Left); break;
        case '>': QTest::keyClick(target, Qt::Key_Right); break;
        default: QTest::keyClick(target, c.toLatin1()); break;
        }
    }
    QCOMPARE(editor.text(), text);
    OrvIPLineEdit* now = editor.fields().at(focus);
    QCOMPARE(QApplication::focusWidget(), now);
    if (selected)
        QCOMPARE(now->selectedText(), now->text());
}

void TestZelIPWidget::textAndSetText_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<uint>("address");
    QTest::newRow("four parts") << "1.2.3.4" << "1.2.3.4" << true << 0x01020304u;
    QTest::newRow("leading zero") << "010.1.1.1" << "10.1.1.1" << true << 0x0A010101u;
    QTest::newRow("empty field reads 0 but is no address") << "192..1.10" << "192.0.1.10" << false << 0u;
    QTest::newRow("all empty") << "..." << "0.0.0.0" << false << 0u;
    QTest::newRow("zeros typed") << "0.0.0.0" << "0.0.0.0" << true << 0u;
    QTest::newRow("three parts change nothing") << "1.2.3" << "9.8.7.6" << true << 0x09080706u;
    QTest::newRow("five parts change nothing") << "1.2.3.4.5" << "9.8.7.6" << true << 0x09080706u;
    QTest::newRow("one part changes nothing") << "" << "9.8.7.6" << true << 0x09080706u;
    QTest::newRow("a value above 255 set from outside") << "300.1.1.1" << "300.1.1.1" << false << 0u;
}

void TestZelIPWidget::textAndSetText()
{
    QFETCH(QString, input);
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(uint, address);
    ZelIPWidget editor;
    editor.setText(QStringLiteral("9.8.7.6"));
    editor.setText(input);
    QCOMPARE(editor.text(), text);
    uint32_t value = 0xDEADBEEF;
    QCOMPARE(editor.address(&value), valid);
    QCOMPARE(value, valid ? address : 0xDEADBEEFu);
}

void TestZelIPWidget::addressRules_data()
{
    using R = ZelIPAddress::Refusal;
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("gateway");
    QTest::addColumn<int>("refusal");
    QTest::newRow("good") << "10.0.0.50" << "255.0.0.0" << "0.0.0.0" << int(R::None);
    QTest::newRow("good with gateway") << "192.168.1.50" << "255.255.255.0" << "192.168.1.1" << int(R::None);
    QTest::newRow("/31 has no network address") << "192.168.1.0" << "255.255.255.254" << "0.0.0.0" << int(R::None);
    QTest::newRow("empty ip") << "192..1.50" << "255.255.255.0" << "0.0.0.0" << int(R::Ip);
    QTest::newRow("all zero") << "0.0.0.0" << "0.0.0.0" << "0.0.0.0" << int(R::Ip);
    QTest::newRow("0/8") << "0.1.2.3" << "255.0.0.0" << "0.0.0.0" << int(R::Ip);
    QTest::newRow("loopback") << "127.0.0.5" << "255.0.0.0" << "0.0.0.0" << int(R::Ip);
    QTest::newRow("multicast") << "224.0.0.5" << "255.255.255.0" << "0.0.0.0" << int(R::Ip);
    QTest::newRow("broadcast") << "255.255.255.255" << "255.255.255.0" << "0.0.0.0" << int(R::Ip);
    QTest::newRow("network address") << "192.168.1.0" << "255.255.255.0" << "0.0.0.0" << int(R::Ip);
    QTest::newRow("subnet broadcast") << "10.255.255.255" << "255.0.0.0" << "0.0.0.0" << int(R::Ip);
    QTest::newRow("empty mask") << "10.0.0.50" << "255..0.0" << "0.0.0.0" << int(R::Subnet);
    QTest::newRow("holes in mask") << "10.0.0.50" << "255.0.255.0" << "0.0.0.0" << int(R::Subnet);
    QTest::newRow("zero mask") << "10.0.0.50" << "0.0.0.0" << "0.0.0.0" << int(R::Subnet);
    QTest::newRow("bad ip before bad mask") << "127.0.0.1" << "255.0.255.0" << "0.0.0.0" << int(R::Ip);
    QTest::newRow("gateway elsewhere") << "10.0.0.50" << "255.0.0.0" << "192.168.1.1" << int(R::Gateway);
    QTest::newRow("empty gateway") << "10.0.0.50" << "255.0.0.0" << "10..0.1" << int(R::Gateway);
}

void TestZelIPWidget::addressRules()
{
    QFETCH(QString, ip);
    QFETCH(QString, mask);
    QFETCH(QString, gateway);
    QFETCH(int, refusal);
    ZelIPWidget editors[3];
    const QString texts[3] = {ip, mask, gateway};
    std::optional<uint32_t> values[3];
    for (int i = 0; i < 3; ++i) {
        editors[i].setText(texts[i]);
        uint32_t v = 0;
        if (editors[i].address(&v))
            values[i] = v;
    }
    QCOMPARE(int(ZelIPAddress::check(values[0], values[1], values[2])), refusal);
}

void TestZelIPWidget::dotted()
{
    QCOMPARE(ZelIPAddress::dotted(0xC0A8010Au), QStringLiteral("192.168.1.10"));
    QCOMPARE(ZelIPAddress::dotted(0), QStringLiteral("0.0.0.0"));
    QCOMPARE(ZelIPAddress::dotted(0xFFFFFFFFu), QStringLiteral("255.255.255.255"));
}

QTEST_MAIN(TestZelIPWidget)
#include "tst_ZelIPWidget.moc"
