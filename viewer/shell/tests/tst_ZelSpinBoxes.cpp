// The two spin boxes: typing, correction at the end of editing, the balloon.
#include "ZelBalloonTip.h"
#include "ZelDoubleSpinBox.h"
#include "ZelSpinBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include <climits>

namespace {

QString balloonMessage()
{
    ZelBalloonTip* b = ZelBalloonTip::currentBalloon();
    if (!b)
        return QString();
    QStringList texts;
    for (QLabel* l : b->findChildren<QLabel*>())
        if (!l->text().isEmpty())
            texts << l->text();
    return texts.join(QLatin1Char('|'));
}

// Types text into the box and finishes the edit with Return.
template <typename Box>
void typeAndEnter(Box& box, const QString& text)
{
    box.selectAll();
    QTest::keyClicks(&box, text);
    QTest::keyClick(&box, Qt::Key_Return);
}

} // namespace

class TestSpinBoxes : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { ZelBalloonTip::hideBalloon(); }

    void intValidate_data();
    void intValidate();
    void intCorrection_data();
    void intCorrection();
    void intBalloonOnlyForInvalidInput();
    void intBalloonWithoutParent();
    void intSuffixAndPrefix();

    void doubleValidate_data();
    void doubleValidate();
    void doubleCorrection_data();
    void doubleCorrection();
    void doubleNeverScientific();
};

void TestSpinBoxes::intValidate_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("state");
    QTest::newRow("inside") << 0 << 255 << "12" << int(QValidator::Acceptable);
    QTest::newRow("above") << 0 << 255 << "300" << int(QValidator::Intermediate);
    QTest::newRow("below") << 0 << 255 << "-5" << int(QValidator::Intermediate);
    QTest::newRow("minus alone") << 0 << 255 << "-" << int(QValidator::Intermediate);
    QTest::newRow("letters") << 0 << 255 << "abc" << int(QValidator::Invalid);
    QTest::newRow("digits and letters") << 0 << 255 << "12a" << int(QValidator::Invalid);
    QTest::newRow("beyond int") << INT_MIN << INT_MAX << "99999999999" << int(QValidator::Intermediate);
    QTest::newRow("min equal max") << 7 << 7 << "8" << int(QValidator::Intermediate);
}

void TestSpinBoxes::intValidate()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(QString, input);
    QFETCH(int, state);
    ZelSpinBox box;
    box.setRange(min, max);
    int pos = input.size();
    QCOMPARE(int(box.validate(input, pos)), state);
}

void TestSpinBoxes::intCorrection_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("message");
    QTest::newRow("above") << 0 << 255 << "300" << 255 << "Minimum:0 Maximum:255";
    QTest::newRow("below") << 0 << 255 << "-5" << 0 << "Minimum:0 Maximum:255";
    QTest::newRow("inside") << 0 << 255 << "17" << 17 << "";
    QTest::newRow("beyond int") << -10 << 10 << "99999999999" << 10 << "Minimum:-10 Maximum:10";
    QTest::newRow("full int range") << INT_MIN << INT_MAX << "-99999999999" << INT_MIN
                                    << QStringLiteral("Minimum:%1 Maximum:%2").arg(INT_MIN).arg(INT_MAX);
    QTest::newRow("min equal max") << 7 << 7 << "9" << 7 << "Minimum:7 Maximum:7";
}

void TestSpinBoxes::intCorrection()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(QString, typed);
    QFETCH(int, value);
    QFETCH(QString, message);
    QWidget window;
    ZelSpinBox box(&window);
    box.setRange(min, max);
    box.setValue(min);
    window.show();
    box.setFocus();
    typeAndEnter(box, typed);
    QCOMPARE(box.value(), value);
    if (message.isEmpty()) {
        QVERIFY(!ZelBalloonTip::isBalloonVisible());
    } else {
        QVERIFY(ZelBalloonTip::isBalloonVisible());
        QCOMPARE(balloonMessage(), QStringLiteral("Invalid Value|") + message);
        // The arrow points at the box's bottom-left corner moved 5 pixels right.
        const QPoint tip = box.mapToGlobal(QPoint(5, box.height()));
        const ZelBalloonTip* b = ZelBalloonTip::currentBalloon();
        QVERIFY(b->pos().y() == tip.y() || b->pos().y() + b->height() == tip.y());
    }
}

