#include "ModalDialogAnswer.h"
#include "ZelDialogs.h"
#include "ZelSPSetting.h"
#include "ZelSoftwarePollingManager.h"
#include "ZelSoftwarePollingWidget.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

using Info = ZelSoftwarePollingItemInfo;
Q_DECLARE_METATYPE(QList<ZelSoftwarePollingItemInfo>)

namespace {

template <typename T>
T* child(const QObject* parent, const char* name)
{
    T* widget = parent->findChild<T*>(name);
    if (!widget)
        qFatal("missing %s", name);
    return widget;
}

// Fills the add dialog and presses OK.
void answerAddDialog(const QString& name, int pollTime, bool enabled, int* seen = nullptr)
{
    answerNextModalDialog([=](QDialog* dialog) {
        child<QLineEdit>(dialog, "txtName")->setText(name);
        child<QSpinBox>(dialog, "spinBoxPollTime")->setValue(pollTime);
        child<QCheckBox>(dialog, "chkEnabled")->setChecked(enabled);
        child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok)->click();
    }, seen);
}

QStringList shownColumn(const ZelSoftwarePollingWidget& widget, int column)
{
    const QAbstractItemModel* model = child<QTableView>(&widget, "tableView")->model();
    QStringList shown;
    for (int row = 0; row < model->rowCount(); ++row)
        shown << model->index(row, column).data().toString();
    return shown;
}

} // namespace

class TestSoftwarePollingWidget : public QObject
{
    Q_OBJECT

    const QList<Info> m_three{{"Gain", 100, true, "Width >= 640"},
                              {"ExposureTime", 200, false, ""},
                              {"BlackLevel", 300, true, ""}};

