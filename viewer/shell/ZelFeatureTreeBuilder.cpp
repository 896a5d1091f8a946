#include "ZelFeatureTreeBuilder.h"

#include "ZelFeatureTreeItem.h"
#include "ZelUtil.h"

ZelFeatureTreeBuilder::ZelFeatureTreeBuilder(int level)
    : visibilityLevel(level)
{
}

ZelFeatureTreeBuilder::~ZelFeatureTreeBuilder()
{
    delete root;
}

ZelFeatureTreeItem* ZelFeatureTreeBuilder::setRoot(const ZelFeatureData& data)
{
    delete root;
    root = new ZelFeatureTreeItem(data);
    open.assign(1, {root, 0});
    return root;
}

bool ZelFeatureTreeBuilder::shown(const ZelFeatureData& data) const
{
    return QString::compare(ZelUtil::RecordText(data.info.rootName), QLatin1String("Root"), Qt::CaseInsensitive) == 0
        && data.info.visibility <= visibilityLevel && data.info.isAvailable;
}

ZelFeatureTreeItem* ZelFeatureTreeBuilder::add(const ZelFeatureData& data)
{
    if (!root)
        return nullptr;
    const int level = data.info.level;
    // A feature at level L closes every category at L or deeper.
    while (open.size() > 1 && open.back().second >= level)
        open.pop_back();
    ZelFeatureTreeItem* parent = open.back().first;
    const bool category = data.info.interfaceType == ORV_FEATURE_TYPE_CATEGORY;
    if (!shown(data)) {
        if (category)
            open.emplace_back(parent, level);
        return nullptr;
    }
    auto* item = new ZelFeatureTreeItem(data, parent);
    parent->appendChild(item);
    if (category)
        open.emplace_back(item, level);
    return item;
}

ZelFeatureTreeItem* ZelFeatureTreeBuilder::takeRoot()
{
    ZelFeatureTreeItem* tree = root;
    root = nullptr;
    open.clear();
    return tree;
}
