#include "SimCameraRig.h"
#include "ZelBalloonTip.h"
#include "ZelDialogs.h"
#include "ZelDoubleSliderBox.h"
#include "ZelDoubleSpinBox.h"
#include "ZelFeatureManager.h"
#include "ZelFeatureTreeModel.h"
#include "ZelFeatureTreeWidget.h"
#include "ZelSliderBox.h"
#include "ZelSpinBox.h"

#include <QLocale>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <cstring>
#include <memory>

namespace {

ZelFeatureData valueOf(uint8_t type, const QVariant& value, const QStringList& entries = {})
{
    ZelFeatureData data;
    data.info.interfaceType = type;
    data.info.isAvailable = 1;
    data.value = value;
    data.entries = entries;
    return data;
}

QModelIndex findRow(const QAbstractItemModel* model, const QString& name)
{
    const QModelIndexList hits = model->match(model->index(0, 0), ZelFeatureTreeModel::FeatureNameRole, name, 1,
                                              Qt::MatchExactly | Qt::MatchRecursive);
    return hits.isEmpty() ? QModelIndex() : hits.first();
}

} // namespace

class TestFeatureTreeWidget : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimCameraRig> rig;
    std::unique_ptr<ZelFeatureManager> manager;
    std::unique_ptr<ZelFeatureTreeWidget> widget;

    QString remote() const { return rig->module("remote"); }
    QString valueText(const QString& name) const
    {
        const QModelIndex index = findRow(widget->model(), name);
        return index.siblingAtColumn(1).data().toString();
    }
    void expand(const QString& category)
    {
        widget->view()->expand(findRow(widget->model(), category));
    }
    // Opens the value editor of a feature, as a click on its value does.
    QWidget* openEditor(const QString& name)
    {
        const QModelIndex value = findRow(widget->model(), name).siblingAtColumn(1);
        widget->view()->scrollTo(value);
        QMetaObject::invokeMethod(widget.get(), "onTreeViewItemClicked", Q_ARG(QModelIndex, value));
        return widget->view()->indexWidget(value);
    }
    // Types into a spin box as an operator does and ends with Return.
    static void typeAndEnter(QAbstractSpinBox* box, const QString& text)
    {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }
    // The values written to a feature through the SDK since the log began.
    QStringList writes(const char* function, const QString& feature)
    {
        QString calls;
        rig->control(QStringLiteral("log.calls.get"), &calls);
        const QRegularExpression value(QStringLiteral("value=([^,)]*)"));
        QStringList values;
        for (const QString& line : calls.split(QLatin1Char('\n'))) {
            if (line.contains(QLatin1String(function) + QLatin1Char('('))
                && line.contains(QStringLiteral("feature=\"") + feature + QStringLiteral("\",")))
                values << value.match(line).captured(1);
        }
        return values;
    }

