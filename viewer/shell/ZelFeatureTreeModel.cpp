#include "ZelFeatureTreeModel.h"

#include "ZelFeatureManager.h"
#include "ZelFeatureTreeBuilder.h"
#include "ZelFeatureTreeItem.h"
#include "ZelTrace.h"
#include "ZelUtil.h"

#include <QFont>
#include <QHostAddress>
#include <QLocale>

#include <cstring>

namespace {

QString featureName(const ZelFeatureData& data)
{
    return ZelUtil::RecordText(data.info.name);
}

bool sameInfo(const ZelFeatureData& a, const ZelFeatureData& b)
{
    return std::memcmp(&a.info, &b.info, sizeof a.info) == 0;
}

// Every node below `item`, depth first.
template <typename F>
void forEachNode(ZelFeatureTreeItem* item, F&& visit)
{
    for (int row = 0; row < item->childCount(); ++row) {
        ZelFeatureTreeItem* child = item->child(row);
        visit(child);
        forEachNode(child, visit);
    }
}

} // namespace

ZelFeatureTreeModel::ZelFeatureTreeModel(ZelFeatureManager* featureManager, int level, bool isReadOnly,
                                         QObject* parent)
    : QAbstractItemModel(parent)
    , visibilityLevel(level)
    , readOnly(isReadOnly)
    , manager(featureManager)
{
    build();
    connect(manager, SIGNAL(featureInvalidated(QString)), this, SLOT(OnFeatureInvalidated(QString)));
}

ZelFeatureTreeModel::~ZelFeatureTreeModel()
{
    if (root && manager) {
        forEachNode(root, [this](ZelFeatureTreeItem* item) {
            if (item->featureData().info.interfaceType != ORV_FEATURE_TYPE_CATEGORY)
                manager->UnregisterInvalidateCB(item->featureData().info.name);
        });
    }
    delete root;
}

void ZelFeatureTreeModel::build()
{
    ZelFeatureTreeBuilder builder(visibilityLevel);
    ORV_FEATURE_HANDLE handle = 0;
    for (int index = 0; manager->Enum(index, &handle) == 0; ++index) {
        ZelFeatureData data;
        if (!manager->GetData(handle, data, false, false)) {
            // Without a root there is nothing to attach the rest to.
            if (index == 0)
                break;
            continue;
        }
        if (index == 0) {
            builder.setRoot(data);
            continue;
        }
        if (ZelFeatureTreeItem* item = builder.add(data)) {
            const QString name = featureName(item->featureData());
            if (byName.contains(name))
                duplicateNames.insert(name);
            byName.insert(name, item);
        }
    }
    root = builder.takeRoot();
}

ZelFeatureTreeItem* ZelFeatureTreeModel::itemOf(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<ZelFeatureTreeItem*>(index.internalPointer()) : root;
}

QModelIndex ZelFeatureTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!root || !hasIndex(row, column, parent))
        return QModelIndex();
    ZelFeatureTreeItem* parentItem = itemOf(parent);
    ZelFeatureTreeItem* child = parentItem ? parentItem->child(row) : nullptr;
    return child ? createIndex(row, column, child) : QModelIndex();
}

QModelIndex ZelFeatureTreeModel::parent(const QModelIndex& index) const
{
    if (!index.isValid())
        return QModelIndex();
    ZelFeatureTreeItem* parentItem = itemOf(index)->parentItem();
    if (!parentItem || parentItem == root)
        return QModelIndex();
    return createIndex(parentItem->row(), 0, parentItem);
}

int ZelFeatureTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0 || !root)
        return 0;
    return itemOf(parent)->childCount();
}

int ZelFeatureTreeModel::columnCount(const QModelIndex&) const
{
    return 2;
}

QVariant ZelFeatureTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    if (section == 0)
        return QStringLiteral("Property");
    if (section == 1)
        return QStringLiteral("Value");
    return QVariant();
}

