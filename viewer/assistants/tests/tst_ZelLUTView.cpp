#include "ZelAddPointDlg.h"
#include "ZelLUTModel.h"
#include "ZelLUTView.h"
#include "ZelUtil.h"

#include <QApplication>
#include <QSpinBox>
#include <QtTest>

#include <cmath>
#include <memory>

class TestZelLUTView : public QObject
{
    Q_OBJECT

private slots:
    void setModelShowsTheWholeTable();
    void invert();
    void ctrlClickClampsToTheTable_data();
    void ctrlClickClampsToTheTable();
    void shiftStroke();
    void kneeAddedAndAnnounced();
    void endKneesStay();
    void draggedKneeStaysBetweenItsNeighbours();
    void gamma_data();
    void gamma();
    void axisLimits_data();
    void axisLimits();
    void addPointDialog();

private:
    // A shown view over a linear table of n entries up to maxValue.
    void make(int n, double maxValue)
    {
        QVector<double> values(n);
        for (int i = 0; i < n; ++i)
            values[i] = n > 1 ? std::floor(i * maxValue / (n - 1)) : 0.0;
        view.reset(new ZelLUTView);
        model.reset(new ZelLUTModel(values, maxValue));
        view->resize(800, 600);
        view->setModel(model.get());
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        view->plot()->replot();
    }
    double entry(int row) const { return model->data(model->index(row)).toDouble(); }
    QPoint pixel(double key, double value) const
    {
        return QPoint(int(std::lround(view->plot()->xAxis->coordToPixel(key))),
                      int(std::lround(view->plot()->yAxis->coordToPixel(value))));
    }
    void mouse(QEvent::Type type, const QPoint& pos, Qt::KeyboardModifiers modifiers)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, pos, view->plot()->mapToGlobal(pos), button,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, modifiers);
        QApplication::sendEvent(view->plot(), &event);
    }

    std::unique_ptr<ZelLUTView> view;
    std::unique_ptr<ZelLUTModel> model;
};

void TestZelLUTView::setModelShowsTheWholeTable()
{
    make(4096, 4095);
    QCOMPARE(view->mode(), 0);
    QCOMPARE(view->title(), QString("Look-up Table Values (Manual)"));
    QCOMPARE(view->plot()->xAxis->label(), QString("LUTIndex"));
    QCOMPARE(view->plot()->yAxis->label(), QString("LUTValue"));
    QCOMPARE(view->valueGraph()->dataCount(), 4096);
    QCOMPARE(view->kneeGraph()->dataCount(), 2);
    QCOMPARE(view->kneeGraph()->data()->at(1)->key, 4095.0);
    QCOMPARE(view->kneeGraph()->data()->at(1)->value, 4095.0);
    // The left axis holds the whole 12-bit range.
    QVERIFY(view->plot()->yAxis->range().lower <= 0.0);
    QVERIFY(view->plot()->yAxis->range().upper >= 4095.0);
    QVERIFY(view->plot()->xAxis->range().upper >= 4095.0);
    // Dragged past the table's top, the range keeps its size below it.
    view->plot()->yAxis->setRange(5000, 9000);
    QCOMPARE(view->plot()->yAxis->range().upper, 4195.0);
    QCOMPARE(view->plot()->yAxis->range().lower, 195.0);
    QVERIFY(view->valueGraph()->visible());
    QVERIFY(!view->kneeGraph()->visible());
    view->setMode(1);
    QCOMPARE(view->title(), QString("Look-up Table Values (Knee)"));
    QVERIFY(!view->valueGraph()->visible());
    // A new model returns to manual mode.
    ZelLUTModel other(QVector<double>(256, 0.0), 255);
    view->setModel(&other);
    QCOMPARE(view->mode(), 0);
    QCOMPARE(view->valueGraph()->dataCount(), 256);
    view->setModel(model.get());
}

void TestZelLUTView::invert()
{
    make(4096, 4095);
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    view->invert();
    QCOMPARE(entry(0), 4095.0);
    QCOMPARE(entry(4095), 0.0);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex().row(), 0);
    QCOMPARE(changed.first().at(1).toModelIndex().row(), 4095);
    QCOMPARE(view->valueGraph()->data()->at(0)->value, 4095.0);
    // Knee mode leaves the table alone.
    view->setMode(1);
    view->invert();
    view->applyGamma(2.0);
    QCOMPARE(entry(0), 4095.0);
    QCOMPARE(changed.count(), 1);
}

