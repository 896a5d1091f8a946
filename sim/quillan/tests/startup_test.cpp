// Commands of QUILLAN_SIM_CONTROL run before the first call of the process.
#include "QuillanExports.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {
const bool environmentSet = [] {
    setenv("QUILLAN_SIM_CONTROL", "log.trace on; lib.init.fail -2009 ;;", 1);
    return true;
}();
} // namespace

TEST(Startup, EnvironmentCommandsRunOnce)
{
    ASSERT_TRUE(environmentSet);
    EXPECT_EQ(OrvLibInit("", "", "", ""), ORV_ERROR_GENICAM_CACHE);
    EXPECT_EQ(OrvLibInit("", "", "", ""), 0);
    OrvLibClose();
}
