#include "ZelFeatureTreeBuilder.h"
#include "ZelFeatureTreeItem.h"
#include "ZelUtil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Feature {
    const char* name;
    bool category;
    int level;
    int visibility;
};

ZelFeatureData make(const Feature& f)
{
    ZelFeatureData data;
    data.info.interfaceType = f.category ? ORV_FEATURE_TYPE_CATEGORY : ORV_FEATURE_TYPE_INTEGER;
    std::strncpy(data.info.name, f.name, sizeof data.info.name - 1);
    std::strncpy(data.info.rootName, "Root", sizeof data.info.rootName - 1);
    data.info.level = uint8_t(f.level);
    data.info.visibility = uint8_t(f.visibility);
    data.info.isAvailable = 1;
    return data;
}

// The tree as "parent/child" lines, depth first.
void describe(const ZelFeatureTreeItem* item, std::vector<std::string>& lines)
{
    for (int row = 0; row < item->childCount(); ++row) {
        const ZelFeatureTreeItem* child = item->child(row);
        lines.push_back(ZelUtil::RecordText(item->featureData().info.name).toStdString() + "/"
                        + ZelUtil::RecordText(child->featureData().info.name).toStdString());
        describe(child, lines);
    }
}

struct Case {
    const char* title;
    int visibilityLevel;
    std::vector<Feature> list;   // after the root
    std::vector<std::string> tree;
};

} // namespace

TEST(FeatureTreeBuilder, BuildsEveryLevelSequence)
{
    const Case cases[] = {
        {"plain nesting", 0,
         {{"A", true, 1, 0}, {"a1", false, 2, 0}, {"B", true, 1, 0}, {"b1", false, 2, 0}},
         {"Root/A", "A/a1", "Root/B", "B/b1"}},
        {"level jump of two goes one deeper", 0,
         {{"A", true, 1, 0}, {"a1", false, 3, 0}, {"a2", false, 2, 0}},
         {"Root/A", "A/a1", "A/a2"}},
        {"hidden category after a leaf: its features never go under the leaf", 0,
         {{"A", true, 1, 0}, {"a1", false, 2, 0}, {"H", true, 2, 2}, {"h1", false, 3, 0}, {"a2", false, 2, 0}},
         {"Root/A", "A/a1", "A/h1", "A/a2"}},
        {"hidden top category: its features never go into the sibling before it", 0,
         {{"A", true, 1, 0}, {"a1", false, 2, 0}, {"H", true, 1, 1}, {"h1", false, 2, 0}, {"B", true, 1, 0}},
         {"Root/A", "A/a1", "Root/h1", "Root/B"}},
        {"hidden category shown at guru", 2,
         {{"A", true, 1, 0}, {"a1", false, 2, 0}, {"H", true, 2, 2}, {"h1", false, 3, 0}, {"a2", false, 2, 0}},
         {"Root/A", "A/a1", "A/H", "H/h1", "A/a2"}},
        {"category whose children are all hidden stays empty", 0,
         {{"A", true, 1, 0}, {"g1", false, 2, 2}, {"g2", false, 2, 2}, {"b", false, 1, 0}},
         {"Root/A", "Root/b"}},
        {"a leaf followed by a deeper leaf: the leaf takes no child", 0,
         {{"x", false, 1, 0}, {"y", false, 2, 0}},
         {"Root/x", "Root/y"}},
        {"a level below the root never leaves the root", 0,
         {{"A", true, 1, 0}, {"z", false, 0, 0}},
         {"Root/A", "Root/z"}},
        {"invisible at every level", 2,
         {{"A", true, 1, 3}, {"a1", false, 2, 3}, {"v", false, 1, 0}},
         {"Root/v"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        ZelFeatureTreeBuilder builder(c.visibilityLevel);
        builder.setRoot(make({"Root", true, 0, 0}));
        for (const Feature& f : c.list)
            builder.add(make(f));
        std::unique_ptr<ZelFeatureTreeItem> root(builder.takeRoot());
        ASSERT_TRUE(root);
        std::vector<std::string> lines;
        describe(root.get(), lines);
        EXPECT_EQ(lines, c.tree);
    }
}

TEST(FeatureTreeBuilder, FiltersForeignRootsAndUnavailableFeatures)
{
    ZelFeatureTreeBuilder builder(2);
    builder.setRoot(make({"Root", true, 0, 0}));
    ZelFeatureData foreign = make({"f", false, 1, 0});
    std::strncpy(foreign.info.rootName, "Other", sizeof foreign.info.rootName - 1);
    ZelFeatureData lowerCase = make({"l", false, 1, 0});
    std::strncpy(lowerCase.info.rootName, "rOOT", sizeof lowerCase.info.rootName - 1);
    ZelFeatureData unavailable = make({"u", false, 1, 0});
    unavailable.info.isAvailable = 0;
    EXPECT_EQ(builder.add(foreign), nullptr);
    EXPECT_NE(builder.add(lowerCase), nullptr);
    EXPECT_EQ(builder.add(unavailable), nullptr);
    std::unique_ptr<ZelFeatureTreeItem> root(builder.takeRoot());
    EXPECT_EQ(root->childCount(), 1);
}

TEST(FeatureTreeBuilder, NothingAttachesWithoutARoot)
{
    ZelFeatureTreeBuilder builder(2);
    EXPECT_EQ(builder.add(make({"a", false, 1, 0})), nullptr);
    EXPECT_EQ(builder.takeRoot(), nullptr);
}

TEST(FeatureTreeItem, RepresentationOverridesComeFromTheResource)
{
    ZelFeatureData data = make({"GevCurrentIPAddress", false, 1, 0});
    data.info.representation = 7;
    ZelFeatureTreeItem item(data);
    EXPECT_EQ(item.featureData().info.representation, 5);
    ZelFeatureData mac = make({"GevMACAddress", false, 1, 0});
    item.setFeatureData(mac);
    EXPECT_EQ(item.featureData().info.representation, 6);
    ZelFeatureData plain = make({"Width", false, 1, 0});
    plain.info.representation = 4;
    item.setFeatureData(plain);
    EXPECT_EQ(item.featureData().info.representation, 4);
    EXPECT_EQ(ZelFeatureTreeItem::representationOverrides().size(), 9);
}
