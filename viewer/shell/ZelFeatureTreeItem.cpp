#include "ZelFeatureTreeItem.h"

#include "ZelUtil.h"

#include <QSettings>

ZelFeatureTreeItem::ZelFeatureTreeItem(const ZelFeatureData& featureData, ZelFeatureTreeItem* parentItem)
    : parent(parentItem)
{
    setFeatureData(featureData);
}

ZelFeatureTreeItem::~ZelFeatureTreeItem()
{
    qDeleteAll(children);
}

void ZelFeatureTreeItem::appendChild(ZelFeatureTreeItem* child)
{
    children.append(child);
}

ZelFeatureTreeItem* ZelFeatureTreeItem::child(int row) const
{
    return row >= 0 && row < children.size() ? children.at(row) : nullptr;
}

int ZelFeatureTreeItem::row() const
{
    return parent ? parent->children.indexOf(const_cast<ZelFeatureTreeItem*>(this)) : 0;
}

void ZelFeatureTreeItem::setFeatureData(const ZelFeatureData& newData)
{
    data = withOverride(newData);
}

ZelFeatureData ZelFeatureTreeItem::withOverride(ZelFeatureData data)
{
    const auto it = representationOverrides().constFind(ZelUtil::RecordText(data.info.name));
    if (it != representationOverrides().constEnd())
        data.info.representation = uint8_t(it.value());
    return data;
}

const QHash<QString, int>& ZelFeatureTreeItem::representationOverrides()
{
    static const QHash<QString, int> overrides = [] {
        QHash<QString, int> table;
        QSettings store(QStringLiteral(":/settings.ini"), QSettings::IniFormat);
        const QString group = QStringLiteral("Feature.Representation");
        store.beginGroup(group);
        const QStringList keys = store.childKeys();
        store.endGroup();
        for (const QString& key : keys) {
            const int code = ZelUtil::GetRepresentation(&store, key);
            if (code != 7)
                table.insert(key, code);
        }
        return table;
    }();
    return overrides;
}
