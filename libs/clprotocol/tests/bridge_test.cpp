// The logging bridge: found through NORRIK_SDK_BIN_32, bound only when all
// seven functions are there, set up and closed by clpInitLib and clpCloseLib.
#include "BrenwickHost.h"

namespace {

const Brenwick& clp() { return Brenwick::get(); }

bool loaded(const std::string& path)
{
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

const std::string kRealJotwell = SUITE_BIN_DIR "/libJotwell.so";
const std::string kLackingJotwell = LACKING_JOTWELL_DIR "/libJotwell.so";

}  // namespace

TEST(ClpBridge, WithoutTheSdkFolderEverythingWorksUntraced)
{
    unsetenv("NORRIK_SDK_BIN_32");
    ASSERT_EQ(clp().clpInitLib(nullptr, 0), 0);
    EXPECT_FALSE(loaded(kRealJotwell));
    char buffer[32];
    std::uint32_t size = sizeof buffer;
    EXPECT_EQ(clp().clpGetShortDeviceIDTemplates(buffer, &size), 0);
    ScriptedRig rig;
    std::int32_t cookie = -1;
    ASSERT_EQ(clp().clpProbeDevice(rig.port.port(), kKey, nullptr, nullptr, &cookie, 100), 0);
    EXPECT_EQ(clp().clpReadRegister(rig.port.port(), cookie, 0x44, buffer, 4, 100), 0);
    EXPECT_EQ(clp().clpDisconnect(cookie), 0);
    EXPECT_EQ(clp().clpCloseLib(), 0);
    EXPECT_FALSE(loaded(kRealJotwell));
}

TEST(ClpBridge, LibraryLackingAFunctionStaysUnboundUntilReplaced)
{
    setenv("NORRIK_SDK_BIN_32", LACKING_JOTWELL_DIR, 1);
    ASSERT_EQ(clp().clpInitLib(nullptr, 0), 0);
    EXPECT_FALSE(loaded(kLackingJotwell)) << "unloaded again after the failed look-up";
    EXPECT_FALSE(loaded(kRealJotwell));
    std::uint32_t major, minor;
    EXPECT_EQ(clp().clpGetCLProtocolVersion(&major, &minor), 0);

    setenv("NORRIK_SDK_BIN_32", SUITE_BIN_DIR, 1);
    ASSERT_EQ(clp().clpInitLib(nullptr, 0), 0);
    EXPECT_TRUE(loaded(kRealJotwell));
    EXPECT_EQ(clp().clpCloseLib(), 0);
}

TEST(ClpBridge, InitCloseInitWritesTwoBanners)
{
    setenv("NORRIK_SDK_BIN_32", SUITE_BIN_DIR, 1);
    JotwellLog log;
    log.start();  // keeps the logging context alive between the two set-ups
    ASSERT_EQ(clp().clpInitLib(nullptr, 0), 0);
    ASSERT_EQ(clp().clpCloseLib(), 0);
    ASSERT_EQ(clp().clpInitLib(nullptr, 0), 0);
    std::uint32_t major, minor;
    EXPECT_EQ(clp().clpGetCLProtocolVersion(&major, &minor), 0);
    const std::string text = log.flushed();
    EXPECT_EQ(countOf(text, "| Brenwick.dll Init!"), 2) << text;
    EXPECT_EQ(countOf(text, " -----------------------------------------------\r\n"), 4) << text;
    EXPECT_EQ(countOf(text, "| Built "), 2) << text;
    // The closing line comes after the bridge is down, the entry of the next
    // call after it is up again.
    EXPECT_EQ(countOf(text, "clpCloseLib Successful!"), 0) << text;
    EXPECT_EQ(countOf(text, "clpGetCLProtocolVersion Entry!"), 1) << text;
    ASSERT_EQ(clp().clpCloseLib(), 0);
    log.stop();
}
