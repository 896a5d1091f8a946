#include "ZelSequencerItem.h"
#include "ZelSequencerModel.h"

#include <QAbstractItemModelTester>
#include <QPointer>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include "ZelSpinBox.h"
#include <QtTest>

using Column = ZelSequencerModel::Column;

namespace {

QList<Column> columns()
{
    return {{"SeqSelector", ""},  {"SeqInterval", "us"}, {"SeqPulseAStart", "us"}, {"PWMMax", "hz"},
            {"PWMChange0", "%"}};
}

ZelSequencerItem* makeSet(qint64 interval, qint64 pulse, qint64 period, qint64 duty, bool withPeriod = true)
{
    QList<ZelSequencerEntry*> entries{new ZelSequencerEntry{"SeqInterval", interval, 0, 0},
                                      new ZelSequencerEntry{"SeqPulseAStart", pulse, 0, 0}};
    if (withPeriod)
        entries << new ZelSequencerEntry{"PWMMax", period, 0, 0};
    entries << new ZelSequencerEntry{"PWMChange0", duty, 0, 0};
    return new ZelSequencerItem(entries);
}

// The model without its row-number column, whose values move with every
// insertion by design; the tester follows the sets through the rest.
class WithoutRowNumbers : public QSortFilterProxyModel
{
protected:
    bool filterAcceptsColumn(int column, const QModelIndex&) const override { return column != 0; }
};

} // namespace

class TestZelSequencerModel : public QObject
{
    Q_OBJECT

private slots:
    void storedToShown_data();
    void storedToShown();
    void enteredToStored_data();
    void enteredToStored();
    void unchangedEditorKeepsTicks_data();
    void unchangedEditorKeepsTicks();
    void registerValueOfDutyCycle_data();
    void registerValueOfDutyCycle();
    void columnZeroAndHeaders();
    void editorBounds_data();
    void editorBounds();
    void insertAndRemove_data();
    void insertAndRemove();
    void removedSetIsDeleted();
};

void TestZelSequencerModel::storedToShown_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<qint64>("stored");
    QTest::addColumn<qint64>("shown");
    QTest::newRow("time 66666") << 1 << qint64(66666) << qint64(1000);
    QTest::newRow("time 0") << 1 << qint64(0) << qint64(0);
    QTest::newRow("time 1 s") << 2 << qint64(66666666) << qint64(1000000);
    QTest::newRow("time max") << 2 << qint64(2147483647) << qint64(32212255);
    QTest::newRow("pwm off") << 3 << qint64(0) << qint64(0);
    QTest::newRow("pwm 3333") << 3 << qint64(3333) << qint64(20002);
    QTest::newRow("pwm 9524") << 3 << qint64(9524) << qint64(7000);
    QTest::newRow("duty") << 4 << qint64(50) << qint64(50);
}

void TestZelSequencerModel::storedToShown()
{
    QFETCH(int, column);
    QFETCH(qint64, stored);
    QFETCH(qint64, shown);
    ZelSequencerItem* set = makeSet(0, 0, 0, 0);
    set->setValue(columns().at(column).first, stored);
    ZelSequencerModel model(columns(), {set}, 16);
    QCOMPARE(model.index(0, column).data().toLongLong(), shown);
}

void TestZelSequencerModel::enteredToStored_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<qint64>("entered");
    QTest::addColumn<qint64>("stored");
    QTest::addColumn<qint64>("shownAgain");
    QTest::newRow("15 us") << 1 << qint64(15) << qint64(1000) << qint64(15);
    QTest::newRow("1 s") << 1 << qint64(1000000) << qint64(66666666) << qint64(1000000);
    QTest::newRow("pwm 0") << 3 << qint64(0) << qint64(0) << qint64(0);
    QTest::newRow("pwm 20000") << 3 << qint64(20000) << qint64(3333) << qint64(20002);
    QTest::newRow("pwm 20002") << 3 << qint64(20002) << qint64(3333) << qint64(20002);
    QTest::newRow("pwm 7000") << 3 << qint64(7000) << qint64(9524) << qint64(7000);
    QTest::newRow("duty 40") << 4 << qint64(40) << qint64(40) << qint64(40);
}

void TestZelSequencerModel::enteredToStored()
{
    QFETCH(int, column);
    QFETCH(qint64, entered);
    QFETCH(qint64, stored);
    QFETCH(qint64, shownAgain);
    ZelSequencerItem* set = makeSet(1, 1, 1, 1);
    ZelSequencerModel model(columns(), {set}, 16);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.setData(model.index(0, column), entered));
    qint64 value = -1;
    QVERIFY(set->value(columns().at(column).first, value));
    QCOMPARE(value, stored);
    QCOMPARE(model.index(0, column).data().toLongLong(), shownAgain);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<QModelIndex>(), model.index(0, column));
}

