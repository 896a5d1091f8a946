#pragma once

#include "ZelSoftwarePollingItemInfo.h"

#include <QAbstractTableModel>
#include <QList>

class ZelSoftwarePollingItem;

// The software polling table: one row per entry; columns name, poll time
// (editable), enabled (check box) and condition.
class ZelSoftwarePollingModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { NameColumn, PollTimeColumn, EnabledColumn, ConditionColumn, ColumnCount };

    explicit ZelSoftwarePollingModel(const QList<ZelSoftwarePollingItemInfo>& entries,
                                     QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

    // Appends a complete row in one step; returns its row.
    int appendEntry(const ZelSoftwarePollingItemInfo& info);
    // The row whose name equals the given one regardless of case, or -1.
    int findName(const QString& name) const;
    QList<ZelSoftwarePollingItemInfo> entries() const;

signals:
    void itemUpdated(ZelSoftwarePollingItemInfo info);

private:
    ZelSoftwarePollingItem* itemAt(const QModelIndex& index) const;

    QList<ZelSoftwarePollingItem*> m_items;
};
