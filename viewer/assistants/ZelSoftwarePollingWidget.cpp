#include "ZelSoftwarePollingWidget.h"
#include "ui_ZelSoftwarePollingWidget.h"

#include "ZelConditionDialog.h"
#include "ZelConstants.h"
#include "ZelDialogs.h"
#include "ZelFeatureNameCompleter.h"
#include "ZelSoftwarePollingAddDialog.h"
#include "ZelSoftwarePollingDelegate.h"
#include "ZelSoftwarePollingModel.h"

#include <QAction>
#include <QHeaderView>
#include <QIcon>
#include <QMenu>
#include <QSortFilterProxyModel>

ZelSoftwarePollingWidget::ZelSoftwarePollingWidget(bool enabled,
                                                   const QList<ZelSoftwarePollingItemInfo>& entries,
                                                   QWidget* parent)
    : QWidget(parent), ui(new Ui::ZelSoftwarePollingWidget)
{
    registerSoftwarePollingItemInfo();
    ui->setupUi(this);

    m_proxy = new QSortFilterProxyModel(ui->tableView);
    ui->tableView->setModel(m_proxy);
    ui->tableView->setItemDelegate(new ZelSoftwarePollingDelegate(ui->tableView));
    showModel(entries);

    QHeaderView* header = ui->tableView->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Stretch);
    header->setStyleSheet(ZelConstants::HeaderSectionStyleSheet);
    // Rows keep the order they were added in until the operator sorts.
    ui->tableView->sortByColumn(-1, Qt::AscendingOrder);

    m_importAction = new QAction(QIcon(":/res/icon/loadsettings.ico"), "Import...", this);
    m_exportAction = new QAction(QIcon(":/res/icon/savesettings.ico"), "Export...", this);
    auto* menu = new QMenu(this);
    menu->addAction(m_importAction);
    menu->addAction(m_exportAction);
    ui->toolBtnImportExport->setMenu(menu);
    ui->toolBtnImportExport->setDefaultAction(m_importAction);
    connect(m_importAction, &QAction::triggered, this, &ZelSoftwarePollingWidget::importActionTriggered);
    connect(m_exportAction, &QAction::triggered, this, &ZelSoftwarePollingWidget::exportActionTriggered);

    ui->groupBox->setChecked(enabled);
}

ZelSoftwarePollingWidget::~ZelSoftwarePollingWidget() = default;

void ZelSoftwarePollingWidget::setEntries(const QList<ZelSoftwarePollingItemInfo>& entries)
{
    showModel(entries);
}

QList<ZelSoftwarePollingItemInfo> ZelSoftwarePollingWidget::entries() const
{
    return m_model->entries();
}

void ZelSoftwarePollingWidget::showModel(const QList<ZelSoftwarePollingItemInfo>& entries)
{
    ZelSoftwarePollingModel* old = m_model;
    m_model = new ZelSoftwarePollingModel(entries, ui->tableView);
    connect(m_model, &ZelSoftwarePollingModel::itemUpdated, this, &ZelSoftwarePollingWidget::entryUpdated);
    m_proxy->setSourceModel(m_model);
    delete old;
    ui->btnDelete->setEnabled(!entries.isEmpty());
}

void ZelSoftwarePollingWidget::on_btnAdd_clicked()
{
    ZelSoftwarePollingAddDialog dialog(knownFeatureNameList(), nullptr);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const ZelSoftwarePollingItemInfo info{dialog.featureName(), dialog.pollTime(), dialog.isEntryEnabled(),
                                          dialog.condition()};
    if (info.name.isEmpty())
        return;
    if (m_model->findName(info.name) >= 0) {
        ZelDialogs::information(nullptr, "Already Exist", info.name + " is already on the list");
        return;
    }
    // Added to the source model in one step, so a sorted view places the new
    // row itself and no other row is touched.
    m_model->appendEntry(info);
    emit entryAdded(info);
    ui->btnDelete->setEnabled(true);
}

void ZelSoftwarePollingWidget::on_btnDelete_clicked()
{
    const QModelIndexList selected = ui->tableView->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    const QModelIndex row = m_proxy->mapToSource(selected.first());
    const QString name = m_model->index(row.row(), ZelSoftwarePollingModel::NameColumn).data().toString();
    if (m_model->removeRows(row.row(), 1))
        emit entryRemoved(name);
    if (m_model->rowCount() == 0)
        ui->btnDelete->setEnabled(false);
}

void ZelSoftwarePollingWidget::on_groupBox_toggled(bool checked)
{
    emit enable(checked);
}

void ZelSoftwarePollingWidget::on_tableView_clicked(const QModelIndex& index)
{
    if (!index.isValid() || index.column() != ZelSoftwarePollingModel::ConditionColumn)
        return;
    // The row may move when the table is sorted by condition; keep the entry.
    const QPersistentModelIndex cell(m_proxy->mapToSource(index));
    ZelConditionDialog dialog(cell.data().toString(), nullptr);
    if (dialog.exec() == QDialog::Accepted && cell.isValid())
        m_model->setData(cell, dialog.condition(), Qt::EditRole);
}
