// The slider boxes and the logarithmic slider: ranges, steps, snapping,
// mapping and the focus-out signal.
#include "ZelDoubleSliderBox.h"
#include "ZelDoubleSpinBox.h"
#include "ZelSlider.h"
#include "ZelSliderBox.h"
#include "ZelSpinBox.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include <cfloat>
#include <climits>
#include <cmath>

class TestSliderBoxes : public QObject
{
    Q_OBJECT

private slots:
    void snap_data();
    void snap();
    void intSliderSnapsToStep_data();
    void intSliderSnapsToStep();
    void intSpinChangeEmitsOnce();

    void sliderMapping_data();
    void sliderMapping();
    void sliderInverse_data();
    void sliderInverse();

    void doubleStepAndRange_data();
    void doubleStepAndRange();
    void doubleSliderMoveEmitsOnce();
    void doubleLogarithmic();
    void doubleLogarithmicNonPositiveMinimum();
    void doubleSetRangeEmitsNothing();

    void focusOut_data();
    void focusOut();
    void focusOutAfterEnterWorksAgain();
};

void TestSliderBoxes::snap_data()
{
    QTest::addColumn<int>("v");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("expected");
    QTest::newRow("step 5, 7 down") << 7 << 5 << 0 << 100 << 5;
    QTest::newRow("step 5, 8 up") << 8 << 5 << 0 << 100 << 10;
    QTest::newRow("grid from minimum") << 4 << 2 << 1 << 100 << 5;
    QTest::newRow("step 0 keeps value") << 7 << 0 << 0 << 100 << 7;
    QTest::newRow("negative step keeps value") << 7 << -3 << 0 << 100 << 7;
    QTest::newRow("above maximum after snap") << 10 << 4 << 0 << 10 << 10;
    QTest::newRow("min equal max") << 5 << 3 << 5 << 5 << 5;
    QTest::newRow("int limits") << INT_MAX << 2 << INT_MIN << INT_MAX << INT_MAX;
    QTest::newRow("int limits low") << INT_MIN << 1000 << INT_MIN << INT_MAX << INT_MIN;
    QTest::newRow("step larger than range") << 3 << 1000 << 0 << 10 << 0;
}

void TestSliderBoxes::snap()
{
    QFETCH(int, v);
    QFETCH(int, step);
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, expected);
    QCOMPARE(ZelSliderBox::snap(v, step, min, max), expected);
}

void TestSliderBoxes::intSliderSnapsToStep_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("sliderValue");
    QTest::addColumn<int>("spinValue");
    QTest::newRow("7 with step 5") << 5 << 7 << 5;
    QTest::newRow("8 with step 5") << 5 << 8 << 10;
    QTest::newRow("step 0") << 0 << 8 << 8;
}

void TestSliderBoxes::intSliderSnapsToStep()
{
    QFETCH(int, step);
    QFETCH(int, sliderValue);
    QFETCH(int, spinValue);
    ZelSliderBox box(nullptr, false);
    box.setRange(0, 100);
    box.setSingleStep(step);
    box.slider()->setValue(sliderValue);
    QCOMPARE(box.value(), spinValue);
}

void TestSliderBoxes::intSpinChangeEmitsOnce()
{
    ZelSliderBox box(nullptr, true);
    box.setRange(-50, 50);
    QSignalSpy spy(&box, &ZelSliderBox::valueChanged);
    box.setValue(20);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 20);
    QCOMPARE(box.slider()->value(), 20);
    box.slider()->setValue(-30);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toInt(), -30);
}

void TestSliderBoxes::sliderMapping_data()
{
    QTest::addColumn<int>("vLow");
    QTest::addColumn<int>("vHigh");
    QTest::addColumn<int>("pLow");
    QTest::addColumn<int>("pHigh");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("value");
    QTest::newRow("linear") << 0 << 0 << 0 << 0 << 42 << 42;
    QTest::newRow("log low end") << 10 << 100000 << 0 << 99 << 0 << 10;
    QTest::newRow("log middle") << 10 << 100000 << 0 << 99 << 50 << 1048;
    QTest::newRow("log high end") << 10 << 100000 << 0 << 99 << 99 << 100000;
    QTest::newRow("log from 0, low end") << 0 << 1000 << 0 << 99 << 0 << 0;
    QTest::newRow("log from 0, high end") << 0 << 1000 << 0 << 99 << 99 << 1000;
    QTest::newRow("log from negative, high end") << -100 << 100 << 0 << 99 << 99 << 100;
    QTest::newRow("log equal ends") << 5 << 5 << 0 << 99 << 40 << 5;
    QTest::newRow("log equal positions") << 10 << 1000 << 7 << 7 << 7 << 10;
    QTest::newRow("log int limits") << INT_MIN << INT_MAX << 0 << 99 << 99 << INT_MAX;
}