private slots:
    void init()
    {
        rig = std::make_unique<SimCameraRig>();
        QVERIFY2(rig->ready(), qPrintable(rig->problems().join("; ")));
        manager = std::make_unique<ZelFeatureManager>(rig->remote, nullptr);
        widget = std::make_unique<ZelFeatureTreeWidget>(manager.get(), false);
        widget->resize(500, 700);
        widget->show();
        widget->rebuildModel(2, true, false);
        QVERIFY(widget->model());
    }

    void cleanup()
    {
        widget.reset();
        manager.reset();
        rig.reset();
        QLocale::setDefault(QLocale::c());
    }

    void conditions_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<ZelFeatureData>("data");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("holds");

        const ZelFeatureData gain = valueOf(ORV_FEATURE_TYPE_FLOAT, 10.5);
        const ZelFeatureData width = valueOf(ORV_FEATURE_TYPE_INTEGER, qlonglong(640));
        const ZelFeatureData big = valueOf(ORV_FEATURE_TYPE_INTEGER, qlonglong(1) << 40);
        const ZelFeatureData reverse = valueOf(ORV_FEATURE_TYPE_BOOLEAN, true);
        const ZelFeatureData mode = valueOf(ORV_FEATURE_TYPE_ENUMERATION, 1, {"Off", "On"});
        const ZelFeatureData numbered = valueOf(ORV_FEATURE_TYPE_ENUMERATION, 0, {"8", "16"});
        const ZelFeatureData pastEnd = valueOf(ORV_FEATURE_TYPE_ENUMERATION, 2, {"Off", "On"});
        const ZelFeatureData negative = valueOf(ORV_FEATURE_TYPE_ENUMERATION, -1, {"Off", "On"});
        const ZelFeatureData text = valueOf(ORV_FEATURE_TYPE_STRING, QString("Camera 1"));
        const ZelFeatureData missing = valueOf(ORV_FEATURE_TYPE_INTEGER, QVariant());

        for (const char* locale : {"de_DE", "en_US"}) {
            auto row = [&](const char* title) -> QTestData& {
                return QTest::addRow("%s %s", locale, title) << QString(locale);
            };
            // Floats as floats.
            row("float > int") << gain << ">" << "10" << true;
            row("float >= int") << gain << ">=" << "11" << false;
            row("float == decimal point") << gain << "==" << "10.5" << true;
            row("float == decimal comma") << gain << "==" << "10,5" << true;
            row("float < decimal comma") << gain << "<" << "10,75" << true;
            row("float <= ") << gain << "<=" << "10.4" << false;
            row("float != ") << gain << "!=" << "10.5" << false;
            // Integers as integers, in 64 bits.
            row("int == int") << width << "==" << "640" << true;
            row("int == double") << width << "==" << "640.0" << true;
            row("int == hex text") << width << "==" << "0x280" << false;
            row("int != ") << width << "!=" << "641" << true;
            row("int < ") << width << "<" << "641" << true;
            row("int > ") << width << ">" << "641" << false;
            row("int <= ") << width << "<=" << "640" << true;
            row("int >= ") << width << ">=" << "640" << true;
            row("64-bit == ") << big << "==" << "1099511627776" << true;
            row("64-bit > 32-bit max") << big << ">" << "2147483647" << true;
            row("64-bit != cut value") << big << "==" << "0" << false;
            // Booleans.
            row("bool == TRUE") << reverse << "==" << "TRUE" << true;
            row("bool != false") << reverse << "!=" << "false" << true;
            row("bool == 1") << reverse << "==" << "1" << true;
            row("bool ordered by word") << reverse << ">" << "false" << false;
            // Enumerations by entry name, case kept.
            row("enum == On") << mode << "==" << "On" << true;
            row("enum == on") << mode << "==" << "on" << false;
            row("enum != Off") << mode << "!=" << "Off" << true;
            row("enum name is no number") << mode << "==" << "0" << false;
            row("enum numeric name") << numbered << "<" << "10" << true;
            row("enum past its entries") << pastEnd << "!=" << "On" << false;
            row("enum negative position") << negative << "!=" << "On" << false;
            // Text.
            row("string ==") << text << "==" << "Camera" << false;
            row("string !=") << text << "!=" << "Camera" << true;
            row("string ordered") << text << "<" << "Zebra" << false;
            // No value, no condition.
            row("missing ==") << missing << "==" << "0" << false;
            row("missing !=") << missing << "!=" << "0" << false;
            // Unknown operators.
            row("unknown operator") << width << "=" << "640" << false;
            row("operator case") << width << "<>" << "640" << false;
        }
    }

    void conditions()
    {
        QFETCH(QString, locale);
        QFETCH(ZelFeatureData, data);
        QFETCH(QString, op);
        QFETCH(QString, value);
        QFETCH(bool, holds);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(ZelFeatureTreeWidget::checkCondition(op, value, data), holds);
    }

    void conditionDecidesTheRefresh_data()
    {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<bool>("refreshed");
        QTest::newRow("holds") << "TestFloatFixed > 10" << true;
        QTest::newRow("fails") << "TestFloatFixed < 10" << false;
        QTest::newRow("decimal comma") << "TestFloatFixed == 1234,5" << true;
        QTest::newRow("two blanks: no condition") << "TestFloatFixed  < 10" << true;
        QTest::newRow("no blanks: no condition") << "TestFloatFixed<10" << true;
        QTest::newRow("unknown feature: no condition") << "NoSuchFeature < 10" << true;
        QTest::newRow("empty") << "" << true;
    }

    void conditionDecidesTheRefresh()
    {
        QFETCH(QString, condition);
        QFETCH(bool, refreshed);
        QCOMPARE(rig->control(QStringLiteral("feature.set %1 TestGridValue 9").arg(remote())), 0);
        widget->invalidateFeature("TestGridValue", condition);
        QCOMPARE(valueText("TestGridValue"), refreshed ? QString("9") : QString("1"));
    }

    void expandingWatchesAndRefreshes()
    {
        QCOMPARE(rig->control(QStringLiteral("feature.set %1 TestGridValue 3").arg(remote())), 0);
        QCOMPARE(valueText("TestGridValue"), QString("1"));
        expand("TestControl");
        QCOMPARE(valueText("TestGridValue"), QString("3"));
        QVERIFY(widget->watched().contains("TestGridValue"));
        QVERIFY(widget->watched().contains("TestHiddenChildren"));
        const int watched = widget->watched().size();
        widget->view()->collapse(findRow(widget->model(), "TestControl"));
        expand("TestControl");
        QCOMPARE(widget->watched().size(), watched);
        QCOMPARE(widget->watched().count("TestGridValue"), 1);

        // The camera changes on its own: the expanded row follows.
        QCOMPARE(rig->control(QStringLiteral("feature.set %1 TestGridValue 7").arg(remote())), 0);
        QTRY_COMPARE(valueText("TestGridValue"), QString("7"));

        // Collapsed rows are no longer watched.
        widget->view()->collapse(findRow(widget->model(), "TestControl"));
        QVERIFY(!widget->watched().contains("TestGridValue"));
        QCOMPARE(rig->control(QStringLiteral("feature.set %1 TestGridValue 11").arg(remote())), 0);
        QTest::qWait(50);
        QCOMPARE(valueText("TestGridValue"), QString("7"));
    }

    void refreshWatchedFeaturesReadsEveryWatchedName()
    {
        expand("TestControl");
        widget->enableInvalidation(false);
        QCOMPARE(rig->control(QStringLiteral("feature.set %1 TestGridValue 5").arg(remote())), 0);
        QTest::qWait(20);
        QCOMPARE(valueText("TestGridValue"), QString("1"));
        widget->refreshWatchedFeatures();
        QCOMPARE(valueText("TestGridValue"), QString("5"));
        widget->enableInvalidation(true);
    }

    void rebuildKeepsTheWatchedNamesAndReleaseEmptiesTheView()
    {
        expand("TestControl");
        const QStringList watched = widget->watched();
        widget->rebuildModel(0, true, false);
        QCOMPARE(widget->watched(), watched);
        QVERIFY(!findRow(widget->model(), "TestGuruOnly").isValid());
        widget->releaseModel();
        QVERIFY(!widget->model());
        QVERIFY(widget->displayNames().isEmpty());
        widget->invalidateFeature("TestGridValue", QString());
        widget->highlightFeature("Test");
    }

    void commandNotices_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("notice");
        QTest::addColumn<int>("resets");
        QTest::addColumn<int>("updates");
        QTest::newRow("load") << "UserSetLoad" << "Load User Setting successful!" << 0 << 0;
        QTest::newRow("load, other case") << "usersetload" << "Load User Setting successful!" << 0 << 0;
        QTest::newRow("save") << "UserSetSave" << "Save User Setting successful!" << 0 << 0;
        QTest::newRow("reset") << "DeviceReset" << "" << 1 << 0;
        QTest::newRow("update") << "UpdateXML" << "" << 0 << 1;
        QTest::newRow("other") << "AcquisitionStart" << "" << 0 << 0;
    }

    void commandNotices()
    {
        QFETCH(QString, name);
        QFETCH(QString, notice);
        QFETCH(int, resets);
        QFETCH(int, updates);
        ZelDialogs::Script script;
        QSignalSpy reset(widget.get(), &ZelFeatureTreeWidget::deviceResetClicked);
        QSignalSpy update(widget.get(), &ZelFeatureTreeWidget::updateXMLClicked);
        widget->onCommandFeatureClicked(name.toUtf8().constData());
        QCOMPARE(script.count(), notice.isEmpty() ? 0 : 1);
        if (!notice.isEmpty()) {
            QCOMPARE(script.last().title, QString("User Set Control"));
            QCOMPARE(script.last().text, notice);
            QCOMPARE(script.last().icon, QMessageBox::Information);
        }
        QCOMPARE(reset.count(), resets);
        QCOMPARE(update.count(), updates);
    }

    void executedCommandReachesTheWidget()
    {
        ZelDialogs::Script script;
        const QModelIndex load = findRow(widget->model(), "UserSetLoad");
        QVERIFY(load.isValid());
        QVERIFY(widget->model()->setData(load.siblingAtColumn(1), true, Qt::EditRole));
        QCOMPARE(script.count(), 1);
        QCOMPARE(script.last().text, QString("Load User Setting successful!"));
    }

    void activatingABooleanToggles()
    {
        const QModelIndex reverse = findRow(widget->model(), "ReverseX");
        QVERIFY(reverse.isValid());
        const QString before = reverse.siblingAtColumn(1).data().toString();
        QMetaObject::invokeMethod(widget.get(), "onTreeViewItemActivated", Q_ARG(QModelIndex, reverse));
        QVERIFY(reverse.siblingAtColumn(1).data().toString() != before);
        ZelFeatureData camera;
        QVERIFY(manager->GetData("ReverseX", camera, false, true));
        QCOMPARE(camera.value.toBool(), before == "Off");

        ZelFeatureTreeWidget readOnly(manager.get(), true);
        readOnly.rebuildModel(2, true, false);
        const QModelIndex locked = findRow(readOnly.model(), "ReverseX");
        const QString shown = locked.siblingAtColumn(1).data().toString();
        QMetaObject::invokeMethod(&readOnly, "onTreeViewItemActivated", Q_ARG(QModelIndex, locked));
        QCOMPARE(locked.siblingAtColumn(1).data().toString(), shown);
    }

    void clickingAValueOpensItsEditor()
    {
        const QModelIndex grid = findRow(widget->model(), "TestGridValue");
        widget->view()->scrollTo(grid);
        QMetaObject::invokeMethod(widget.get(), "onTreeViewItemClicked", Q_ARG(QModelIndex, grid));
        QVERIFY(!widget->view()->indexWidget(grid.siblingAtColumn(1)));
        QMetaObject::invokeMethod(widget.get(), "onTreeViewItemClicked", Q_ARG(QModelIndex, grid.siblingAtColumn(1)));
        QVERIFY(widget->view()->indexWidget(grid.siblingAtColumn(1)));
    }

    // A comma is a decimal mark, never a group separator; an exponent is
    // taken whole; what is no number writes nothing.
    void typedFloatText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written"); // empty: nothing written
        QTest::newRow("decimal comma") << "12,5" << "12.5";
        QTest::newRow("decimal point") << "12.5" << "12.5";
        QTest::newRow("whole number") << "10" << "10";
        QTest::newRow("comma and point") << "1,500.5" << "";
        QTest::newRow("exponent") << "2.5e3" << "2500";
        QTest::newRow("exponent after a comma") << "1,5e3" << "1500";
        QTest::newRow("letters") << "abc" << "";
        QTest::newRow("nothing") << "" << "";
    }
    void typedFloatText()
    {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        expand("AcquisitionControl");
        auto* box = qobject_cast<ZelDoubleSliderBox*>(openEditor("ExposureTime"));
        QVERIFY(box);
        QCOMPARE(rig->control("log.calls.clear"), 0);
        QCOMPARE(rig->control("log.calls on"), 0);
        typeAndEnter(box->spinBox(), typed);
        rig->control("log.calls off");
        QCOMPARE(writes("OrvFeatureSetValueFloat", "ExposureTime"),
                 written.isEmpty() ? QStringList() : QStringList{written});
        QVERIFY(!ZelBalloonTip::isBalloonVisible());
    }

    void bigIntegerOpensAndWritesItsWholeRange()
    {
        QCOMPARE(rig->control(QStringLiteral("feature.set %1 TestBigRange 5000000000").arg(remote())), 0);
        widget->rebuildModel(2, true, false);
        expand("TestControl");
        auto* box = qobject_cast<ZelSliderBox*>(openEditor("TestBigRange"));
        QVERIFY(box);
        QCOMPARE(box->value(), qint64(5000000000));
        QCOMPARE(box->spinBox()->text(), QString("5000000000"));
        QCOMPARE(rig->control("log.calls.clear"), 0);
        QCOMPARE(rig->control("log.calls on"), 0);

        typeAndEnter(box->spinBox(), "1099511627776");
        QCOMPARE(writes("OrvFeatureSetValueInt64", "TestBigRange"), QStringList{"1099511627776"});
        QVERIFY(!ZelBalloonTip::isBalloonVisible());
        // One more is set to the maximum, with the balloon.
        typeAndEnter(box->spinBox(), "1099511627777");
        QCOMPARE(box->value(), qint64(1) << 40);
        QVERIFY(ZelBalloonTip::isBalloonVisible());
        QCOMPARE(writes("OrvFeatureSetValueInt64", "TestBigRange"), QStringList{"1099511627776"});
        rig->control("log.calls off");
        ZelBalloonTip::hideBalloon();
        QVariant value;
        QVERIFY(manager->GetValue("TestBigRange", value));
        QCOMPARE(value.toLongLong(), qint64(1) << 40);
    }

    void searchSelectsAndNamesAreDepthFirst()
    {
        const QStringList names = widget->displayNames();
        QVERIFY(names.size() > 20);
        const int category = names.indexOf(findRow(widget->model(), "TestControl").data().toString());
        const int child = names.indexOf(findRow(widget->model(), "TestHexValue").data().toString());
        QVERIFY(category >= 0 && child == category + 1);
        const QString display = findRow(widget->model(), "TestGridValue").data().toString();
        widget->highlightFeature(display.mid(2, 6).toLower());
        const QModelIndexList selected = widget->view()->selectionModel()->selectedRows();
        QCOMPARE(selected.size(), 1);
        QVERIFY(selected.first().data().toString().contains(display.mid(2, 6), Qt::CaseInsensitive));
        widget->highlightFeature("no feature has this name");
        QCOMPARE(widget->view()->selectionModel()->selectedRows(), selected);
    }
};

QTEST_MAIN(TestFeatureTreeWidget)
#include "tst_ZelFeatureTreeWidget.moc"
