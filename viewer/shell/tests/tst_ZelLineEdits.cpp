// The hexadecimal and search line edits and the pixmap label.
#include "ZelHexIntLineEdit.h"
#include "ZelPixmapLabel.h"
#include "ZelSearchLineEdit.h"

#include <QSignalSpy>
#include <QStyle>
#include <QValidator>
#include <QToolButton>
#include <QtTest>

class TestLineEdits : public QObject
{
    Q_OBJECT

private slots:
    void hexValidator_data();
    void hexValidator();
    void isHex_data();
    void isHex();

    void searchEmptyAndFilled();
    void searchButtonPlacement();

    void pixmapHeightForWidth();
    void pixmapScalesWithLabel();
};

void TestLineEdits::hexValidator_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("state");
    QTest::newRow("hex") << "0x1F" << int(QValidator::Acceptable);
    QTest::newRow("hex upper prefix") << "0X1f" << int(QValidator::Acceptable);
    QTest::newRow("decimal") << "123" << int(QValidator::Acceptable);
    QTest::newRow("prefix alone") << "0x" << int(QValidator::Intermediate);
    QTest::newRow("empty") << "" << int(QValidator::Intermediate);
    QTest::newRow("decimal with letter") << "12a" << int(QValidator::Invalid);
    QTest::newRow("bracket in hex") << "0x1(" << int(QValidator::Invalid);
    QTest::newRow("bar in hex") << "0x|" << int(QValidator::Invalid);
    QTest::newRow("not hex digit") << "0x1G" << int(QValidator::Invalid);
    QTest::newRow("eight hex digits") << "0xFFFFFFFF" << int(QValidator::Acceptable);
    QTest::newRow("nine hex digits") << "0x123456789" << int(QValidator::Invalid);
    QTest::newRow("largest decimal") << "4294967295" << int(QValidator::Acceptable);
    QTest::newRow("decimal beyond 32 bits") << "4294967296" << int(QValidator::Invalid);
    QTest::newRow("decimal beyond 64 bits") << "99999999999999999999999" << int(QValidator::Invalid);
    QTest::newRow("negative") << "-1" << int(QValidator::Invalid);
    QTest::newRow("blank inside") << "12 3" << int(QValidator::Invalid);
}

void TestLineEdits::hexValidator()
{
    QFETCH(QString, input);
    QFETCH(int, state);
    ZelHexIntLineEdit edit;
    int pos = input.size();
    QCOMPARE(int(edit.validator()->validate(input, pos)), state);
}

void TestLineEdits::isHex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hex");
    QTest::newRow("upper prefix") << "0X1f" << true;
    QTest::newRow("lower prefix") << "0xab" << true;
    QTest::newRow("decimal") << "123" << false;
    QTest::newRow("prefix alone") << "0x" << false;
}

void TestLineEdits::isHex()
{
    QFETCH(QString, text);
    QFETCH(bool, hex);
    ZelHexIntLineEdit edit;
    edit.setText(text);
    QCOMPARE(edit.isHex(), hex);
}

void TestLineEdits::searchEmptyAndFilled()
{
    ZelSearchLineEdit edit;
    edit.show();
    QCOMPARE(edit.placeholderText(), QStringLiteral("Search"));
    QVERIFY(edit.styleSheet().contains(QStringLiteral("font-style: italic;")));
    QVERIFY(edit.searchButton()->styleSheet().contains(QStringLiteral("search_line_edit_search.png")));
    QVERIFY(!edit.searchButton()->styleSheet().contains(QStringLiteral(":hover")));

    // The empty field's button does nothing.
    QSignalSpy changed(&edit, SIGNAL(textChanged(QString)));
    edit.searchButton()->click();
    QCOMPARE(changed.count(), 0);

    QTest::keyClicks(&edit, QStringLiteral("Gain"));
    QVERIFY(!edit.styleSheet().contains(QStringLiteral("italic")));
    const QString button = edit.searchButton()->styleSheet();
    QVERIFY(button.contains(QStringLiteral("search_line_edit_clear.png")));
    QVERIFY(button.contains(QStringLiteral("QToolButton:hover { background-image: url(:/res/icon/customcontrols/search_line_edit_hover.png); }")));
    QVERIFY(button.contains(QStringLiteral("QToolButton:pressed { background-image: url(:/res/icon/customcontrols/search_line_edit_active.png); }")));

    edit.searchButton()->click();
    QVERIFY(edit.text().isEmpty());
    QVERIFY(edit.searchButton()->styleSheet().contains(QStringLiteral("search_line_edit_search.png")));
}

void TestLineEdits::searchButtonPlacement()
{
    ZelSearchLineEdit edit;
    edit.resize(200, 30);
    edit.show();
    const int fw = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    QToolButton* b = edit.searchButton();
    QCOMPARE(b->size(), QSize(18, 18));
    QCOMPARE(b->x(), edit.rect().right() - fw - 18 - 2);
    QCOMPARE(b->y(), (edit.rect().bottom() + 2 - 18) / 2);
    QVERIFY(edit.minimumSize().width() >= b->sizeHint().width() + 2 * fw + 2);
    QVERIFY(edit.minimumSize().height() >= b->sizeHint().height() + 2 * fw + 2);
}

void TestLineEdits::pixmapHeightForWidth()
{
    ZelPixmapLabel label;
    QLabel plain;
    QCOMPARE(label.minimumSize(), QSize(1, 1));
    QCOMPARE(label.heightForWidth(200), plain.heightForWidth(200));
    QVERIFY(label.image().isNull());
    QImage img(400, 300, QImage::Format_Grayscale8);
    img.fill(128);
    label.setImage(img);
    QCOMPARE(label.heightForWidth(200), 150);
    QCOMPARE(label.heightForWidth(3), 2);
    QCOMPARE(label.image(), img);
}

void TestLineEdits::pixmapScalesWithLabel()
{
    ZelPixmapLabel label;
    label.resize(100, 100);
    label.show();
    QImage img(400, 200, QImage::Format_RGB32);
    img.fill(Qt::red);
    label.setImage(img);
    QCOMPARE(label.pixmap(Qt::ReturnByValue).size(), QSize(100, 50));
    label.resize(60, 100);
    QCOMPARE(label.pixmap(Qt::ReturnByValue).size(), QSize(60, 30));
    QCOMPARE(label.sizeHint(), QSize(60, 30));
    label.setImage(QImage());
    QVERIFY(label.pixmap(Qt::ReturnByValue).isNull());
}

QTEST_MAIN(TestLineEdits)
#include "tst_ZelLineEdits.moc"
