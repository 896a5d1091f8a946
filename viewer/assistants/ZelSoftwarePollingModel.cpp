#include "ZelSoftwarePollingModel.h"

#include "ZelSoftwarePollingItem.h"

ZelSoftwarePollingModel::ZelSoftwarePollingModel(const QList<ZelSoftwarePollingItemInfo>& entries,
                                                 QObject* parent)
    : QAbstractTableModel(parent)
{
    registerSoftwarePollingItemInfo();
    for (const ZelSoftwarePollingItemInfo& info : entries)
        m_items.append(new ZelSoftwarePollingItem(info, this));
}

int ZelSoftwarePollingModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_items.size();
}

int ZelSoftwarePollingModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

ZelSoftwarePollingItem* ZelSoftwarePollingModel::itemAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this || index.row() < 0 || index.row() >= m_items.size())
        return nullptr;
    return m_items.at(index.row());
}

QVariant ZelSoftwarePollingModel::data(const QModelIndex& index, int role) const
{
    const ZelSoftwarePollingItem* item = itemAt(index);
    if (!item)
        return QVariant();
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case NameColumn: return item->name();
        case PollTimeColumn: return item->pollTime();
        case EnabledColumn: return item->enabled() ? QStringLiteral("Enabled") : QStringLiteral("Disabled");
        case ConditionColumn: return item->condition();
        default: return QVariant();
        }
    }
    if (role == Qt::CheckStateRole && index.column() == EnabledColumn)
        return item->enabled() ? Qt::Checked : Qt::Unchecked;
    return QVariant();
}

QVariant ZelSoftwarePollingModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case NameColumn: return QStringLiteral("Feature Name");
    case PollTimeColumn: return QStringLiteral("Polling Time(ms)");
    case EnabledColumn: return QStringLiteral("Enable/Disable");
    case ConditionColumn: return QStringLiteral("Condition");
    default: return QVariant();
    }
}

Qt::ItemFlags ZelSoftwarePollingModel::flags(const QModelIndex& index) const
{
    // The root is no item (the contract of Qt's item models).
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (index.column() == PollTimeColumn)
        return Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled;
    if (index.column() == EnabledColumn)
        return Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

bool ZelSoftwarePollingModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole && !(role == Qt::CheckStateRole && index.column() == EnabledColumn))
        return false;
    ZelSoftwarePollingItem* item = itemAt(index);
    if (!item)
        return false;

    switch (index.column()) {
    case NameColumn:
        item->setName(value.toString().trimmed());
        break;
    case PollTimeColumn: {
        // A poll time no editor offers never reaches the entry.
        bool ok = false;
        const int ms = value.toInt(&ok);
        if (!ok || ms != boundedPollTime(ms))
            return false;
        item->setPollTime(ms);
        break;
    }
    case EnabledColumn:
        item->setEnabled(value.toBool());
        break;
    case ConditionColumn:
        item->setCondition(value.toString());
        break;
    default:
        return false;
    }
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole, Qt::CheckStateRole});
    emit itemUpdated(item->info());
    return true;
}

bool ZelSoftwarePollingModel::insertRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || row > m_items.size() || count <= 0)
        return false;
    beginInsertRows(parent, row, row + count - 1);
    for (int i = 0; i < count; ++i)
        m_items.insert(row, new ZelSoftwarePollingItem(QString(), 0, false, QString(), this));
    endInsertRows();
    return true;
}

bool ZelSoftwarePollingModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || row + count > m_items.size())
        return false;
    beginRemoveRows(parent, row, row + count - 1);
    for (int i = 0; i < count; ++i)
        delete m_items.takeAt(row);
    endRemoveRows();
    return true;
}

int ZelSoftwarePollingModel::appendEntry(const ZelSoftwarePollingItemInfo& info)
{
    const int row = m_items.size();
    beginInsertRows(QModelIndex(), row, row);
    m_items.append(new ZelSoftwarePollingItem(info, this));
    endInsertRows();
    return row;
}

int ZelSoftwarePollingModel::findName(const QString& name) const
{
    for (int row = 0; row < m_items.size(); ++row) {
        if (m_items.at(row)->name().compare(name, Qt::CaseInsensitive) == 0)
            return row;
    }
    return -1;
}

QList<ZelSoftwarePollingItemInfo> ZelSoftwarePollingModel::entries() const
{
    QList<ZelSoftwarePollingItemInfo> list;
    for (const ZelSoftwarePollingItem* item : m_items)
        list.append(item->info());
    return list;
}