void TestSliderBoxes::sliderMapping()
{
    QFETCH(int, vLow);
    QFETCH(int, vHigh);
    QFETCH(int, pLow);
    QFETCH(int, pHigh);
    QFETCH(int, position);
    QFETCH(int, value);
    ZelSlider slider;
    slider.setMapping(vLow, vHigh, pLow, pHigh);
    QCOMPARE(slider.valueAt(position), value);
}

void TestSliderBoxes::sliderInverse_data()
{
    QTest::addColumn<int>("vLow");
    QTest::addColumn<int>("vHigh");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("position");
    QTest::newRow("log 100 to 25") << 10 << 100000 << 100.0 << 25;
    QTest::newRow("log below range") << 10 << 100000 << 1.0 << 0;
    QTest::newRow("log above range") << 10 << 100000 << 1e9 << 99;
    QTest::newRow("log from 0") << 0 << 1000 << 0.0 << 0;
    QTest::newRow("log equal ends") << 5 << 5 << 5.0 << 0;
    QTest::newRow("log not a number") << 10 << 1000 << double(NAN) << 0;
}

void TestSliderBoxes::sliderInverse()
{
    QFETCH(int, vLow);
    QFETCH(int, vHigh);
    QFETCH(double, value);
    QFETCH(int, position);
    ZelSlider slider;
    slider.setMapping(vLow, vHigh, 0, 99);
    QCOMPARE(slider.positionOf(value), position);
}

void TestSliderBoxes::doubleStepAndRange_data()
{
    QTest::addColumn<double>("step");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("factor");
    QTest::addColumn<int>("sliderMin");
    QTest::addColumn<int>("sliderMax");
    QTest::newRow("hundredths") << 0.01 << 0.5 << 10.0 << 100.0 << 50 << 1000;
    QTest::newRow("step 0 as hundredths") << 0.0 << 0.5 << 10.0 << 100.0 << 50 << 1000;
    QTest::newRow("negative step as hundredths") << -1.0 << 0.5 << 10.0 << 100.0 << 50 << 1000;
    QTest::newRow("single-precision tenth") << 0.10000000149011612 << 0.0 << 100.0 << 10.0 << 0 << 1000;
    QTest::newRow("step 1") << 1.0 << -5.0 << 5.0 << 1.0 << -5 << 5;
    QTest::newRow("step above 2") << 5.0 << 0.0 << 100.0 << 1.0 << 0 << 100;
    QTest::newRow("min equal max") << 0.01 << 2.0 << 2.0 << 100.0 << 200 << 200;
    QTest::newRow("maximum beyond int") << 0.01 << 0.0 << 1e300 << 100.0 << 0 << INT_MAX;
    QTest::newRow("float limits") << 1.0 << -DBL_MAX << DBL_MAX << 1.0 << INT_MIN << INT_MAX;
    QTest::newRow("tiny step") << 1e-12 << 0.0 << 1.0 << 1e6 << 0 << 1000000;
}

void TestSliderBoxes::doubleStepAndRange()
{
    QFETCH(double, step);
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(double, factor);
    QFETCH(int, sliderMin);
    QFETCH(int, sliderMax);
    ZelDoubleSliderBox box(nullptr, false);
    box.setSingleStep(step);
    box.setRange(min, max, 0, 0);
    QCOMPARE(box.scaleFactor(), factor);
    QCOMPARE(box.slider()->minimum(), sliderMin);
    QCOMPARE(box.slider()->maximum(), sliderMax);
    QCOMPARE(box.spinBox()->minimum(), min);
    QCOMPARE(box.spinBox()->maximum(), max);
    // Both ends of the slider reach a value inside the range.
    box.slider()->setValue(box.slider()->maximum());
    QVERIFY(std::isfinite(box.value()));
    QVERIFY(box.value() <= max && box.value() >= min);
    box.slider()->setValue(box.slider()->minimum());
    QVERIFY(box.value() <= max && box.value() >= min);
}

void TestSliderBoxes::doubleSliderMoveEmitsOnce()
{
    ZelDoubleSliderBox box(nullptr, false);
    box.setSingleStep(0.01);
    box.setRange(0.5, 10.0);
    QSignalSpy spy(&box, SIGNAL(valueChanged(double)));
    box.slider()->setValue(250);
    QCOMPARE(box.value(), 2.5);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toDouble(), 2.5);
    box.setValue(7.25);
    QCOMPARE(box.slider()->value(), 725);
    QCOMPARE(spy.count(), 2);
}

