#ifndef ZELFEATURETREEITEM_H
#define ZELFEATURETREEITEM_H

#include "ZelFeatureData.h"

#include <QHash>
#include <QList>
#include <QString>

// One node of the feature tree. A node owns its children.
class ZelFeatureTreeItem
{
public:
    explicit ZelFeatureTreeItem(const ZelFeatureData& data, ZelFeatureTreeItem* parent = nullptr);
    ~ZelFeatureTreeItem();

    ZelFeatureTreeItem(const ZelFeatureTreeItem&) = delete;
    ZelFeatureTreeItem& operator=(const ZelFeatureTreeItem&) = delete;

    void appendChild(ZelFeatureTreeItem* child);
    ZelFeatureTreeItem* child(int row) const;
    int childCount() const { return children.size(); }
    int row() const;
    ZelFeatureTreeItem* parentItem() const { return parent; }

    // The node's data with the representation override applied.
    const ZelFeatureData& featureData() const { return data; }
    // Replaces the data; the override is applied once here.
    void setFeatureData(const ZelFeatureData& newData);
    void setValue(const QVariant& value) { data.value = value; }

    bool refreshEnabled = true;

    // `data` with its representation override applied.
    static ZelFeatureData withOverride(ZelFeatureData data);

    // Representation overrides of the compiled-in ":/settings.ini", read once
    // per process: GenICam name -> representation code.
    static const QHash<QString, int>& representationOverrides();

private:
    ZelFeatureData data;
    ZelFeatureTreeItem* parent;
    QList<ZelFeatureTreeItem*> children;
};

#endif // ZELFEATURETREEITEM_H
