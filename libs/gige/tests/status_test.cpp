#include "PellagoTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

using namespace pellagotest;

TEST(StatusText, EveryNamedStatusHasItsText)
{
    const std::pair<int32_t, const char*> named[] = {
        {0, "OK"},
        {0x8001, "OrvGigETL_GEV_STATUS_NOT_IMPLEMENTED"},
        {0x8002, "OrvGigETL_GEV_STATUS_INVALID_PARAMETER"},
        {0x8003, "OrvGigETL_GEV_STATUS_INVALID_ADDRESS"},
        {0x8004, "OrvGigETL_GEV_STATUS_WRITE_PROTECTED"},
        {0x8005, "OrvGigETL_GEV_STATUS_BAD_ALIGNMENT"},
        {0x8006, "OrvGigETL_GEV_STATUS_ACCESS_DENIED"},
        {0x8007, "OrvGigETL_GEV_STATUS_BUSY"},
        {0x8008, "OrvGigETL_GEV_STATUS_LOCAL_PROBLEM"},
        {0x8009, "OrvGigETL_GEV_STATUS_MSG_MISMATCH"},
        {0x800A, "OrvGigETL_GEV_STATUS_INVALID_PROTOCOL"},
        {0x800B, "OrvGigETL_GEV_STATUS_NO_MSG"},
        {0x800C, "OrvGigETL_GEV_STATUS_PACKET_UNAVAILABLE"},
        {0x800D, "OrvGigETL_GEV_STATUS_DATA_OVERRUN"},
        {0x800E, "OrvGigETL_GEV_STATUS_INVALID_HEADER"},
        {0x8FFF, "OrvGigETL_GEV_STATUS_ERROR"},
        {-101, "NORRIK_GigE_SORBIX_STATUS_ERROR"},
        {-102, "NORRIK_GigE_SORBIX_STATUS_SOCKET_ERROR"},
        {-103, "NORRIK_GigE_SORBIX_STATUS_ALREADY_CONNECTED"},
        {-104, "NORRIK_GigE_SORBIX_STATUS_INVALID_MAC"},
        {-105, "NORRIK_GigE_SORBIX_STATUS_UNREACHABLE"},
        {-110, "NORRIK_GigE_SORBIX_STATUS_PROTOCOL_ID_MISMATCH"},
        {-111, "NORRIK_GigE_SORBIX_STATUS_NOT_ACKNOWLEDGED"},
        {-112, "NORRIK_GigE_SORBIX_STATUS_RECEIVE_LENGTH_MISMATCH"},
        {-113, "NORRIK_GigE_SORBIX_STATUS_ACKNOWLEDGED_LENGTH_MISMATCH"},
        {-114, "OrvGigETL_SORBIX_STATUS_NO_ACK_BUFFER_PROVIDED"},
        {-201, "OrvGigETL_DLL_NOT_LOADED"},
        {-202, "OrvGigETL_DLL_VERSION_MISMATCH"},
        {-203, "OrvGigETL_DLL_ALIGNMENT_PROBLEM"},
        {-204, "OrvGigETL_OPERATING_SYSTEM_NOT_SUPPORTED"},
        {-205, "OrvGigETL_WINSOCK_INITIALIZATION_FAILED"},
        {-206, "OrvGigETL_CAMERA_NOT_FOUND"},
        {-207, "OrvGigETL_CAMERA_OPEN_FAILED"},
        {-208, "OrvGigETL_CAMERA_NOT_OPEN"},
        {-209, "OrvGigETL_CAMERA_UNKNWON_COMMAND"},
        {-210, "OrvGigETL_CAMERA_PAYLOAD_LENGTH_EXCEEDED"},
        {-211, "OrvGigETL_CAMERA_PAYLOAD_LENGTH_INVALID"},
        {-212, "OrvGigETL_CAMERA_COMMUNICATION_TIMEOUT"},
        {-213, "OrvGigETL_CAMERA_ACCESS_DENIED"},
        {-214, "OrvGigETL_CAMERA_CONNECTION_LOST"},
        {-215, "OrvGigETL_STREAMING_FUNCTION_ALREADY_REGISTERED"},
        {-216, "OrvGigETL_NO_STREAMING_PORT_FOUND"},
        {-217, "OrvGigETL_OUT_OF_MEMORY"},
        {-218, "OrvGigETL_INVALID_CALLBACK_FUNCTION_POINTER"},
        {-219, "OrvGigETL_STREAMING_CHANNEL_NOT_AVAILABLE"},
        {-220, "OrvGigETL_STREAMING_CHANNEL_VERSION_MISMATCH"},
        {-221, "OrvGigETL_CALLBACK_INVALID_PARAMETER"},
        {-222, "OrvGigETL_CALLBACK_IMAGE_DATA_MISSING"},
        {-223, "OrvGigETL_OPENING_STREAMING_CHANNEL_FAILED"},
        {-224, "OrvGigETL_CHANNEL_CREATION_FAILED"},
        {-225, "OrvGigETL_DRIVER_NOT_INSTALLED"},
        {-226, "OrvGigETL_PENDING_CHANNEL_DETECTED"},
        {-227, "OrvGigETL_UNSUPPORTED_PACKET_FORMAT"},
        {-228, "OrvGigETL_INCORRECT_BLOCK_ID"},
        {-229, "OrvGigETL_INVALID_PARAMETER"},
        {-230, "OrvGigETL_STREAMING_CHANNEL_LOOSING_FRAMES"},
        {-231, "OrvGigETL_FRAME_BUFFER_ALLOCATION_FAILED"},
        {-232, "OrvGigETL_FRAME_BUFFER_INFO_NOT_AVAILABLE"},
        {-233, "OrvGigETL_MULTICAST_MANAGEMENT_FAILED"},
        {-234, "OrvGigETL_CAMERA_SIGNAL_IGNORED"},
        {-235, "OrvGigETL_FILTER_DRIVER_INSTALLATION_NOT_SUPPORTED"},
        {-236, "OrvGigETL_FILTER_DRIVER_NOT_AVAILABLE"},
        {-237, "OrvGigETL_FILTER_INF_FILE_NOT_FOUND"},
        {-238, "OrvGigETL_FILTER_INF_FILE_COPY_FAILED"},
        {-239, "OrvGigETL_FILTER_INITIALIZING_COM_FAILED"},
        {-240, "OrvGigETL_FILTER_DRIVER_INSTALLATION_FAILED"},
        {-241, "OrvGigETL_FILTER_DRIVER_DEINSTALLATION_FAILED"},
        {-242, "OrvGigETL_DRIVER_INSTALL_REQUIRES_ADMIN_PRIVILEGES"},
        {-243, "OrvGigETL_DRIVER_INSTALL_REQUIRES_REBOOT"},
        {-244, "OrvGigETL_DRIVER_REINSTALL_AFTER_REBOOT_REQUIRED"},
        {-245, "OrvGigETL_DRIVER_X86_ON_X64_NOT_SUPPORTED"},
    };
    EXPECT_EQ(std::size(named), 71u);
    for (const auto& [code, text] : named)
        EXPECT_STREQ(getErrorMessage(code), text) << code;
    for (int32_t other : {-106, -107, -108, -109, -100, -115, -200, -246, 0xC002, 0x800F, 12345, 1})
        EXPECT_STREQ(getErrorMessage(other), "OrvGigETL_ERROR") << other;
}