void TestSpinBoxes::intBalloonOnlyForInvalidInput()
{
    QWidget window;
    ZelSpinBox box(&window);
    box.setRange(0, 255);
    window.show();
    box.setFocus();
    typeAndEnter(box, QStringLiteral("300"));
    QVERIFY(ZelBalloonTip::isBalloonVisible());
    ZelBalloonTip::hideBalloon();

    // A valid entry afterwards finishes without any balloon, also when the
    // edit ends a second time by leaving the box.
    typeAndEnter(box, QStringLiteral("12"));
    QCOMPARE(box.value(), 12);
    QVERIFY(!ZelBalloonTip::isBalloonVisible());
    emit box.editingFinished();
    QVERIFY(!ZelBalloonTip::isBalloonVisible());

    // Text that is no number is replaced by the current value, without a balloon.
    QString junk = QStringLiteral("xyz");
    box.fixup(junk);
    QCOMPARE(junk, QStringLiteral("12"));
    emit box.editingFinished();
    QVERIFY(!ZelBalloonTip::isBalloonVisible());
}

void TestSpinBoxes::intBalloonWithoutParent()
{
    ZelSpinBox box;
    box.setRange(0, 9);
    box.show();
    box.setFocus();
    typeAndEnter(box, QStringLiteral("42"));
    QCOMPARE(box.value(), 9);
    QVERIFY(ZelBalloonTip::isBalloonVisible());
}

void TestSpinBoxes::intSuffixAndPrefix()
{
    ZelSpinBox box;
    box.setRange(0, 100);
    box.setPrefix(QStringLiteral("x="));
    box.setSuffix(QStringLiteral(" us"));
    QString in = QStringLiteral("X=500 US");
    int pos = in.size();
    QCOMPARE(box.validate(in, pos), QValidator::Intermediate);
    QCOMPARE(in, QStringLiteral("X=500 US"));
    box.fixup(in);
    QCOMPARE(in, QStringLiteral("x=100 us"));
}

void TestSpinBoxes::doubleValidate_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("state");
    QTest::newRow("minus") << "-" << int(QValidator::Intermediate);
    QTest::newRow("point") << "." << int(QValidator::Intermediate);
    QTest::newRow("comma") << "," << int(QValidator::Intermediate);
    QTest::newRow("above with comma") << "12,5" << int(QValidator::Intermediate);
    QTest::newRow("above with point") << "12.5" << int(QValidator::Intermediate);
    QTest::newRow("letters") << "abc" << int(QValidator::Invalid);
}

void TestSpinBoxes::doubleValidate()
{
    QFETCH(QString, input);
    QFETCH(int, state);
    ZelDoubleSpinBox box;
    box.setRange(0.0, 10.0);
    int pos = input.size();
    QCOMPARE(int(box.validate(input, pos)), state);
}

void TestSpinBoxes::doubleCorrection_data()
{
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("balloon");
    QTest::newRow("above with comma") << 0.0 << 10.0 << "12,5" << 10.0 << true;
    QTest::newRow("above with point") << 0.0 << 10.0 << "12.5" << 10.0 << true;
    QTest::newRow("below") << 1.5 << 10.0 << "-3" << 1.5 << true;
    QTest::newRow("inside with comma") << 0.0 << 10.0 << "2,5" << 2.5 << false;
    QTest::newRow("min equal max") << 3.0 << 3.0 << "4" << 3.0 << true;
    QTest::newRow("huge maximum") << 0.0 << 1e12 << "2000000000000" << 1e12 << true;
}

void TestSpinBoxes::doubleCorrection()
{
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(QString, typed);
    QFETCH(double, value);
    QFETCH(bool, balloon);
    QWidget window;
    ZelDoubleSpinBox box(&window);
    box.setRange(min, max);
    box.setValue(min);
    window.show();
    box.setFocus();
    typeAndEnter(box, typed);
    QCOMPARE(box.value(), value);
    QCOMPARE(ZelBalloonTip::isBalloonVisible(), balloon);
    if (balloon)
        QVERIFY(balloonMessage().startsWith(QStringLiteral("Invalid Value|Minimum:")));
}

void TestSpinBoxes::doubleNeverScientific()
{
    // Limits and values of a million and more must come back as text the box
    // reads again, or the correction would be lost.
    ZelDoubleSpinBox box;
    box.setRange(0.0, 1234567.0);
    for (const QString& typed : {QStringLiteral("99999999"), QStringLiteral("1e+07"), QStringLiteral("1234000")}) {
        QString in = typed;
        box.fixup(in);
        QVERIFY2(!in.contains(QLatin1Char('e')), qPrintable(in));
        int pos = in.size();
        QCOMPARE(box.validate(in, pos), QValidator::Acceptable);
    }
    QString nan = QStringLiteral("nan");
    box.setValue(3.0);
    box.fixup(nan);
    QCOMPARE(box.valueFromText(nan), 3.0);
    QString below = QStringLiteral("-1e9");
    box.fixup(below);
    QCOMPARE(box.valueFromText(below), 0.0);
    QString above = QStringLiteral("1e9");
    box.fixup(above);
    QCOMPARE(box.valueFromText(above), 1234567.0);
}

QTEST_MAIN(TestSpinBoxes)
#include "tst_ZelSpinBoxes.moc"