void TestZelLUTView::ctrlClickClampsToTheTable_data()
{
    QTest::addColumn<int>("dx");      // from the axis rect's left edge
    QTest::addColumn<int>("dy");      // -1 above its top, +1 below its bottom
    QTest::addColumn<double>("value");
    QTest::newRow("above the top, left of key 0") << -5 << -1 << 4095.0;
    QTest::newRow("below the bottom, left of key 0") << -5 << 1 << 0.0;
}

void TestZelLUTView::ctrlClickClampsToTheTable()
{
    QFETCH(int, dx);
    QFETCH(int, dy);
    QFETCH(double, value);
    make(4096, 4095);
    model->setData(model->index(0), 1000.0);
    const QRect rect = view->plot()->axisRect()->rect();
    const QPoint pos(rect.left() + dx, dy < 0 ? rect.top() - 5 : rect.bottom() + 5);
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    mouse(QEvent::MouseButtonPress, pos, Qt::ControlModifier);
    mouse(QEvent::MouseButtonRelease, pos, Qt::ControlModifier);
    QCOMPARE(entry(0), value);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex().row(), 0);
    QCOMPARE(changed.first().at(1).toModelIndex().row(), 0);
}

void TestZelLUTView::shiftStroke()
{
    make(4096, 4095);
    view->plot()->xAxis->setRange(0, 20);
    view->plot()->yAxis->setRange(0, 4095);
    view->plot()->replot();
    const QVector<double> before = view->values();
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    mouse(QEvent::MouseButtonPress, pixel(10.4, 100), Qt::ShiftModifier);
    mouse(QEvent::MouseMove, pixel(12.6, 2000), Qt::ShiftModifier);
    mouse(QEvent::MouseButtonRelease, pixel(12.6, 2000), Qt::ShiftModifier);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex().row(), 10);
    QCOMPARE(changed.first().at(1).toModelIndex().row(), 13);
    const double drawn = entry(10);
    QVERIFY(std::abs(drawn - 2000.0) < 50.0);
    for (int row = 10; row <= 13; ++row)
        QCOMPARE(entry(row), drawn);
    QCOMPARE(entry(9), before.at(9));
    QCOMPARE(entry(14), before.at(14));
    // After the release a move draws nothing.
    mouse(QEvent::MouseMove, pixel(15.0, 3000), Qt::ShiftModifier);
    QCOMPARE(changed.count(), 1);
}

void TestZelLUTView::kneeAddedAndAnnounced()
{
    make(4096, 255);
    model->setData(model->index(4095), 7.0);
    view->setMode(1);
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    view->addKneePoint(2048, 128);
    QCOMPARE(view->kneeGraph()->dataCount(), 3);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex().row(), 0);
    QCOMPARE(changed.first().at(1).toModelIndex().row(), 4095);
    QCOMPARE(entry(0), 0.0);
    QCOMPARE(entry(1024), 64.0);
    QCOMPARE(entry(2048), 128.0);
    QCOMPARE(entry(4094), 255.0);
    // The last knee sets the last entry too.
    QCOMPARE(entry(4095), 255.0);

    view->addKneePoint(2048, 128);
    QCOMPARE(view->kneeGraph()->dataCount(), 3);
    QCOMPARE(changed.count(), 1);
    // Two knees at one key: both kept, the table stays inside its range.
    view->addKneePoint(2048, 100);
    QCOMPARE(view->kneeGraph()->dataCount(), 4);
    for (double v : view->values())
        QVERIFY(v >= 0.0 && v <= 255.0);
}

void TestZelLUTView::endKneesStay()
{
    make(4096, 255);
    view->setMode(1);
    view->addKneePoint(1000, 50);
    for (int index : {0, 2}) {
        view->kneeGraph()->setSelection(QCPDataSelection(QCPDataRange(index, index + 1)));
        view->removeSelectedKneePoint();
        QCOMPARE(view->kneeGraph()->dataCount(), 3);
    }
    // Delete removes the inner knee; in manual mode it does nothing.
    view->kneeGraph()->setSelection(QCPDataSelection(QCPDataRange(1, 2)));
    view->setMode(0);
    QTest::keyClick(view->plot(), Qt::Key_Delete);
    QCOMPARE(view->kneeGraph()->dataCount(), 3);
    view->setMode(1);
    QTest::keyClick(view->plot(), Qt::Key_Delete);
    QCOMPARE(view->kneeGraph()->dataCount(), 2);
    QCOMPARE(entry(1000), std::round(1000 * 255.0 / 4095.0));
}

