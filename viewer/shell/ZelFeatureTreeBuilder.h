#ifndef ZELFEATURETREEBUILDER_H
#define ZELFEATURETREEBUILDER_H

#include "ZelFeatureData.h"

#include <utility>
#include <vector>

class ZelFeatureTreeItem;

// Turns the SDK's depth-first feature list (each feature with its level)
// into a tree, leaving out what the visibility level hides. Only categories
// take children: the features of a hidden category go to the nearest shown
// category above it, never under a leaf or into a sibling category.
class ZelFeatureTreeBuilder
{
public:
    explicit ZelFeatureTreeBuilder(int visibilityLevel);
    ~ZelFeatureTreeBuilder();

    ZelFeatureTreeBuilder(const ZelFeatureTreeBuilder&) = delete;
    ZelFeatureTreeBuilder& operator=(const ZelFeatureTreeBuilder&) = delete;

    // The root category (index 0 of the list); no filter applies to it.
    ZelFeatureTreeItem* setRoot(const ZelFeatureData& data);
    // The next feature of the list; its node, or null when it is left out.
    ZelFeatureTreeItem* add(const ZelFeatureData& data);
    // Whether the filter shows a feature at this level.
    bool shown(const ZelFeatureData& data) const;
    // The tree built so far; the caller owns it afterwards.
    ZelFeatureTreeItem* takeRoot();

private:
    int visibilityLevel;
    ZelFeatureTreeItem* root = nullptr;
    // Open categories and their levels, the root at the bottom. A hidden
    // category stands here as the shown node its features go to.
    std::vector<std::pair<ZelFeatureTreeItem*, int>> open;
};

#endif // ZELFEATURETREEBUILDER_H
