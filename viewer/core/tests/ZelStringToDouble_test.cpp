#include "ZelUtil.h"

#include <gtest/gtest.h>

#include <QString>

namespace {

struct Case
{
    const char* text;
    double value;
    bool ok;
};

class StringToDouble : public ::testing::TestWithParam<Case>
{
};

TEST_P(StringToDouble, GermanRulesFirstThenEnglish)
{
    const Case& c = GetParam();
    bool ok = !c.ok;
    EXPECT_DOUBLE_EQ(ZelUtil::StringToDouble(QString::fromUtf8(c.text), &ok), c.value) << c.text;
    EXPECT_EQ(ok, c.ok) << c.text;
    // ok may be left out.
    EXPECT_DOUBLE_EQ(ZelUtil::StringToDouble(QString::fromUtf8(c.text)), c.value) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Table, StringToDouble,
                         ::testing::Values(Case{"1,5", 1.5, true}, Case{"1.5", 1.5, true},
                                           Case{"1.500", 1500.0, true}, Case{"-2,25", -2.25, true},
                                           Case{"42", 42.0, true}, Case{"", 0.0, false},
                                           Case{"abc", 0.0, false}, Case{"1,2,3x", 0.0, false}));

} // namespace