    static void selectShownRow(ZelSoftwarePollingWidget& widget, int row)
    {
        auto* view = child<QTableView>(&widget, "tableView");
        view->selectionModel()->select(view->model()->index(row, 0),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

private slots:
    void initTestCase() { qRegisterMetaType<QList<Info>>(); }

    void buildsTheWindowFromTheEntries()
    {
        ZelSoftwarePollingWidget widget(false, m_three);
        QCOMPARE(widget.windowTitle(), QString("Software Polling"));
        QCOMPARE(widget.minimumSize(), QSize(600, 400));
        auto* group = child<QGroupBox>(&widget, "groupBox");
        QVERIFY(!group->isChecked());
        QVERIFY(child<QPushButton>(&widget, "btnDelete")->isEnabledTo(group));
        QCOMPARE(shownColumn(widget, 0), (QStringList{"Gain", "ExposureTime", "BlackLevel"}));
        auto* view = child<QTableView>(&widget, "tableView");
        QVERIFY(view->isSortingEnabled());
        QCOMPARE(view->model()->headerData(1, Qt::Horizontal).toString(), QString("Polling Time(ms)"));
        QVERIFY(view->horizontalHeader()->styleSheet().contains("#dddddd"));
        auto* tool = child<QToolButton>(&widget, "toolBtnImportExport");
        QCOMPARE(tool->defaultAction(), widget.importAction());
        QCOMPARE(widget.importAction()->text(), QString("Import..."));
        QCOMPARE(widget.exportAction()->text(), QString("Export..."));

        ZelSoftwarePollingWidget empty(true, {});
        QVERIFY(child<QGroupBox>(&empty, "groupBox")->isChecked());
        QVERIFY(!child<QPushButton>(&empty, "btnDelete")->isEnabled());
    }

    void addAppendsATrimmedEntry_data()
    {
        QTest::addColumn<int>("sortColumn");
        QTest::newRow("unsorted") << -1;
        QTest::newRow("sorted by name") << 0;
        QTest::newRow("sorted by poll time") << 1;
    }

    void addAppendsATrimmedEntry()
    {
        QFETCH(int, sortColumn);
        ZelSoftwarePollingWidget widget(true, m_three);
        child<QTableView>(&widget, "tableView")->sortByColumn(sortColumn, Qt::DescendingOrder);
        QSignalSpy added(&widget, &ZelSoftwarePollingWidget::entryAdded);
        QSignalSpy updated(&widget, &ZelSoftwarePollingWidget::entryUpdated);

        int seen = 0;
        answerAddDialog("  AcquisitionFrameRate ", 1000000, false, &seen);
        child<QPushButton>(&widget, "btnAdd")->click();
        QCOMPARE(seen, 1);

        const Info expected{"AcquisitionFrameRate", 1000000, false, ""};
        QCOMPARE(added.count(), 1);
        QCOMPARE(added.at(0).at(0).value<Info>(), expected);
        QCOMPARE(updated.count(), 0);
        QCOMPARE(widget.entries(), QList<Info>(m_three) << expected);
        QCOMPARE(shownColumn(widget, 0).size(), 4);
        QVERIFY(shownColumn(widget, 0).contains("AcquisitionFrameRate"));
    }

    void addingAKnownNameInOtherCaseIsRefused()
    {
        ZelSoftwarePollingWidget widget(true, m_three);
        QSignalSpy added(&widget, &ZelSoftwarePollingWidget::entryAdded);
        ZelDialogs::Script script;
        answerAddDialog("exposuretime", 50, true);
        child<QPushButton>(&widget, "btnAdd")->click();
        QCOMPARE(added.count(), 0);
        QCOMPARE(script.count(), 1);
        QCOMPARE(script.last().icon, QMessageBox::Information);
        QCOMPARE(script.last().title, QString("Already Exist"));
        QCOMPARE(script.last().text, QString("exposuretime is already on the list"));
        QCOMPARE(widget.entries(), m_three);
    }

    void cancelledAddChangesNothing()
    {
        ZelSoftwarePollingWidget widget(true, {});
        QSignalSpy added(&widget, &ZelSoftwarePollingWidget::entryAdded);
        answerNextModalDialog([](QDialog* dialog) {
            child<QLineEdit>(dialog, "txtName")->setText("Gain");
            dialog->reject();
        });
        child<QPushButton>(&widget, "btnAdd")->click();
        QCOMPARE(added.count(), 0);
        QVERIFY(widget.entries().isEmpty());
        QVERIFY(!child<QPushButton>(&widget, "btnDelete")->isEnabled());
    }

    void deleteRemovesTheSelectedEntry_data()
    {
        QTest::addColumn<int>("sortColumn");
        QTest::newRow("unsorted") << -1;
        QTest::newRow("sorted") << 0;
    }

    void deleteRemovesTheSelectedEntry()
    {
        QFETCH(int, sortColumn);
        ZelSoftwarePollingWidget widget(true, m_three);
        child<QTableView>(&widget, "tableView")->sortByColumn(sortColumn, Qt::AscendingOrder);
        QSignalSpy removed(&widget, &ZelSoftwarePollingWidget::entryRemoved);
        auto* remove = child<QPushButton>(&widget, "btnDelete");

        remove->click();
        QCOMPARE(removed.count(), 0);

        const int shownRow = shownColumn(widget, 0).indexOf("ExposureTime");
        selectShownRow(widget, shownRow);
        remove->click();
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.at(0).at(0).toString(), QString("ExposureTime"));
        QCOMPARE(widget.entries(), (QList<Info>{m_three[0], m_three[2]}));
        QVERIFY(remove->isEnabled());

        for (int i = 0; i < 2; ++i) {
            selectShownRow(widget, 0);
            remove->click();
        }
        QCOMPARE(removed.count(), 3);
        QVERIFY(!remove->isEnabled());

        answerAddDialog("Gain", 100, true);
        child<QPushButton>(&widget, "btnAdd")->click();
        QVERIFY(remove->isEnabled());
    }

    void deleteKeyRemovesTheSelectedRowButNotTextInAnEditor()
    {
        ZelSoftwarePollingWidget widget(true, m_three);
        widget.show();
        QVERIFY(QTest::qWaitForWindowActive(&widget));
        auto* view = child<QTableView>(&widget, "tableView");
        QSignalSpy removed(&widget, &ZelSoftwarePollingWidget::entryRemoved);

        view->setCurrentIndex(view->model()->index(0, 1));
        auto* editor = view->viewport()->findChild<QSpinBox*>();
        QVERIFY(editor);
        editor->setFocus();
        QTest::keyClick(editor, Qt::Key_Home);
        QTest::keyClick(editor, Qt::Key_Delete);
        QTest::qWait(300);
        QCOMPARE(removed.count(), 0);
        QCOMPARE(editor->text(), QString("00"));

        view->setFocus();
        selectShownRow(widget, 2);
        QTest::keyClick(view, Qt::Key_Delete);
        QTRY_COMPARE(removed.count(), 1);
        QCOMPARE(removed.at(0).at(0).toString(), QString("BlackLevel"));
    }

    void pollTimeEditorUsesTheAddDialogsRangeAndReportsTheRow()
    {
        ZelSoftwarePollingWidget widget(true, m_three);
        widget.show();
        auto* view = child<QTableView>(&widget, "tableView");
        view->sortByColumn(0, Qt::AscendingOrder); // BlackLevel, ExposureTime, Gain
        QSignalSpy updated(&widget, &ZelSoftwarePollingWidget::entryUpdated);

        const QModelIndex cell = view->model()->index(2, 1);
        view->edit(cell);
        auto* editor = view->viewport()->findChild<QSpinBox*>();
        QVERIFY(editor);
        QCOMPARE(editor->minimum(), 10);
        QCOMPARE(editor->maximum(), 1000000);
        QCOMPARE(editor->value(), 100);
        editor->setValue(500000);
        emit editor->editingFinished();

        QCOMPARE(updated.count(), 1);
        QCOMPARE(updated.at(0).at(0).value<Info>(), (Info{"Gain", 500000, true, "Width >= 640"}));

        QVERIFY(view->model()->setData(view->model()->index(0, 2), Qt::Unchecked, Qt::CheckStateRole));
        QCOMPARE(updated.count(), 2);
        QCOMPARE(updated.at(1).at(0).value<Info>(), (Info{"BlackLevel", 300, false, ""}));
    }

    void clickingAConditionEditsIt()
    {
        ZelSoftwarePollingWidget widget(true, m_three);
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        auto* view = child<QTableView>(&widget, "tableView");
        view->sortByColumn(3, Qt::DescendingOrder); // "Width >= 640" first
        QSignalSpy updated(&widget, &ZelSoftwarePollingWidget::entryUpdated);

        QString shownCondition;
        answerNextModalDialog([&shownCondition](QDialog* dialog) {
            auto* name = child<QLineEdit>(dialog, "txtFeatureName");
            shownCondition = name->text() + "|" + child<QComboBox>(dialog, "cmbCondition")->currentText();
            name->setText("Height");
            dialog->accept();
        });
        const QModelIndex cell = view->model()->index(0, 3);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(cell).center());

        QCOMPARE(shownCondition, QString("Width|Greater Than or Equal"));
        QCOMPARE(updated.count(), 1);
        QCOMPARE(updated.at(0).at(0).value<Info>(), (Info{"Gain", 100, true, "Height >= 640"}));
        QCOMPARE(widget.entries().at(0).condition, QString("Height >= 640"));
        QCOMPARE(widget.entries().at(1), m_three[1]);
    }