namespace {

const uint8_t kVersionBytes[4] = {0x01, 0x05, 0x04, 0x29};

int32_t check(const uint8_t (&requested)[3], uint8_t (&version)[4])
{
    std::memset(version, 0xEE, sizeof version);
    uint32_t word = 0xEEEEEEEE;
    const int32_t result = isVersionCompliant(&word, requested);
    std::memcpy(version, &word, sizeof word);
    return result;
}

using Block = gigefilter::FilterRequestBlock;

bool answerProbe(uint32_t, Block& block, uint32_t* returned)
{
    block.status = 0;  // no longer 1
    *returned = sizeof block;
    return true;
}

bool silentProbe(uint32_t, Block& block, uint32_t* returned)
{
    *returned = sizeof block;
    return true;
}

}  // namespace

TEST(VersionCheck, RequestedVersionsAndTheVersionWord)
{
    DeviceScope driver(&answerProbe);
    struct Case {
        uint8_t requested[3];
        int32_t result;
    };
    const Case cases[] = {
        {{1, 5, 4}, 0},   {{1, 4, 9}, 0},    {{1, 0, 0}, 0},    {{1, 5, 5}, -202},
        {{1, 6, 0}, -202}, {{2, 0, 0}, -202}, {{0, 5, 4}, -202},
    };
    for (const Case& c : cases) {
        uint8_t version[4];
        EXPECT_EQ(check(c.requested, version), c.result)
            << int(c.requested[0]) << "." << int(c.requested[1]) << "." << int(c.requested[2]);
        EXPECT_EQ(std::memcmp(version, kVersionBytes, 4), 0);
    }
}

