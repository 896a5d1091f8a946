#pragma once

#include "ZelSoftwarePollingItemInfo.h"

#include <QList>
#include <QModelIndex>
#include <QWidget>

#include <memory>

namespace Ui {
class ZelSoftwarePollingWidget;
}

class QAction;
class QSortFilterProxyModel;
class ZelSoftwarePollingModel;

// The "Software Polling" tool window: the table of polling entries with the
// polling switch, add and delete buttons and import/export. Every change
// leaves the window as a signal; the window itself polls nothing.
class ZelSoftwarePollingWidget : public QWidget
{
    Q_OBJECT

public:
    ZelSoftwarePollingWidget(bool enabled, const QList<ZelSoftwarePollingItemInfo>& entries,
                             QWidget* parent = nullptr);
    ~ZelSoftwarePollingWidget() override;

    // Shows a new table over the entries (after an import).
    void setEntries(const QList<ZelSoftwarePollingItemInfo>& entries);
    // The entries as the table holds them, in the order they were added.
    QList<ZelSoftwarePollingItemInfo> entries() const;

    QAction* importAction() const { return m_importAction; }
    QAction* exportAction() const { return m_exportAction; }

signals:
    void entryAdded(ZelSoftwarePollingItemInfo info);
    void entryRemoved(QString name);
    void entryUpdated(ZelSoftwarePollingItemInfo newInfo);
    void enable(bool bEnable);
    void importActionTriggered(bool bEnable);
    void exportActionTriggered(bool bEnable);

private slots:
    void on_btnAdd_clicked();
    void on_btnDelete_clicked();
    void on_groupBox_toggled(bool checked);
    void on_tableView_clicked(const QModelIndex& index);

private:
    void showModel(const QList<ZelSoftwarePollingItemInfo>& entries);

    std::unique_ptr<Ui::ZelSoftwarePollingWidget> ui;
    ZelSoftwarePollingModel* m_model = nullptr;
    QSortFilterProxyModel* m_proxy = nullptr;
    QAction* m_importAction = nullptr;
    QAction* m_exportAction = nullptr;
};
