#include "PellagoTestSupport.h"

#include <fcntl.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <set>

using namespace pellagotest;

namespace {

bool isOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

}  // namespace

TEST(CameraConnection, SameAddressTwiceSharesOneRecordUntilTheLastClose)
{
    void* first = nullptr;
    void* second = nullptr;
    ASSERT_EQ(openCamera(&first, kLoopback, 40001), 0);
    ASSERT_EQ(openCamera(&second, kLoopback, 40001), 0);
    EXPECT_EQ(first, second);
    const int fd = pellago::findCamera(first)->controlSocket;
    ASSERT_TRUE(isOpen(fd));

    EXPECT_EQ(closeCamera(first), 0);
    EXPECT_TRUE(isOpen(fd));
    EXPECT_NE(pellago::findCamera(first), nullptr);

    EXPECT_EQ(closeCamera(first), 0);
    EXPECT_FALSE(isOpen(fd));
    EXPECT_EQ(closeCamera(first), OrvGigETL_CAMERA_NOT_FOUND);
}

TEST(CameraConnection, OtherPortIsAnotherCameraBoundToAnEphemeralPort)
{
    void* a = nullptr;
    void* b = nullptr;
    ASSERT_EQ(openCamera(&a, kLoopback, 40002), 0);
    ASSERT_EQ(openCamera(&b, kLoopback, 40003), 0);
    EXPECT_NE(a, b);
    const auto ca = pellago::findCamera(a);
    EXPECT_NE(ca->localPort, 0);
    EXPECT_EQ(ca->requestId, 1);
    EXPECT_EQ(ntohs(ca->cameraAddress.sin_port), 40002);
    EXPECT_EQ(ntohl(ca->cameraAddress.sin_addr.s_addr), kLoopback);
    EXPECT_EQ(closeCamera(a), 0);
    EXPECT_EQ(closeCamera(b), 0);
}

TEST(CameraConnection, UnknownAndStaleHandlesAreRefused)
{
    void* camera = nullptr;
    ASSERT_EQ(openCamera(&camera, kLoopback, 40004), 0);
    uint8_t ack[4];
    for (void* bad : {static_cast<void*>(nullptr), reinterpret_cast<void*>(0x7FFFFFF0)}) {
        EXPECT_EQ(closeCamera(bad), OrvGigETL_CAMERA_NOT_FOUND);
        EXPECT_EQ(registerMessageCallback(bad, 4, nullptr, nullptr, nullptr), OrvGigETL_CAMERA_NOT_FOUND);
        EXPECT_EQ(GVCPTransport(bad, 0x80, 4, ack, 4, ack), OrvGigETL_CAMERA_NOT_FOUND);
    }
    EXPECT_EQ(closeCamera(camera), 0);

    // The same address again gets a new handle: the old one stays stale.
    void* again = nullptr;
    ASSERT_EQ(openCamera(&again, kLoopback, 40004), 0);
    EXPECT_NE(again, camera);
    EXPECT_EQ(closeCamera(camera), OrvGigETL_CAMERA_NOT_FOUND);
    EXPECT_EQ(GVCPTransport(camera, 0x80, 4, ack, 4, ack), OrvGigETL_CAMERA_NOT_FOUND);
    EXPECT_EQ(closeCamera(again), 0);
}

TEST(CameraConnection, NullHandleOutIsRefused)
{
    EXPECT_EQ(openCamera(nullptr, kLoopback, 40005), OrvGigETL_INVALID_PARAMETER);
}

TEST(CameraConnection, SocketThatCannotBeMadeGives207AndLeavesNothing)
{
    const std::set<int> before = openDescriptors();
    int lowestFree = 0;
    while (before.count(lowestFree))
        ++lowestFree;
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(lowestFree);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);

    void* camera = reinterpret_cast<void*>(0x1);
    const int result = openCamera(&camera, kLoopback, 40006);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);

    EXPECT_EQ(result, OrvGigETL_CAMERA_OPEN_FAILED);
    EXPECT_EQ(openDescriptors(), before);
    // No record was left for that address: a fresh open makes a new one.
    void* fresh = nullptr;
    ASSERT_EQ(openCamera(&fresh, kLoopback, 40006), 0);
    EXPECT_EQ(pellago::findCamera(fresh)->refCount, 1);
    EXPECT_EQ(closeCamera(fresh), 0);
    EXPECT_EQ(closeCamera(fresh), OrvGigETL_CAMERA_NOT_FOUND);
}

TEST(CameraConnection, RecordOutlivesItsCloseWhileACallHoldsIt)
{
    void* camera = nullptr;
    ASSERT_EQ(openCamera(&camera, kLoopback, 40007), 0);
    pellago::CameraPtr held = pellago::findCamera(camera);
    const int fd = held->controlSocket;
    EXPECT_EQ(closeCamera(camera), 0);
    EXPECT_EQ(pellago::findCamera(camera), nullptr);
    EXPECT_TRUE(isOpen(fd));  // the holder still uses it
    held.reset();
    EXPECT_FALSE(isOpen(fd));
}