void TestZelLUTView::draggedKneeStaysBetweenItsNeighbours()
{
    make(4096, 255);
    view->setMode(1);
    view->addKneePoint(2000, 100);
    view->addKneePoint(3000, 200);
    view->plot()->replot();
    auto knee = [this](int i) { return view->kneeGraph()->data()->at(i)->key; };
    view->kneeGraph()->setSelection(QCPDataSelection(QCPDataRange(1, 2)));
    mouse(QEvent::MouseButtonPress, pixel(2000, 100), Qt::NoModifier);
    // Beyond its right neighbour, and at or past the last key: refused.
    mouse(QEvent::MouseMove, pixel(3500, 100), Qt::NoModifier);
    QCOMPARE(knee(1), 2000.0);
    mouse(QEvent::MouseMove, pixel(4200, 100), Qt::NoModifier);
    QCOMPARE(knee(1), 2000.0);
    // Between the neighbours: taken.
    mouse(QEvent::MouseMove, pixel(2500, 150), Qt::NoModifier);
    QVERIFY(std::abs(knee(1) - 2500.0) < 20.0);
    QVERIFY(knee(0) < knee(1) && knee(1) < knee(2));
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    mouse(QEvent::MouseButtonRelease, pixel(2500, 150), Qt::NoModifier);
    QCOMPARE(changed.count(), 1);
    QVERIFY(std::abs(entry(2500) - 150.0) <= 5.0);
}

void TestZelLUTView::gamma_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<double>("maxValue");
    QTest::addColumn<double>("gamma");
    QTest::addColumn<int>("row");
    QTest::addColumn<double>("expected");
    QTest::newRow("12 bit, gamma 2, middle") << 4096 << 4095.0 << 2.0 << 2048 << 2048.0 * 2048.0 / 4095.0;
    QTest::newRow("12 bit, gamma 2, last") << 4096 << 4095.0 << 2.0 << 4095 << 4095.0;
    QTest::newRow("8-bit output, one level per 16") << 4096 << 255.0 << 1.0 << 31 << 1.0;
    QTest::newRow("8-bit output, last") << 4096 << 255.0 << 1.0 << 4095 << 255.0;
    QTest::newRow("fewer entries than levels, last") << 1024 << 4095.0 << 1.0 << 1023 << 4095.0;
    QTest::newRow("fewer entries than levels, first") << 1024 << 4095.0 << 1.0 << 0 << 0.0;
    QTest::newRow("uneven step, last") << 1000 << 255.0 << 1.0 << 999 << 255.0;
}

void TestZelLUTView::gamma()
{
    QFETCH(int, n);
    QFETCH(double, maxValue);
    QFETCH(double, gamma);
    QFETCH(int, row);
    QFETCH(double, expected);
    make(n, maxValue);
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    view->applyGamma(gamma);
    QVERIFY(std::abs(entry(row) - expected) < 1e-9);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(1).toModelIndex().row(), n - 1);
    double previous = 0.0;
    for (double v : view->values()) {
        QVERIFY(v >= 0.0 && v <= maxValue);
        QVERIFY(v >= previous);
        previous = v;
    }
}

void TestZelLUTView::axisLimits_data()
{
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::addColumn<double>("expectedLower");
    QTest::addColumn<double>("expectedUpper");
    QTest::newRow("inside") << 10.0 << 200.0 << 10.0 << 200.0;
    QTest::newRow("below") << -300.0 << 100.0 << -100.0 << 300.0;
    QTest::newRow("above") << 100.0 << 700.0 << -100.0 << 300.0;
    QTest::newRow("above, narrow") << 250.0 << 350.0 << 200.0 << 300.0;
    QTest::newRow("wider than the limits") << -1000.0 << 1000.0 << -100.0 << 300.0;
}

void TestZelLUTView::axisLimits()
{
    QFETCH(double, lower);
    QFETCH(double, upper);
    QFETCH(double, expectedLower);
    QFETCH(double, expectedUpper);
    QCustomPlot plot;
    plot.yAxis->setRange(lower, upper);
    QSignalSpy changes(plot.yAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged));
    ZelUtil::UpdateAxisRange(plot.yAxis, QCPRange(lower, upper), QCPRange(-100, 300));
    QCOMPARE(plot.yAxis->range().lower, expectedLower);
    QCOMPARE(plot.yAxis->range().upper, expectedUpper);
    QCOMPARE(changes.count(), 0);
}

void TestZelLUTView::addPointDialog()
{
    ZelAddPointDlg dialog(4095, 255);
    QCOMPARE(dialog.windowTitle(), QString("Add Point"));
    QCOMPARE(dialog.spinX()->maximum(), 4095);
    QCOMPARE(dialog.spinY()->maximum(), 255);
    dialog.spinX()->setValue(5000);
    dialog.spinY()->setValue(128);
    QCOMPARE(dialog.point(), QPoint(4095, 128));
}

QTEST_MAIN(TestZelLUTView)
#include "tst_ZelLUTView.moc"