void TestZelSequencerModel::unchangedEditorKeepsTicks_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<qint64>("stored");
    QTest::newRow("time") << 1 << qint64(66666);
    QTest::newRow("pwm") << 3 << qint64(3334);
    QTest::newRow("duty") << 4 << qint64(33);
}

void TestZelSequencerModel::unchangedEditorKeepsTicks()
{
    QFETCH(int, column);
    QFETCH(qint64, stored);
    ZelSequencerItem* set = makeSet(0, 0, 0, 0);
    set->setValue(columns().at(column).first, stored);
    ZelSequencerModel model(columns(), {set}, 16);
    ZelSequencerDelegate delegate;
    QWidget parent;
    const QModelIndex index = model.index(0, column);
    QWidget* editor = delegate.createEditor(&parent, QStyleOptionViewItem(), index);
    QVERIFY(qobject_cast<ZelSpinBox*>(editor));
    delegate.setEditorData(editor, index);
    delegate.setModelData(editor, &model, index);
    qint64 value = -1;
    set->value(columns().at(column).first, value);
    QCOMPARE(value, stored);
}

void TestZelSequencerModel::registerValueOfDutyCycle_data()
{
    QTest::addColumn<qint64>("period");
    QTest::addColumn<bool>("withPeriod");
    QTest::addColumn<qint64>("written");
    QTest::newRow("period 3333") << qint64(3333) << true << qint64(1666);
    QTest::newRow("period 0") << qint64(0) << true << qint64(0);
    QTest::newRow("no period") << qint64(0) << false << qint64(0);
}

void TestZelSequencerModel::registerValueOfDutyCycle()
{
    QFETCH(qint64, period);
    QFETCH(bool, withPeriod);
    QFETCH(qint64, written);
    ZelSequencerModel model(columns(), {makeSet(66666, 0, period, 50, withPeriod)}, 16);
    const QVariant value = model.index(0, 4).data(ZelSequencerModel::SeqRegisterValueRole);
    QVERIFY(value.isValid());
    QCOMPARE(value.toLongLong(), written);
    QCOMPARE(model.index(0, 1).data(ZelSequencerModel::SeqRegisterValueRole).toLongLong(), qint64(66666));
    if (!withPeriod) {
        QVERIFY(!model.index(0, 3).data().isValid());
        QVERIFY(!model.index(0, 3).data(ZelSequencerModel::SeqRegisterValueRole).isValid());
    }
}

void TestZelSequencerModel::columnZeroAndHeaders()
{
    ZelSequencerModel model(columns(), {makeSet(0, 0, 0, 0), makeSet(0, 0, 0, 0)}, 8);
    QCOMPARE(model.index(1, 0).data().toInt(), 1);
    QCOMPARE(model.flags(model.index(1, 0)) & Qt::ItemIsEditable, Qt::ItemFlags());
    QVERIFY(model.flags(model.index(1, 1)) & Qt::ItemIsEditable);
    QVERIFY(!model.setData(model.index(1, 0), 5));
    QCOMPARE(model.index(1, 0).data().toInt(), 1);
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QString("SeqInterval\n (us)"));
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("SeqSelector"));
    QCOMPARE(model.headerData(4, Qt::Horizontal, Qt::ToolTipRole).toString(),
             QString("This feature sets the Duty Cycle for PWM register."));
    QCOMPARE(model.headerData(0, Qt::Horizontal, ZelSequencerModel::SeqMaxRowsRole).toInt(), 8);
    QCOMPARE(model.index(0, 2).data(Qt::TextAlignmentRole).toInt(), 132);
}

void TestZelSequencerModel::editorBounds_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<qint64>("minTicks");
    QTest::addColumn<qint64>("maxTicks");
    QTest::addColumn<qint64>("minShown");
    QTest::addColumn<qint64>("maxShown");
    QTest::newRow("time full") << 1 << qint64(0) << qint64(2147483647) << qint64(0) << qint64(32212255);
    QTest::newRow("time inward") << 1 << qint64(1000) << qint64(66666666) << qint64(15) << qint64(1000000);
    QTest::newRow("time rounds in") << 1 << qint64(60) << qint64(99) << qint64(1) << qint64(1);
    QTest::newRow("pwm full") << 3 << qint64(0) << qint64(2147483647) << qint64(0) << qint64(66666666);
    QTest::newRow("pwm narrowed") << 3 << qint64(3333) << qint64(9524) << qint64(7000) << qint64(20002);
    QTest::newRow("duty") << 4 << qint64(0) << qint64(2147483647) << qint64(0) << qint64(100);
}