QVariant ZelFeatureTreeModel::valueText(const ZelFeatureData& data)
{
    const ORV_FEATURE_INFO& info = data.info;
    switch (info.interfaceType) {
    case ORV_FEATURE_TYPE_ENUMERATION: {
        if (!data.value.isValid())
            return QVariant();
        const quint32 position = quint32(data.value.toLongLong());
        return position < quint32(data.entries.size()) ? data.entries.at(int(position)) : QString();
    }
    case ORV_FEATURE_TYPE_COMMAND:
        return QStringLiteral("(command)");
    default:
        break;
    }
    if (!data.value.isValid())
        return QVariant();
    switch (info.interfaceType) {
    case ORV_FEATURE_TYPE_STRING:
        return data.value;
    case ORV_FEATURE_TYPE_BOOLEAN:
        return data.value.toBool() ? QStringLiteral("On") : QStringLiteral("Off");
    case ORV_FEATURE_TYPE_INTEGER: {
        const qlonglong v = data.value.toLongLong();
        switch (info.representation) {
        case 4:
            return QStringLiteral("0x") + QString::number(qulonglong(v), 16).toUpper();
        case 5:
            return QHostAddress(quint32(v)).toString();
        case 6: {
            QStringList bytes;
            for (int shift = 40; shift >= 0; shift -= 8)
                bytes << QStringLiteral("%1").arg((qulonglong(v) >> shift) & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
            return bytes.join(QLatin1Char('-'));
        }
        default:
            return QString::number(v);
        }
    }
    case ORV_FEATURE_TYPE_FLOAT: {
        const char format = info.displayNotation == 1 ? 'f' : info.displayNotation == 2 ? 'e' : 'g';
        const QLocale locale;
        QString text = locale.toString(data.value.toDouble(), format, info.displayPrecision);
        text.remove(locale.groupSeparator());
        return text + QLatin1Char(' ') + ZelUtil::RecordText(info.unit);
    }
    default:
        return QVariant();
    }
}

QVariant ZelFeatureTreeModel::data(const QModelIndex& index, int role) const
{
    if (!root || !index.isValid())
        return QVariant();
    const ZelFeatureTreeItem* item = itemOf(index);
    const ZelFeatureData& feature = item->featureData();
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == 0)
            return ZelUtil::RecordText(feature.info.displayName);
        return index.column() == 1 ? valueText(feature) : QVariant();
    case Qt::ToolTipRole: {
        const QString suffix = QStringLiteral("\nGenICam Name: ") + featureName(feature) + QLatin1Char('\n');
        return (feature.description.isEmpty() ? ZelUtil::RecordText(feature.info.toolTip) : feature.description)
            + suffix;
    }
    case Qt::FontRole:
        if (hasChildren(index)) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return QVariant();
    case Qt::CheckStateRole:
        if (index.column() == 1 && feature.info.interfaceType == ORV_FEATURE_TYPE_BOOLEAN)
            return feature.value.toBool() ? Qt::Checked : Qt::Unchecked;
        return QVariant();
    case FeatureDataRole:
        return QVariant::fromValue(feature);
    case FeatureNameRole:
        return featureName(feature);
    case RefreshEnabledRole:
        return item->refreshEnabled;
    default:
        return QVariant();
    }
}

Qt::ItemFlags ZelFeatureTreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsSelectable;
    const ZelFeatureTreeItem* item = itemOf(index);
    if (!item) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! Feature tree item not found!", "ZelFeatureTreeModel::flags");
        return Qt::NoItemFlags;
    }
    if (index.column() == 0)
        return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    const ORV_FEATURE_INFO& info = item->featureData().info;
    const bool writable = !info.isLocked && !readOnly;
    if (info.interfaceType == ORV_FEATURE_TYPE_BOOLEAN) {
        Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
        if (writable)
            flags |= Qt::ItemIsEditable | Qt::ItemIsEnabled;
        return flags;
    }
    if (!writable)
        return Qt::ItemIsSelectable;
    return Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled;
}

bool ZelFeatureTreeModel::valueChanged(const ZelFeatureData& current, const QVariant& value)
{
    const uint8_t type = current.info.interfaceType;
    // A value never read (write-only) equals nothing: 0 is written too.
    if (!current.value.isValid() && value.isValid() && type != ORV_FEATURE_TYPE_COMMAND
        && type != ORV_FEATURE_TYPE_CATEGORY)
        return true;
    switch (type) {
    case ORV_FEATURE_TYPE_INTEGER:
        return current.value.toLongLong() != value.toLongLong();
    case ORV_FEATURE_TYPE_BOOLEAN:
        return current.value.toBool() != value.toBool();
    case ORV_FEATURE_TYPE_COMMAND:
        return value.toBool();
    case ORV_FEATURE_TYPE_FLOAT:
        return current.value.toDouble() != value.toDouble();
    case ORV_FEATURE_TYPE_STRING:
        return current.value.toString() != value.toString();
    case ORV_FEATURE_TYPE_ENUMERATION:
        return current.value.toInt() != value.toInt();
    default:
        return false;
    }
}