TEST(VersionCheck, NullPointersAreRefused)
{
    uint32_t word = 0xEEEEEEEE;
    const uint8_t requested[3] = {1, 5, 4};
    EXPECT_EQ(isVersionCompliant(nullptr, requested), OrvGigETL_INVALID_PARAMETER);
    EXPECT_EQ(isVersionCompliant(&word, nullptr), OrvGigETL_INVALID_PARAMETER);
    EXPECT_EQ(word, 0xEEEEEEEEu);
}

TEST(VersionCheck, DriverNoneSilentOrAnswering)
{
    const uint8_t requested[3] = {1, 5, 4};
    uint8_t version[4];
    {
        DriverPathScope none(nullptr);
        EXPECT_EQ(check(requested, version), OrvGigETL_DRIVER_NOT_INSTALLED);
        EXPECT_EQ(std::memcmp(version, kVersionBytes, 4), 0);
    }
    // The user-space driver the library ships answers the probe.
    EXPECT_EQ(check(requested, version), 0);
    {
        DeviceScope driver(&silentProbe);
        EXPECT_EQ(check(requested, version), OrvGigETL_DRIVER_X86_ON_X64_NOT_SUPPORTED);
        EXPECT_EQ(std::memcmp(version, kVersionBytes, 4), 0);
    }
    {
        DeviceScope driver([](uint32_t, Block&, uint32_t*) { return false; });
        EXPECT_EQ(check(requested, version), OrvGigETL_DRIVER_X86_ON_X64_NOT_SUPPORTED);
    }
    {
        DeviceScope driver([](uint32_t, Block& block, uint32_t* returned) {
            block.status = 0;
            *returned = sizeof block - 4;  // short reply
            return true;
        });
        EXPECT_EQ(check(requested, version), OrvGigETL_DRIVER_X86_ON_X64_NOT_SUPPORTED);
    }
    DeviceScope driver(&answerProbe);
    EXPECT_EQ(check(requested, version), 0);
    EXPECT_EQ(check(requested, version), 0);
    const auto requests = driver.taken();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& r : requests) {
        EXPECT_EQ(r.code, 0x120844u);
        EXPECT_EQ(r.block.version, 0x01050400u);
        EXPECT_EQ(r.block.status, 1u);
        EXPECT_EQ(r.block.marker, 0x2468u);
        EXPECT_EQ(r.block.instanceId, 0u);  // the probe sends no key
        EXPECT_EQ(r.block.sourceIpNet, 0u);
        EXPECT_EQ(r.block.streamPort[0] | r.block.streamPort[1], 0);
    }
    // Each channel has its own instance id.
    EXPECT_NE(pellago::nextInstanceId(), pellago::nextInstanceId());
}

TEST(VersionCheck, HostRandomSequenceIsUntouched)
{
    DeviceScope driver(&answerProbe);
    const uint8_t requested[3] = {1, 5, 4};
    std::srand(4242);
    const int expected[3] = {std::rand(), std::rand(), std::rand()};
    std::srand(4242);
    uint32_t word = 0;
    int got[3];
    for (int& g : got) {
        ASSERT_EQ(isVersionCompliant(&word, requested), 0);
        g = std::rand();
    }
    EXPECT_EQ(std::vector<int>(got, got + 3), std::vector<int>(expected, expected + 3));
}

TEST(VersionCheck, InstanceIdsAreDistinctInABurst)
{
    std::set<uint32_t> ids;
    for (int i = 0; i < 10000; ++i)
        ids.insert(pellago::nextInstanceId());
    EXPECT_EQ(ids.size(), 10000u);
}