void TestZelSequencerModel::editorBounds()
{
    QFETCH(int, column);
    QFETCH(qint64, minTicks);
    QFETCH(qint64, maxTicks);
    QFETCH(qint64, minShown);
    QFETCH(qint64, maxShown);
    ZelSequencerModel model(columns(), {makeSet(0, 0, 0, 0)}, 16);
    model.setCameraBounds({{columns().at(column).first, {minTicks, maxTicks}}});
    model.insertRows(1, 1);   // an added set takes the same bounds
    for (int row = 0; row < 2; ++row) {
        QCOMPARE(model.index(row, column).data(ZelSequencerModel::SeqMinimumRole).toLongLong(), minShown);
        QCOMPARE(model.index(row, column).data(ZelSequencerModel::SeqMaximumRole).toLongLong(), maxShown);
    }
    ZelSequencerDelegate delegate;
    QWidget parent;
    auto* editor = qobject_cast<ZelSpinBox*>(delegate.createEditor(&parent, QStyleOptionViewItem(), model.index(0, column)));
    QVERIFY(editor);
    QCOMPARE(qint64(editor->minimum()), minShown);
    QCOMPARE(qint64(editor->maximum()), maxShown);
}

void TestZelSequencerModel::insertAndRemove_data()
{
    QTest::addColumn<bool>("insert");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("insert start") << true << 0 << 1 << true;
    QTest::newRow("insert middle") << true << 2 << 2 << true;
    QTest::newRow("insert end") << true << 3 << 1 << true;
    QTest::newRow("insert past end") << true << 4 << 1 << false;
    QTest::newRow("insert negative") << true << -1 << 1 << false;
    QTest::newRow("insert none") << true << 1 << 0 << false;
    QTest::newRow("remove start") << false << 0 << 1 << true;
    QTest::newRow("remove middle") << false << 1 << 1 << true;
    QTest::newRow("remove end") << false << 1 << 2 << true;
    QTest::newRow("remove past end") << false << 2 << 2 << false;
    QTest::newRow("remove at count") << false << 3 << 1 << false;
    QTest::newRow("remove none") << false << 0 << 0 << false;
}

void TestZelSequencerModel::insertAndRemove()
{
    QFETCH(bool, insert);
    QFETCH(int, row);
    QFETCH(int, count);
    QFETCH(bool, accepted);
    ZelSequencerModel model(columns(), {makeSet(10, 0, 0, 0), makeSet(11, 0, 0, 0), makeSet(12, 0, 0, 0)}, 16);
    WithoutRowNumbers proxy;
    proxy.setSourceModel(&model);
    QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsAboutToBeInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsAboutToBeRemoved);
    const bool result = insert ? model.insertRows(row, count) : model.removeRows(row, count);
    QCOMPARE(result, accepted);
    QCOMPARE(inserted.count() + removed.count(), accepted ? 1 : 0);
    QList<qint64> intervals;
    for (int r = 0; r < model.rowCount(); ++r)
        intervals << model.index(r, 1).data(ZelSequencerModel::SeqRegisterValueRole).toLongLong();
    QList<qint64> expected{10, 11, 12};
    if (accepted) {
        for (int i = 0; i < count; ++i) {
            if (insert)
                expected.insert(row, 0);
            else
                expected.removeAt(row);
        }
    }
    QCOMPARE(intervals, expected);
    if (accepted && insert)
        QCOMPARE(model.index(row, 4).data(ZelSequencerModel::SeqMinimumRole).toLongLong(), qint64(0));
}

void TestZelSequencerModel::removedSetIsDeleted()
{
    ZelSequencerItem* first = makeSet(1, 0, 0, 0);
    QPointer<ZelSequencerItem> second = makeSet(2, 0, 0, 0);
    QPointer<ZelSequencerItem> kept;
    {
        ZelSequencerModel model(columns(), {first, second}, 16);
        QVERIFY(model.removeRows(1, 1));
        QVERIFY(second.isNull());
        kept = first;
    }
    QVERIFY(kept.isNull());
}

QTEST_MAIN(TestZelSequencerModel)
#include "tst_ZelSequencerModel.moc"