void TestSliderBoxes::doubleLogarithmic()
{
    ZelDoubleSliderBox box(nullptr, true);
    box.setRange(10, 100000, 0, 99);
    QCOMPARE(box.slider()->minimum(), 0);
    QCOMPARE(box.slider()->maximum(), 99);
    box.setValue(100);
    QCOMPARE(box.slider()->value(), 25);
    QSignalSpy spy(box.slider(), SIGNAL(ValueChanged(int)));
    box.slider()->setValue(50);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 1048);
    QCOMPARE(box.value(), 1048.0);
    box.slider()->setValue(99);
    QCOMPARE(box.value(), 100000.0);
    box.slider()->setValue(0);
    QCOMPARE(box.value(), 10.0);
}

void TestSliderBoxes::doubleLogarithmicNonPositiveMinimum()
{
    // An exposure range that starts at 0 (or below) still moves
    // monotonically across the whole range.
    for (double min : {0.0, -20.0}) {
        ZelDoubleSliderBox box(nullptr, false);
        box.setRange(min, 1000, 0, 99);
        double previous = -1e9;
        for (int p = 0; p <= 99; ++p) {
            box.slider()->setValue(p);
            QVERIFY(std::isfinite(box.value()));
            QVERIFY(box.value() >= previous);
            previous = box.value();
        }
        QCOMPARE(previous, 1000.0);
        box.slider()->setValue(0);
        QCOMPARE(box.value(), min);
        box.setValue(min);
        QCOMPARE(box.slider()->value(), 0);
    }
}

void TestSliderBoxes::doubleSetRangeEmitsNothing()
{
    ZelDoubleSliderBox box(nullptr, false);
    box.setRange(0, 100);
    box.setValue(50);
    QSignalSpy spy(&box, SIGNAL(valueChanged(double)));
    box.setRange(0, 200);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(box.slider()->value(), 50);
}

void TestSliderBoxes::focusOut_data()
{
    QTest::addColumn<bool>("doubleBox");
    QTest::addColumn<bool>("sliderFirst");
    QTest::newRow("int, spin box first") << false << false;
    QTest::newRow("int, slider first") << false << true;
    QTest::newRow("double, spin box first") << true << false;
    QTest::newRow("double, slider first") << true << true;
}

void TestSliderBoxes::focusOut()
{
    QFETCH(bool, doubleBox);
    QFETCH(bool, sliderFirst);
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    QWidget* box = doubleBox ? static_cast<QWidget*>(new ZelDoubleSliderBox(&window, sliderFirst))
                             : static_cast<QWidget*>(new ZelSliderBox(&window, sliderFirst));
    auto* other = new QLineEdit(&window);
    layout->addWidget(box);
    layout->addWidget(other);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QSignalSpy spy(box, SIGNAL(focusOut()));

    // Moving between the two children is no departure.
    const QList<QWidget*> children = box->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QWidget* spin = doubleBox ? static_cast<QWidget*>(static_cast<ZelDoubleSliderBox*>(box)->spinBox())
                              : static_cast<QWidget*>(static_cast<ZelSliderBox*>(box)->spinBox());
    QWidget* slider = doubleBox ? static_cast<QWidget*>(static_cast<ZelDoubleSliderBox*>(box)->slider())
                                : static_cast<QWidget*>(static_cast<ZelSliderBox*>(box)->slider());
    QVERIFY(children.contains(spin) && children.contains(slider));
    spin->setFocus();
    slider->setFocus();
    QCOMPARE(spy.count(), 0);
    other->setFocus();
    QCOMPARE(spy.count(), 1);

    // Return, then leaving: no focus-out for that departure.
    spin->setFocus();
    QTest::keyClick(spin, Qt::Key_Return);
    other->setFocus();
    QCOMPARE(spy.count(), 1);
}

void TestSliderBoxes::focusOutAfterEnterWorksAgain()
{
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* box = new ZelSliderBox(&window, false);
    auto* other = new QLineEdit(&window);
    layout->addWidget(box);
    layout->addWidget(other);
    box->setRange(0, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QSignalSpy spy(box, SIGNAL(focusOut()));

    box->spinBox()->setFocus();
    QTest::keyClick(box->spinBox(), Qt::Key_Return);
    other->setFocus();
    QCOMPARE(spy.count(), 0);
    // The next visit counts again.
    box->spinBox()->setFocus();
    other->setFocus();
    QCOMPARE(spy.count(), 1);
    // So does typing after an Enter.
    box->spinBox()->setFocus();
    QTest::keyClick(box->spinBox(), Qt::Key_Return);
    QTest::keyClick(box->spinBox(), Qt::Key_5);
    other->setFocus();
    QCOMPARE(spy.count(), 2);
}

QTEST_MAIN(TestSliderBoxes)
#include "tst_ZelSliderBoxes.moc"