    void importReplacesTheTable()
    {
        ZelSoftwarePollingWidget widget(true, {});
        widget.show();
        auto* view = child<QTableView>(&widget, "tableView");
        QPointer<QAbstractItemModel> first = qobject_cast<QSortFilterProxyModel*>(view->model())->sourceModel();
        widget.setEntries(m_three);
        QVERIFY(first.isNull());
        QVERIFY(child<QPushButton>(&widget, "btnDelete")->isEnabled());
        QCOMPARE(widget.entries(), m_three);

        QSignalSpy updated(&widget, &ZelSoftwarePollingWidget::entryUpdated);
        QVERIFY(view->model()->setData(view->model()->index(1, 1), 40));
        QCOMPARE(updated.count(), 1);
        QCOMPARE(updated.at(0).at(0).value<Info>(), (Info{"ExposureTime", 40, false, ""}));

        widget.setEntries({});
        QVERIFY(!child<QPushButton>(&widget, "btnDelete")->isEnabled());
    }

    void switchAndActionsLeaveAsSignals()
    {
        ZelSoftwarePollingWidget widget(true, {});
        QSignalSpy enable(&widget, &ZelSoftwarePollingWidget::enable);
        QSignalSpy imports(&widget, &ZelSoftwarePollingWidget::importActionTriggered);
        QSignalSpy exports(&widget, &ZelSoftwarePollingWidget::exportActionTriggered);
        child<QToolButton>(&widget, "toolBtnImportExport")->click();
        widget.exportAction()->trigger();
        QCOMPARE(imports.count(), 1);
        QCOMPARE(exports.count(), 1);
        child<QGroupBox>(&widget, "groupBox")->setChecked(false);
        QCOMPARE(enable.count(), 1);
        QCOMPARE(enable.at(0).at(0).toBool(), false);
        QVERIFY(!child<QPushButton>(&widget, "btnAdd")->isEnabled());
    }

