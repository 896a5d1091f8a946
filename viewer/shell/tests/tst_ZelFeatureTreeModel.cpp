#include "SimCameraRig.h"
#include "ZelFeatureManager.h"
#include "ZelFeatureTreeModel.h"

#include <QLocale>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>

namespace {

QModelIndex findRow(const QAbstractItemModel& model, const QString& name)
{
    const QModelIndexList hits = model.match(model.index(0, 0), ZelFeatureTreeModel::FeatureNameRole, name, -1,
                                             Qt::MatchExactly | Qt::MatchRecursive);
    return hits.size() == 1 ? hits.first() : QModelIndex();
}

ZelFeatureData dataOf(const QModelIndex& index)
{
    return index.data(ZelFeatureTreeModel::FeatureDataRole).value<ZelFeatureData>();
}

QString parentName(const QModelIndex& index)
{
    return index.parent().isValid() ? index.parent().data(ZelFeatureTreeModel::FeatureNameRole).toString()
                                    : QStringLiteral("Root");
}

// Every node with children must be a category.
void checkOnlyCategoriesHaveChildren(const QAbstractItemModel& model, const QModelIndex& parent = QModelIndex())
{
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        if (model.rowCount(index) > 0)
            QCOMPARE(int(dataOf(index).info.interfaceType), int(ORV_FEATURE_TYPE_CATEGORY));
        checkOnlyCategoriesHaveChildren(model, index);
    }
}

int countWrites(SimCameraRig& rig)
{
    QString calls;
    rig.control("log.calls.get", &calls);
    int writes = 0;
    for (const QString& line : calls.split('\n')) {
        if (line.contains("OrvFeatureSetValue") || line.contains("OrvFeatureCommandExecute"))
            ++writes;
    }
    return writes;
}

} // namespace

class TestFeatureTreeModel : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimCameraRig> rig;
    std::unique_ptr<ZelFeatureManager> manager;

    std::unique_ptr<ZelFeatureTreeModel> makeModel(int level, bool readOnly = false)
    {
        return std::make_unique<ZelFeatureTreeModel>(manager.get(), level, readOnly, nullptr);
    }