void ZelFeatureTreeModel::notifyRow(ZelFeatureTreeItem* item)
{
    // Both cells of the row: the view repaints them and reloads an open editor.
    const int row = item->row();
    emit dataChanged(createIndex(row, 0, item), createIndex(row, 1, item), QVector<int>());
}

bool ZelFeatureTreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!root || !index.isValid())
        return false;
    ZelFeatureTreeItem* item = itemOf(index);
    switch (role) {
    case Qt::EditRole:
    case Qt::CheckStateRole:
    case 256:
        break;
    case SetRefreshRole:
        item->refreshEnabled = value.toBool();
        return true;
    case ReplaceDataRole:
        item->setFeatureData(value.canConvert<ZelFeatureData>() ? value.value<ZelFeatureData>() : ZelFeatureData());
        notifyRow(item);
        return true;
    default:
        return false;
    }

    const ZelFeatureData& feature = item->featureData();
    const uint8_t type = feature.info.interfaceType;
    if (role == Qt::CheckStateRole && type != ORV_FEATURE_TYPE_BOOLEAN)
        return false;
    // What the view cannot edit is not written either.
    if (readOnly || feature.info.isLocked)
        return false;

    QVariant written;
    switch (type) {
    case ORV_FEATURE_TYPE_BOOLEAN:
        written = role == Qt::CheckStateRole ? value.toInt() == Qt::Checked : value.toBool();
        break;
    case ORV_FEATURE_TYPE_INTEGER: {
        bool ok = false;
        written = value.toLongLong(&ok);
        if (!ok)
            return false;
        break;
    }
    case ORV_FEATURE_TYPE_FLOAT: {
        bool ok = false;
        written = value.toDouble(&ok);
        if (!ok)
            return false;
        break;
    }
    case ORV_FEATURE_TYPE_ENUMERATION: {
        bool ok = false;
        const int position = value.toInt(&ok);
        if (!ok || position < 0 || position >= feature.entries.size())
            return false;
        written = position;
        break;
    }
    case ORV_FEATURE_TYPE_COMMAND:
        written = value.toBool();
        break;
    case ORV_FEATURE_TYPE_STRING:
        written = value.toString();
        break;
    default:
        return true;
    }
    if (!valueChanged(feature, written))
        return true;

    const QByteArray name = featureName(feature).toUtf8();
    const quint64 readsBefore = rereads;
    if (!manager->SetValue(name.constData(), written, false)) {
        // Show what the camera holds rather than what was typed.
        ZelFeatureData current;
        if (manager->GetData(name.constData(), current, false, true))
            item->setFeatureData(current);
        notifyRow(item);
        return false;
    }
    // The camera may have reported the feature invalid during the write and
    // been read again already: what it holds then stands.
    if (type != ORV_FEATURE_TYPE_COMMAND && rereads == readsBefore)
        item->setValue(written);
    notifyRow(item);
    if (type == ORV_FEATURE_TYPE_COMMAND)
        emit commandFeatureClicked(name.constData());
    return true;
}

ZelFeatureTreeItem* ZelFeatureTreeModel::find(const QString& name) const
{
    if (duplicateNames.contains(name))
        return nullptr;
    return byName.value(name, nullptr);
}

QModelIndex ZelFeatureTreeModel::indexOf(const QString& name) const
{
    ZelFeatureTreeItem* item = find(name);
    return item ? createIndex(item->row(), 0, item) : QModelIndex();
}

void ZelFeatureTreeModel::OnFeatureInvalidated(QString name)
{
    ZelFeatureTreeItem* item = find(name);
    if (!item || !item->refreshEnabled)
        return;
    ZelFeatureData fresh;
    if (!manager->GetData(name.toUtf8().constData(), fresh, false, true))
        return;
    const ZelFeatureData& current = item->featureData();
    // The override is part of the node's record; compare like with like.
    const ZelFeatureData incoming = ZelFeatureTreeItem::withOverride(fresh);
    // Locks, ranges and entries count as a change as much as the value.
    const bool changed = valueChanged(current, incoming.value) || current.value.isValid() != incoming.value.isValid()
        || !sameInfo(current, incoming) || current.entries != incoming.entries
        || current.description != incoming.description;
    item->setFeatureData(incoming);
    ++rereads;
    if (changed)
        notifyRow(item);
}