    void addDialogKeepsItsFieldsInRange()
    {
        int seen = 0;
        answerNextModalDialog([&](QDialog* dialog) {
            auto* ok = child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok);
            auto* name = child<QLineEdit>(dialog, "txtName");
            auto* spin = child<QSpinBox>(dialog, "spinBoxPollTime");
            QCOMPARE(dialog->windowTitle(), QString("Add New Entry"));
            QVERIFY(!ok->isEnabled());
            name->setText("   ");
            QVERIFY(!ok->isEnabled());
            name->setText(" x ");
            QVERIFY(ok->isEnabled());
            QCOMPARE(spin->value(), 1000);
            QCOMPARE(spin->minimum(), 10);
            QCOMPARE(spin->maximum(), 1000000);
            QVERIFY(!child<QLineEdit>(dialog, "txtCondition")->isEnabled());
            QVERIFY(child<QCheckBox>(dialog, "chkEnabled")->isChecked());
            dialog->reject();
        }, &seen);
        ZelSoftwarePollingWidget widget(true, {});
        child<QPushButton>(&widget, "btnAdd")->click();
        QCOMPARE(seen, 1);
    }

    void addDialogConditionButtonStartsFromTheShownCondition()
    {
        ZelSoftwarePollingWidget widget(true, {});
        QSignalSpy added(&widget, &ZelSoftwarePollingWidget::entryAdded);
        QStringList conditionsShown;
        answerNextModalDialog([&](QDialog* add) {
            child<QLineEdit>(add, "txtName")->setText("Gain");
            auto* button = child<QPushButton>(add, "btnCondition");
            for (const char* name : {"Width", ""}) {
                answerNextModalDialog([&conditionsShown, name](QDialog* condition) {
                    auto* edit = child<QLineEdit>(condition, "txtFeatureName");
                    conditionsShown << edit->text();
                    if (*name)
                        edit->setText(name);
                    condition->accept();
                });
                button->click();
            }
            child<QDialogButtonBox>(add, "buttonBox")->button(QDialogButtonBox::Ok)->click();
        });
        child<QPushButton>(&widget, "btnAdd")->click();
        QCOMPARE(conditionsShown, (QStringList{"", "Width"}));
        QCOMPARE(added.count(), 1);
        QCOMPARE(added.at(0).at(0).value<Info>(), (Info{"Gain", 1000, true, "Width == 0"}));
    }

    void windowDrivesTheManagerAsTheMainWindowConnectsThem()
    {
        ZelSoftwarePollingManager manager;
        manager.Add({"Gain", 100, true, ""});
        ZelSoftwarePollingWidget widget(manager.isEnabled(), manager.GetList());
        connect(&widget, SIGNAL(entryAdded(ZelSoftwarePollingItemInfo)), &manager,
                SLOT(Add(ZelSoftwarePollingItemInfo)));
        connect(&widget, SIGNAL(entryRemoved(QString)), &manager, SLOT(Remove(QString)));
        connect(&widget, SIGNAL(entryUpdated(ZelSoftwarePollingItemInfo)), &manager,
                SLOT(Update(ZelSoftwarePollingItemInfo)));
        connect(&widget, SIGNAL(enable(bool)), &manager, SLOT(SetEnable(bool)));
        auto* view = child<QTableView>(&widget, "tableView");
        view->sortByColumn(0, Qt::DescendingOrder);

        answerAddDialog("ExposureTime", 20, true);
        child<QPushButton>(&widget, "btnAdd")->click();
        QVERIFY(view->model()->setData(view->model()->index(0, 1), 70)); // Gain
        selectShownRow(widget, 1); // ExposureTime
        child<QPushButton>(&widget, "btnDelete")->click();
        answerAddDialog("BlackLevel", 30, false);
        child<QPushButton>(&widget, "btnAdd")->click();
        child<QGroupBox>(&widget, "groupBox")->setChecked(false);

        const QList<Info> expected{{"Gain", 70, true, ""}, {"BlackLevel", 30, false, ""}};
        QCOMPARE(widget.entries(), expected);
        QCOMPARE(manager.GetList(), expected);
        QList<Info> saved;
        readSPSettingFeatures(manager.document(), saved);
        QCOMPARE(saved, expected);
        QVERIFY(!manager.isEnabled());
    }
};

QTEST_MAIN(TestSoftwarePollingWidget)
#include "tst_ZelSoftwarePollingWidget.moc"
