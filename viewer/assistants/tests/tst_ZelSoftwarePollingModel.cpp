#include "ZelSoftwarePollingModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

using Info = ZelSoftwarePollingItemInfo;

class TestSoftwarePollingModel : public QObject
{
    Q_OBJECT

    QList<Info> fiveEntries() const
    {
        return {{"A", 10, true, ""}, {"B", 20, false, "x == 1"}, {"C", 30, true, ""},
                {"D", 40, false, ""}, {"E", 50, true, ""}};
    }

private slots:
    void displaysEveryColumnAndRole()
    {
        ZelSoftwarePollingModel model({{"Gain", 250, true, "Width >= 640"}, {"Gamma", 40, false, ""}});
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.columnCount(), 4);
        QCOMPARE(model.data(model.index(0, 0)), QVariant("Gain"));
        QCOMPARE(model.data(model.index(0, 1)), QVariant(250));
        QCOMPARE(model.data(model.index(0, 2)), QVariant("Enabled"));
        QCOMPARE(model.data(model.index(1, 2)), QVariant("Disabled"));
        QCOMPARE(model.data(model.index(0, 3)), QVariant("Width >= 640"));
        QCOMPARE(model.data(model.index(0, 2), Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(model.data(model.index(1, 2), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(!model.data(model.index(0, 1), Qt::CheckStateRole).isValid());
        QVERIFY(!model.data(model.index(0, 0), Qt::ToolTipRole).isValid());
        QVERIFY(!model.data(QModelIndex()).isValid());

        const QStringList headers{"Feature Name", "Polling Time(ms)", "Enable/Disable", "Condition"};
        for (int c = 0; c < 4; ++c)
            QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), headers[c]);
        QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
        QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());

        QCOMPARE(model.flags(model.index(0, 0)), Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        QCOMPARE(model.flags(model.index(0, 1)), Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled);
        QCOMPARE(model.flags(model.index(0, 2)),
                 Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        QCOMPARE(model.flags(model.index(0, 3)), Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    }

    void setDataReportsTheWholeEntryAndTheChangedCell_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("role");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("expected"); // name|pollTime|enabled|condition

        QTest::newRow("name trimmed") << 0 << int(Qt::EditRole) << QVariant(" Gamma ") << true << "Gamma|250|1|c";
        QTest::newRow("poll time") << 1 << int(Qt::EditRole) << QVariant(500) << true << "Gain|500|1|c";
        QTest::newRow("poll time lowest") << 1 << int(Qt::EditRole) << QVariant(10) << true << "Gain|10|1|c";
        QTest::newRow("poll time highest") << 1 << int(Qt::EditRole) << QVariant(1000000) << true << "Gain|1000000|1|c";
        QTest::newRow("poll time too low") << 1 << int(Qt::EditRole) << QVariant(9) << false << "Gain|250|1|c";
        QTest::newRow("poll time too high") << 1 << int(Qt::EditRole) << QVariant(1000001) << false << "Gain|250|1|c";
        QTest::newRow("poll time no number") << 1 << int(Qt::EditRole) << QVariant("x") << false << "Gain|250|1|c";
        QTest::newRow("unchecked") << 2 << int(Qt::CheckStateRole) << QVariant(int(Qt::Unchecked)) << true << "Gain|250|0|c";
        QTest::newRow("edit role enables") << 2 << int(Qt::EditRole) << QVariant(false) << true << "Gain|250|0|c";
        QTest::newRow("check role elsewhere") << 1 << int(Qt::CheckStateRole) << QVariant(int(Qt::Checked)) << false << "Gain|250|1|c";
        QTest::newRow("condition") << 3 << int(Qt::EditRole) << QVariant("Gain > 1.50") << true << "Gain|250|1|Gain > 1.50";
        QTest::newRow("display role") << 3 << int(Qt::DisplayRole) << QVariant("y") << false << "Gain|250|1|c";
    }

    void setDataReportsTheWholeEntryAndTheChangedCell()
    {
        QFETCH(int, column);
        QFETCH(int, role);
        QFETCH(QVariant, value);
        QFETCH(bool, accepted);
        QFETCH(QString, expected);

        ZelSoftwarePollingModel model({{"Other", 20, false, ""}, {"Gain", 250, true, "c"}});
        QSignalSpy updated(&model, &ZelSoftwarePollingModel::itemUpdated);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        const QModelIndex index = model.index(1, column);
        QCOMPARE(model.setData(index, value, role), accepted);

        const Info info = model.entries().at(1);
        const QString state = QString("%1|%2|%3|%4").arg(info.name).arg(info.pollTime)
                                  .arg(int(info.enabled)).arg(info.condition);
        QCOMPARE(state, expected);
        QCOMPARE(model.entries().at(0), (Info{"Other", 20, false, ""}));
        QCOMPARE(updated.count(), accepted ? 1 : 0);
        QCOMPARE(changed.count(), accepted ? 1 : 0);
        if (accepted) {
            QCOMPARE(updated.at(0).at(0).value<Info>(), info);
            QCOMPARE(changed.at(0).at(0).toModelIndex(), index);
            QCOMPARE(changed.at(0).at(1).toModelIndex(), index);
        }
    }

    void setDataRefusesRowsItDoesNotHave()
    {
        ZelSoftwarePollingModel model({{"A", 10, true, ""}});
        ZelSoftwarePollingModel other({{"A", 10, true, ""}, {"B", 10, true, ""}});
        QSignalSpy updated(&model, &ZelSoftwarePollingModel::itemUpdated);
        QVERIFY(!model.setData(QModelIndex(), "x"));
        QVERIFY(!model.setData(other.index(1, 3), "x"));
        QVERIFY(!model.setData(model.index(0, 4), "x"));
        QCOMPARE(updated.count(), 0);
    }

    void insertRowsAddsEmptyRowsInPlace()
    {
        ZelSoftwarePollingModel model(fiveEntries());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(model.insertRows(2, 3));
        QCOMPARE(model.rowCount(), 8);
        for (int row = 2; row < 5; ++row)
            QCOMPARE(model.entries().at(row), (Info{"", 0, false, ""}));
        QCOMPARE(model.entries().at(1).name, QString("B"));
        QCOMPARE(model.entries().at(5).name, QString("C"));
        QVERIFY(model.insertRows(8, 1));
        QCOMPARE(model.rowCount(), 9);
    }

    void rowOperationsCheckTheirArguments_data()
    {
        QTest::addColumn<bool>("insert");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("count");
        QTest::newRow("insert negative") << true << -1 << 1;
        QTest::newRow("insert past end") << true << 6 << 1;
        QTest::newRow("insert none") << true << 0 << 0;
        QTest::newRow("remove negative") << false << -1 << 1;
        QTest::newRow("remove past end") << false << 5 << 1;
        QTest::newRow("remove overlapping end") << false << 4 << 2;
        QTest::newRow("remove none") << false << 0 << 0;
    }

    void rowOperationsCheckTheirArguments()
    {
        QFETCH(bool, insert);
        QFETCH(int, row);
        QFETCH(int, count);
        ZelSoftwarePollingModel model(fiveEntries());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsAboutToBeInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsAboutToBeRemoved);
        QVERIFY(!(insert ? model.insertRows(row, count) : model.removeRows(row, count)));
        QCOMPARE(model.entries(), fiveEntries());
        QCOMPARE(inserted.count() + removed.count(), 0);
    }

    void removeRowsTakesTheRange()
    {
        ZelSoftwarePollingModel model(fiveEntries());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(model.removeRows(1, 3));
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.entries().at(0).name, QString("A"));
        QCOMPARE(model.entries().at(1).name, QString("E"));
    }

    void appendAndFindByNameIgnoringCase()
    {
        ZelSoftwarePollingModel model(fiveEntries());
        QSignalSpy updated(&model, &ZelSoftwarePollingModel::itemUpdated);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QCOMPARE(model.appendEntry({"ExposureTime", 100, true, "x"}), 5);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(updated.count(), 0);
        QCOMPARE(model.findName("exposuretime"), 5);
        QCOMPARE(model.findName("c"), 2);
        QCOMPARE(model.findName("Exposure"), -1);
    }
};

QTEST_MAIN(TestSoftwarePollingModel)
#include "tst_ZelSoftwarePollingModel.moc"