private slots:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        rig = std::make_unique<SimCameraRig>();
        QVERIFY2(rig->ready(), qPrintable(rig->problems().join("; ")));
        manager = std::make_unique<ZelFeatureManager>(rig->remote, nullptr);
    }

    void cleanup()
    {
        manager.reset();
        rig.reset();
    }

    void filtersByLevel_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("feature");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("parent");
        QTest::newRow("guru hidden at beginner") << 0 << "TestGuruOnly" << false << "";
        QTest::newRow("guru shown at guru") << 2 << "TestGuruOnly" << true << "TestControl";
        QTest::newRow("invisible at guru") << 2 << "TestInvisible" << false << "";
        QTest::newRow("unavailable") << 2 << "TestUnavailable" << false << "";
        QTest::newRow("foreign root") << 2 << "TestForeignRoot" << false << "";
        QTest::newRow("category of guru children at beginner") << 0 << "TestHiddenChildren" << true << "TestControl";
        QTest::newRow("its guru child at beginner") << 0 << "TestHiddenChildA" << false << "";
        QTest::newRow("its guru child at guru") << 2 << "TestHiddenChildA" << true << "TestHiddenChildren";
    }

    void filtersByLevel()
    {
        QFETCH(int, level);
        QFETCH(QString, feature);
        QFETCH(bool, shown);
        QFETCH(QString, parent);
        auto model = makeModel(level);
        const QModelIndex index = findRow(*model, feature);
        QCOMPARE(index.isValid(), shown);
        if (shown)
            QCOMPARE(parentName(index), parent);
        checkOnlyCategoriesHaveChildren(*model);
    }

    // A category that cannot be read: its features go to the category above
    // it, never under the leaf listed before them.
    void unreadableCategoryChildrenNeverUnderALeaf()
    {
        QCOMPARE(rig->control(QStringLiteral("feature.fail %1 TestHiddenChildren info -1013 always")
                                  .arg(rig->module("remote"))),
                 0);
        auto model = makeModel(2);
        QVERIFY(!findRow(*model, "TestHiddenChildren").isValid());
        const QModelIndex child = findRow(*model, "TestHiddenChildA");
        QVERIFY(child.isValid());
        QCOMPARE(parentName(child), QString("TestControl"));
        checkOnlyCategoriesHaveChildren(*model);
    }

    void levelJumpAttachesOneLevelDeeper()
    {
        auto model = makeModel(0);
        const QModelIndex jump = findRow(*model, "TestLevelJump");
        QVERIFY(jump.isValid());
        QCOMPARE(int(dataOf(jump.parent()).info.interfaceType), int(ORV_FEATURE_TYPE_CATEGORY));
        checkOnlyCategoriesHaveChildren(*model);
    }

    void unreadableRootLeavesAnEmptyModel()
    {
        QCOMPARE(rig->control(QStringLiteral("call.fail OrvFeatureGetInfo %1 -1013 count=1").arg(rig->module("remote"))),
                 0);
        auto model = makeModel(2);
        QCOMPARE(model->rowCount(), 0);
        QVERIFY(!model->index(0, 0).isValid());
        QVERIFY(!findRow(*model, "TestHexValue").isValid());
        model->OnFeatureInvalidated("TestHexValue");
    }

    void valueTexts_data()
    {
        QTest::addColumn<QString>("feature");
        QTest::addColumn<QVariant>("text");
        QTest::newRow("hexadecimal") << "TestHexValue" << QVariant("0xABC");
        QTest::newRow("ipv4") << "TestIPValue" << QVariant("192.168.1.10");
        QTest::newRow("mac") << "TestMACValue" << QVariant("00-00-00-00-00-01");
        QTest::newRow("fixed float, no group separator") << "TestFloatFixed" << QVariant("1234.5 mm");
        QTest::newRow("scientific float") << "TestFloatScientific" << QVariant("1.235e+04 ");
        QTest::newRow("write-only") << "TestWriteOnly" << QVariant();
        QTest::newRow("enumeration without current entry") << "TestEnumNoCurrent" << QVariant(QString());
        QTest::newRow("override of settings.ini") << "GevCurrentIPAddress" << QVariant("192.168.1.101");
    }

    void valueTexts()
    {
        QFETCH(QString, feature);
        QFETCH(QVariant, text);
        auto model = makeModel(2);
        const QModelIndex index = findRow(*model, feature);
        QVERIFY(index.isValid());
        QCOMPARE(index.sibling(index.row(), 1).data(), text);
        QVERIFY(index.data(Qt::ToolTipRole).toString().endsWith("\nGenICam Name: " + feature + "\n"));
    }

    void headersFontsAndFlags()
    {
        auto model = makeModel(2, true);
        QCOMPARE(model->columnCount(), 2);
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QString("Property"));
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QString("Value"));
        const QModelIndex category = findRow(*model, "TestControl");
        QVERIFY(category.data(Qt::FontRole).value<QFont>().bold());
        const QModelIndex hex = findRow(*model, "TestHexValue");
        QCOMPARE(model->flags(hex.sibling(hex.row(), 1)), Qt::ItemFlags(Qt::ItemIsSelectable));
        auto writable = makeModel(2, false);
        const QModelIndex grid = findRow(*writable, "TestGridValue");
        QVERIFY(writable->flags(grid.sibling(grid.row(), 1)) & Qt::ItemIsEditable);
        const QModelIndex locked = findRow(*writable, "TestLocked");
        QCOMPARE(writable->flags(locked.sibling(locked.row(), 1)), Qt::ItemFlags(Qt::ItemIsSelectable));
    }

    void unchangedValueWritesNothing()
    {
        auto model = makeModel(2);
        const QModelIndex grid = findRow(*model, "TestGridValue");
        rig->control("log.calls.clear");
        rig->control("log.calls on");
        QVERIFY(model->setData(grid.sibling(grid.row(), 1), 1, Qt::EditRole));
        rig->control("log.calls off");
        QCOMPARE(countWrites(*rig), 0);
    }

    void writeOnlyFeatureTakesEveryValue()
    {
        auto model = makeModel(2);
        const QModelIndex value = findRow(*model, "TestWriteOnly").siblingAtColumn(1);
        QVERIFY(!value.data().isValid());
        rig->control("log.calls.clear");
        rig->control("log.calls on");
        QVERIFY(model->setData(value, 0, Qt::EditRole));
        rig->control("log.calls off");
        QCOMPARE(countWrites(*rig), 1);
    }

    void writeChangesTheCamera()
    {
        auto model = makeModel(2);
        const QModelIndex value = findRow(*model, "TestGridValue").siblingAtColumn(1);
        QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
        QVERIFY(model->setData(value, 7, Qt::EditRole));
        QCOMPARE(value.data().toString(), QString("7"));
        QCOMPARE(changed.count(), 1);
        ZelFeatureData camera;
        QVERIFY(manager->GetData("TestGridValue", camera, false, true));
        QCOMPARE(camera.value.toLongLong(), 7LL);
    }

    // A camera that reports a written feature invalid and holds another
    // value by the time the write returns: the tree shows what it holds.
    void valueReadDuringTheWriteStands()
    {
        auto model = makeModel(2);
        const QModelIndex value = findRow(*model, "TestGridValue").siblingAtColumn(1);
        manager->RegisterInvalidateCB("TestGridValue");
        bool adjusted = false;
        connect(manager.get(), &ZelFeatureManager::featureInvalidated, this, [&](const QString& name) {
            if (name == "TestGridValue" && !adjusted) {
                adjusted = true;
                rig->control(QStringLiteral("feature.set %1 TestGridValue 13").arg(rig->module("remote")));
            }
        });
        QVERIFY(model->setData(value, 7, Qt::EditRole));
        QVERIFY(adjusted);
        QCOMPARE(value.data().toString(), QString("13"));
        manager->UnregisterInvalidateCB("TestGridValue");
    }

    void refusedWriteReportsAndShowsTheCameraValue()
    {
        auto model = makeModel(2);
        const QModelIndex value = findRow(*model, "TestGridValue").siblingAtColumn(1);
        QCOMPARE(rig->control(QStringLiteral("feature.fail %1 TestGridValue set -1007 always").arg(rig->module("remote"))),
                 0);
        // The camera moved on its own meanwhile: the tree follows it.
        QCOMPARE(rig->control(QStringLiteral("feature.set %1 TestGridValue 11").arg(rig->module("remote"))), 0);
        QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
        QVERIFY(!model->setData(value, 9, Qt::EditRole));
        QCOMPARE(value.data().toString(), QString("11"));
        QCOMPARE(changed.count(), 1);
        // A value the type cannot take is refused before the camera is asked.
        QVERIFY(!model->setData(value, QString("abc"), Qt::EditRole));
    }

    void enumerationPositionsOutsideTheListAreRefused()
    {
        auto model = makeModel(2);
        const QModelIndex value = findRow(*model, "TestEnumNoCurrent").siblingAtColumn(1);
        rig->control("log.calls.clear");
        rig->control("log.calls on");
        QVERIFY(!model->setData(value, -1, Qt::EditRole));
        QVERIFY(!model->setData(value, 2, Qt::EditRole));
        rig->control("log.calls off");
        QCOMPARE(countWrites(*rig), 0);
        QVERIFY(model->setData(value, 1, Qt::EditRole));
        QCOMPARE(value.data().toString(), QString("Second"));
    }

    void lockChangeRepaintsWithTheSameValue()
    {
        auto model = makeModel(2);
        const QModelIndex value = findRow(*model, "TestGridValue").siblingAtColumn(1);
        QVERIFY(model->flags(value) & Qt::ItemIsEditable);
        QCOMPARE(rig->control(QStringLiteral("feature.locked %1 TestGridValue 1").arg(rig->module("remote"))), 0);
        QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
        model->OnFeatureInvalidated("TestGridValue");
        QCOMPARE(changed.count(), 1);
        QVERIFY(!(model->flags(value) & Qt::ItemIsEditable));
        // Nothing new: no repaint.
        model->OnFeatureInvalidated("TestGridValue");
        QCOMPARE(changed.count(), 1);
    }

    void invalidationFollowsRefreshSwitchAndReadFailures()
    {
        auto model = makeModel(2);
        const QModelIndex index = findRow(*model, "TestGridValue");
        QVERIFY(model->setData(index, false, ZelFeatureTreeModel::SetRefreshRole));
        QCOMPARE(index.data(ZelFeatureTreeModel::RefreshEnabledRole).toBool(), false);
        QCOMPARE(rig->control(QStringLiteral("feature.set %1 TestGridValue 5").arg(rig->module("remote"))), 0);
        model->OnFeatureInvalidated("TestGridValue");
        QCOMPARE(index.siblingAtColumn(1).data().toString(), QString("1"));
        QVERIFY(model->setData(index, true, ZelFeatureTreeModel::SetRefreshRole));
        QCOMPARE(rig->control(QStringLiteral("feature.fail %1 TestGridValue get -1013").arg(rig->module("remote"))), 0);
        model->OnFeatureInvalidated("TestGridValue");
        QCOMPARE(index.siblingAtColumn(1).data().toString(), QString("1"));
        model->OnFeatureInvalidated("TestGridValue");
        QCOMPARE(index.siblingAtColumn(1).data().toString(), QString("5"));
        model->OnFeatureInvalidated("NoSuchFeature");
    }

    void invalidationCallbackReachesTheModel()
    {
        auto model = makeModel(2);
        const QModelIndex value = findRow(*model, "TestGridValue").siblingAtColumn(1);
        manager->RegisterInvalidateCB("TestGridValue");
        QCOMPARE(rig->control(QStringLiteral("feature.set %1 TestGridValue 13").arg(rig->module("remote"))), 0);
        QTRY_COMPARE(value.data().toString(), QString("13"));
    }

    void replaceDataRole()
    {
        auto model = makeModel(2);
        const QModelIndex index = findRow(*model, "TestGridValue");
        ZelFeatureData data = dataOf(index);
        data.value = qlonglong(21);
        QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
        QVERIFY(model->setData(index, QVariant::fromValue(data), ZelFeatureTreeModel::ReplaceDataRole));
        QCOMPARE(index.siblingAtColumn(1).data().toString(), QString("21"));
        QCOMPARE(changed.count(), 1);
        QVERIFY(!model->setData(index, 1, Qt::UserRole + 99));
    }

    void booleanCheckBox()
    {
        auto model = makeModel(2);
        QModelIndex boolean;
        std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
            for (int row = 0; row < model->rowCount(parent) && !boolean.isValid(); ++row) {
                const QModelIndex index = model->index(row, 0, parent);
                const ZelFeatureData d = dataOf(index);
                if (d.info.interfaceType == ORV_FEATURE_TYPE_BOOLEAN && !d.info.isLocked && d.value.isValid())
                    boolean = index;
                walk(index);
            }
        };
        walk(QModelIndex());
        QVERIFY(boolean.isValid());
        const QModelIndex value = boolean.siblingAtColumn(1);
        const bool before = value.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        QCOMPARE(value.data().toString(), before ? QString("On") : QString("Off"));
        QVERIFY(model->setData(value, before ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(value.data(Qt::CheckStateRole).toInt() == Qt::Checked, !before);
        const QModelIndex hex = findRow(*model, "TestHexValue").siblingAtColumn(1);
        QVERIFY(!model->setData(hex, Qt::Checked, Qt::CheckStateRole));
    }
};

QTEST_MAIN(TestFeatureTreeModel)
#include "tst_ZelFeatureTreeModel.moc"
