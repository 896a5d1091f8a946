// Streams, events, device files and image utilities through the SDK's exports.
#include "SimFixture.h"
#include "SimPixelFormat.h"
#include "ThreadWait.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

using simtest::control;

namespace {

class SdkTest : public simtest::SimTest {
protected:
    struct Camera {
        ORV_DEVICE_HANDLE device = 0;
        ORV_REMOTE_DEVICE_HANDLE remote = 0;
    };
    Camera open(const std::string& producer, const std::string& iface, const std::string& id)
    {
        Camera c;
        const ORV_SYSTEM_HANDLE system = openSystem(producer);
        const ORV_INTERFACE_HANDLE i = openInterface(system, iface);
        EXPECT_EQ(OrvInterfaceDeviceOpen(i, id.c_str(), 3, &c.device, &c.remote), 0) << id;
        return c;
    }
    Camera openG1() { return open("orv_gev_tl.cti", "gev-if-0", "GEV-G1-0001"); }
    ORV_STREAM_HANDLE openStream(ORV_DEVICE_HANDLE device)
    {
        char id[512] = {};
        size_t size = sizeof id;
        EXPECT_EQ(OrvDeviceGetStreamId(device, 0, id, &size), 0);
        ORV_STREAM_HANDLE stream = 0;
        EXPECT_EQ(OrvDeviceStreamOpen(device, id, &stream), 0);
        return stream;
    }
};

} // namespace

TEST_F(SdkTest, StreamIdsAndOpening)
{
    const Camera g1 = openG1();
    char id[512] = {};
    size_t size = sizeof id;
    ASSERT_EQ(OrvDeviceGetStreamId(g1.device, 0, id, &size), 0);
    EXPECT_STREQ(id, "Stream0");
    EXPECT_EQ(size, 8u);
    size = 4;
    EXPECT_EQ(OrvDeviceGetStreamId(g1.device, 0, id, &size), -1006);
    size = sizeof id;
    EXPECT_EQ(OrvDeviceGetStreamId(g1.device, 1, id, &size), -1009);
    ORV_STREAM_HANDLE stream = 0, second = 0;
    ASSERT_EQ(OrvDeviceStreamOpen(g1.device, "Stream0", &stream), 0);
    EXPECT_NE(stream, 0u);
    EXPECT_EQ(OrvDeviceStreamOpen(g1.device, "Stream0", &second), -1014);
    ORV_DS_INFO ds{};
    ASSERT_EQ(OrvStreamGetInfo(stream, &ds), 0);
    EXPECT_EQ(ds.payloadSize, 1280u * 1024u);
    EXPECT_EQ(ds.payloadSizeValid, 1);
    control("stream.dsinfo GEV-G1-0001 invalid");
    ASSERT_EQ(OrvStreamGetInfo(stream, &ds), 0);
    EXPECT_EQ(ds.payloadSizeValid, 0);
    ASSERT_EQ(OrvStreamClose(stream), 0);
    EXPECT_EQ(OrvStreamGetInfo(stream, &ds), -1002);
    ASSERT_EQ(OrvDeviceStreamOpen(g1.device, "Stream0", &second), 0);

    // The camera without a data stream still opens.
    const Camera u3 = open("orv_u3v_tl.cti", "u3v-if-0", "U3V-U3-0303");
    size = sizeof id;
    EXPECT_EQ(OrvDeviceGetStreamId(u3.device, 0, id, &size), -1009);
    EXPECT_EQ(OrvDeviceStreamOpen(u3.device, "Stream0", &stream), -1009);
}

TEST_F(SdkTest, BuffersThroughTheExports)
{
    const Camera g1 = openG1();
    const ORV_STREAM_HANDLE stream = openStream(g1.device);
    int objects[5];
    ORV_BUFFER_HANDLE handles[5];
    control("stream.announce.fail GEV-G1-0001 3 -1006");
    for (int i = 0; i < 5; ++i) {
        const int rc = OrvStreamAllocAndAnnounceBuffer(stream, 1280 * 1024, &objects[i], &handles[i]);
        EXPECT_EQ(rc, i == 2 ? -1006 : 0) << i;
        if (rc) {
            ASSERT_EQ(OrvStreamAllocAndAnnounceBuffer(stream, 1280 * 1024, &objects[i], &handles[i]), 0);
        }
        ASSERT_EQ(OrvStreamQueueBuffer(stream, handles[i]), 0);
    }
    EXPECT_EQ(OrvStreamQueueBuffer(stream, handles[0]), -1006);
    ASSERT_EQ(OrvStreamAcquisitionStart(stream, 0, ~0ull), 0);
    void* user = nullptr;
    ORV_BUFFER_HANDLE h = 0;
    control("stream.stall GEV-G1-0001 on");
    EXPECT_EQ(OrvStreamWaitForNewBuffer(stream, &user, &h, 30), -1011);
    ASSERT_EQ(OrvStreamAcquisitionStop(stream, 0), 0);
    ASSERT_EQ(OrvStreamFlushQueue(stream, 0), 0);
    ASSERT_EQ(OrvStreamFlushQueue(stream, 1), 0);
    for (int i = 0; i < 5; ++i) {
        user = nullptr;
        ASSERT_EQ(OrvStreamRevokeBuffer(stream, handles[i], nullptr, &user), 0);
        EXPECT_EQ(user, &objects[i]);
    }
    EXPECT_EQ(OrvStreamRevokeBuffer(stream, handles[0], nullptr, &user), -1002);
}

TEST_F(SdkTest, EventsOfEachTypeWithTheirRecords)
{
    const Camera g1 = openG1();
    const ORV_STREAM_HANDLE stream = openStream(g1.device);
    ORV_EVENT_HANDLE conn = 0, remote = 0, ds = 0, other = 0;
    ASSERT_EQ(OrvEventRegister(g1.device, 4000, &conn), 0);
    ASSERT_EQ(OrvEventRegister(g1.device, 4, &remote), 0);
    ASSERT_EQ(OrvEventRegister(stream, 5000, &ds), 0);
    EXPECT_EQ(OrvEventRegister(g1.device, 4000, &other), -1014);
    EXPECT_EQ(OrvEventRegister(g1.device, 5000, &other), -1009);
    EXPECT_EQ(OrvEventRegister(stream, 4, &other), -1009);
    EXPECT_EQ(OrvEventRegister(g1.device, 77, &other), -1009);

    control("event.fire GEV-G1-0001 4000 3");
    ORV_EVENT_DEVICE_CONNECTION_DATA c{};
    size_t size = sizeof c;
    ASSERT_EQ(OrvEventWait(g1.device, conn, &c, &size, 1000), 0);
    EXPECT_EQ(size, 260u);
    EXPECT_EQ(c.connectionState, 3u);
    EXPECT_STREQ(c.deviceId, "GEV-G1-0001");

    control("event.fire GEV-G1-0001 4 0xA0B1 0 7 0x0000000100000002");
    ORV_EVENT_REMOTE_DEVICE_DATA r{};
    size = sizeof r;
    ASSERT_EQ(OrvEventWait(g1.device, remote, &r, &size, 1000), 0);
    EXPECT_EQ(size, 546u);
    const uint8_t* b = reinterpret_cast<const uint8_t*>(&r);
    EXPECT_EQ(b[8], 0xA0);
    EXPECT_EQ(b[9], 0xB1);
    EXPECT_EQ(b[13], 7);
    const uint8_t ts[8] = {0, 0, 0, 1, 0, 0, 0, 2};
    EXPECT_EQ(std::memcmp(b + 14, ts, 8), 0);

    control("event.fire GEV-G1-0001 5000 7 42 123456789");
    ORV_EVENT_DS_ACQUISITION_DATA d{};
    size = sizeof d;
    ASSERT_EQ(OrvEventWait(stream, ds, &d, &size, 1000), 0);
    EXPECT_EQ(size, 32u);
    EXPECT_EQ(d.signalType, 7);
    EXPECT_EQ(d.imageId, 42u);
    EXPECT_EQ(d.timestamp, 123456789u);
    EXPECT_EQ(OrvEventWait(stream, ds, &d, &size, 10), -1011);

    // A type without payload once the camera accepts it.
    control("event.allow GEV-G1-0001 1234");
    ASSERT_EQ(OrvEventRegister(g1.device, 1234, &other), 0);
    control("event.fire device:GEV-G1-0001 1234");
    size = 99;
    ASSERT_EQ(OrvEventWait(g1.device, other, nullptr, &size, 1000), 0);
    EXPECT_EQ(size, 0u);

    // Wrong module for the handle.
    EXPECT_EQ(OrvEventWait(stream, conn, &c, &size, 0), -1002);
    EXPECT_EQ(OrvEventUnRegister(g1.device, 5000), -1009);
}

TEST_F(SdkTest, KillBeforeAndDuringAWait)
{
    const Camera g1 = openG1();
    ORV_EVENT_HANDLE conn = 0;
    ASSERT_EQ(OrvEventRegister(g1.device, 4000, &conn), 0);
    ORV_EVENT_DEVICE_CONNECTION_DATA c{};
    size_t size = sizeof c;
    control("event.fire GEV-G1-0001 4000 0");
    ASSERT_EQ(OrvEventFlush(g1.device, conn), 0);
    ASSERT_EQ(OrvEventKill(g1.device, conn), 0);
    EXPECT_EQ(OrvEventWait(g1.device, conn, &c, &size, 0xFFFFFFFFull), -1012);
    EXPECT_EQ(OrvEventWait(g1.device, conn, &c, &size, 0xFFFFFFFFull), -1012);
    ASSERT_EQ(OrvEventUnRegister(g1.device, 4000), 0);
    EXPECT_EQ(OrvEventWait(g1.device, conn, &c, &size, 0), -1002);

    ASSERT_EQ(OrvEventRegister(g1.device, 4000, &conn), 0);
    std::atomic<int> rc{1};
    std::thread waiter([&] {
        ORV_EVENT_DEVICE_CONNECTION_DATA w{};
        size_t s = sizeof w;
        rc = OrvEventWait(g1.device, conn, &w, &s, 0xFFFFFFFFull);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_EQ(OrvEventKill(g1.device, conn), 0);
    waiter.join();
    EXPECT_EQ(rc.load(), -1012);

    // Closing the device ends a wait too.
    ASSERT_EQ(OrvEventUnRegister(g1.device, 4000), 0);
    ASSERT_EQ(OrvEventRegister(g1.device, 4000, &conn), 0);
    // Close only once the waiter sleeps inside the wait: a close before it
    // would make the handle invalid instead.
    EXPECT_EQ(simtest::waitEndedBy(
                  [&] {
                      ORV_EVENT_DEVICE_CONNECTION_DATA w{};
                      size_t s = sizeof w;
                      return OrvEventWait(g1.device, conn, &w, &s, 0xFFFFFFFFull);
                  },
                  [&] { EXPECT_EQ(OrvDeviceClose(g1.device), 0); }),
              -1012);
}

TEST_F(SdkTest, CamerasThatRefuseEventTypes)
{
    const Camera c2 = open("orv_cl_tl.cti", "cl-port-2", "CL-C2-0402");
    ORV_EVENT_HANDLE h = 0;
    EXPECT_EQ(OrvEventRegister(c2.device, 4000, &h), -1009);
    EXPECT_EQ(OrvEventRegister(c2.device, 4, &h), -1009);
    EXPECT_EQ(OrvEventRegister(openStream(c2.device), 5000, &h), 0);

    const Camera r1 = open("orv_gev_tl_rdma.cti", "rdma-if-0", "GEV-R1-0101");
    EXPECT_EQ(OrvEventRegister(openStream(r1.device), 5000, &h), -1009);
    EXPECT_EQ(OrvEventRegister(r1.device, 4000, &h), 0);
    control("event.refuse GEV-R1-0101 4 on");
    EXPECT_EQ(OrvEventRegister(r1.device, 4, &h), -1009);
    control("event.refuse GEV-R1-0101 4 off");
    EXPECT_EQ(OrvEventRegister(r1.device, 4, &h), 0);
}

namespace {

struct Progress {
    std::vector<int64_t> remaining;
    std::vector<std::string> names, ops;
    static void cb(void* ctx, const int64_t* remaining, const char* name, const char* op)
    {
        auto* p = static_cast<Progress*>(ctx);
        p->remaining.push_back(*remaining);
        p->names.push_back(name);
        p->ops.push_back(op);
    }
};

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

TEST_F(SdkTest, DeviceFilesWithProgressAndFailures)
{
    const Camera g1 = openG1();
    control("file.rate GEV-G1-0001 1000000000");
    Progress p;
    ASSERT_EQ(OrvDeviceRegisterFileAccessCB(g1.device, &p, &Progress::cb), 0);
    const std::string local = folder.path() + "/config.txt";
    int64_t transfer = -1;
    ASSERT_EQ(OrvDeviceSaveFile(g1.device, local.c_str(), "config.txt", "Userfile", &transfer), 0);
    EXPECT_EQ(transfer, 1536);
    EXPECT_EQ(readFile(local).size(), 1536u);
    ASSERT_EQ(p.remaining, (std::vector<int64_t>{1536, 0}));
    EXPECT_EQ(p.names.front(), "config.txt");
    EXPECT_EQ(p.ops.front(), "Read");

    // Upload a new file, then the second of three uploads fails.
    const std::string upload = folder.path() + "/mine.bin";
    std::ofstream(upload, std::ios::binary) << std::string(100000, 'x');
    p = Progress();
    ASSERT_EQ(OrvDeviceLoadFile(g1.device, "mine.bin", upload.c_str(), "Userfile", &transfer), 0);
    EXPECT_EQ(p.remaining.front(), 100000);
    EXPECT_EQ(p.remaining.back(), 0);
    EXPECT_EQ(p.ops.front(), "Write");
    EXPECT_NE(control("file.list GEV-G1-0001").find("Userfile mine.bin 100000"), std::string::npos);
    control("file.fail GEV-G1-0001 Userfile b.bin write -1013 afterbytes=65536");
    EXPECT_EQ(OrvDeviceLoadFile(g1.device, "a.bin", upload.c_str(), "Userfile", &transfer), 0);
    EXPECT_EQ(OrvDeviceLoadFile(g1.device, "b.bin", upload.c_str(), "Userfile", &transfer), -1013);
    EXPECT_EQ(OrvDeviceLoadFile(g1.device, "c.bin", upload.c_str(), "Userfile", &transfer), 0);

    // Firmware: only ".ge3" files.
    EXPECT_EQ(OrvDeviceLoadFile(g1.device, "mine.bin", upload.c_str(), "Firmware", &transfer), -1010);
    ASSERT_EQ(OrvDeviceDeleteFile(g1.device, "mine.bin", "Userfile"), 0);
    EXPECT_EQ(OrvDeviceDeleteFile(g1.device, "mine.bin", "Userfile"), -1009);
    EXPECT_EQ(OrvDeviceSaveFile(g1.device, local.c_str(), "missing.txt", "Userfile", &transfer), -1009);
    EXPECT_EQ(OrvDeviceSaveFile(g1.device, (folder.path() + "/no/such/dir").c_str(), "config.txt", "Userfile", &transfer), -1013);

    // No reports after unregistering; cameras without file access refuse.
    ASSERT_EQ(OrvDeviceUnRegisterFileAccessCB(g1.device), 0);
    p = Progress();
    ASSERT_EQ(OrvDeviceSaveFile(g1.device, local.c_str(), "notes.bin", "Userfile", &transfer), 0);
    EXPECT_TRUE(p.remaining.empty());
    const Camera g2 = open("orv_gev_tl.cti", "gev-if-0", "GEV-G2-0002");
    EXPECT_EQ(OrvDeviceSaveFile(g2.device, local.c_str(), "config.txt", "Userfile", &transfer), -1009);
    EXPECT_EQ(OrvDeviceRegisterFileAccessCB(g2.device, &p, &Progress::cb), -1009);
}

// A transfer whose caller stores ORV_TRANSFER_CANCEL stops before its next
// block and leaves the camera and the local file as they were.
TEST_F(SdkTest, CancelledTransfersKeepWhatWasThere)
{
    const Camera g1 = openG1();
    control("file.rate GEV-G1-0001 1000000000");
    struct Canceller {
        int64_t* transfer = nullptr;
        int reports = 0;
        int cancelAt = 0; // reports before the cancel; 0: never
        static void cb(void* ctx, const int64_t*, const char*, const char*)
        {
            auto* c = static_cast<Canceller*>(ctx);
            if (++c->reports == c->cancelAt)
                __atomic_store_n(c->transfer, ORV_TRANSFER_CANCEL, __ATOMIC_RELEASE);
        }
    };
    Canceller canceller;
    ASSERT_EQ(OrvDeviceRegisterFileAccessCB(g1.device, &canceller, &Canceller::cb), 0);
    const std::string big = folder.path() + "/big.ge3";
    std::ofstream(big, std::ios::binary) << "version=7.0.0\n" << std::string(300000, 'x');
    const std::string before = control("file.list GEV-G1-0001");

    struct Case {
        const char* what;
        bool upload;
        const char* entry;
        const char* name;
        int cancelAt;       // 1: after the total is reported, 2: after the first block
        int64_t preset;     // the integer before the call
        int reports;        // reports made
    };
    const Case cases[] = {
        {"firmware, after the first block", true, "Firmware", "big.ge3", 2, 0, 2},
        {"user file, before the first block", true, "Userfile", "big.ge3", 1, 0, 1},
        {"firmware, cancelled before the call", true, "Firmware", "big.ge3", 0, ORV_TRANSFER_CANCEL, 0},
        {"download, after the first block", false, "Userfile", "config.txt", 1, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int64_t transfer = c.preset;
        canceller = Canceller{&transfer, 0, c.cancelAt};
        const std::string local = folder.path() + "/fetched.txt";
        const int rc = c.upload ? OrvDeviceLoadFile(g1.device, c.name, big.c_str(), c.entry, &transfer)
                                : OrvDeviceSaveFile(g1.device, local.c_str(), c.name, c.entry, &transfer);
        EXPECT_EQ(rc, ORV_ERROR_ABORTED);
        EXPECT_EQ(transfer, ORV_TRANSFER_CANCEL);
        EXPECT_EQ(canceller.reports, c.reports);
        EXPECT_EQ(control("file.list GEV-G1-0001"), before);
        EXPECT_FALSE(std::ifstream(local).good());
    }

    // A cancel that comes after the last block changes nothing.
    int64_t transfer = 0;
    canceller = Canceller{&transfer, 0, 6}; // the total, then five blocks
    ASSERT_EQ(OrvDeviceLoadFile(g1.device, "big.ge3", big.c_str(), "Firmware", &transfer), 0);
    EXPECT_EQ(canceller.reports, 6);
    EXPECT_NE(control("file.list GEV-G1-0001").find("pending firmware 7.0.0"), std::string::npos);
    ASSERT_EQ(OrvDeviceUnRegisterFileAccessCB(g1.device), 0);
}

TEST_F(SdkTest, ConversionsAndImageFilesTakeTheRecord)
{
    // BayerRG8 2x2: red 200, greens 100, blue 30.
    uint8_t pixels[4] = {200, 100, 100, 30};
    ORV_BUFFER_INFO info{};
    info.pixels = pixels;
    info.width = 2;
    info.height = 2;
    info.size = 4;
    info.pixelType = SimPixelFormat::BayerRG8;
    uint8_t bgrx[20];
    std::memset(bgrx, 0xEE, sizeof bgrx);
    ASSERT_EQ(OrvUtilBufferBayerToRGB32(info, bgrx, 16), 0);
    EXPECT_EQ(bgrx[0], 30);
    EXPECT_EQ(bgrx[1], 100);
    EXPECT_EQ(bgrx[2], 200);
    EXPECT_EQ(bgrx[3], 0xFF);
    EXPECT_EQ(bgrx[16], 0xEE);
    std::memset(bgrx, 0xEE, sizeof bgrx);
    EXPECT_EQ(OrvUtilBufferBayerToRGB32(info, bgrx, 15), -1006);  // the first row fits
    EXPECT_EQ(bgrx[7], 0xFF);
    EXPECT_EQ(bgrx[8], 0xEE);
    EXPECT_EQ(bgrx[15], 0xEE);
    uint8_t bgr[12];
    ASSERT_EQ(OrvUtilBufferBayerToRGB(info, bgr, sizeof bgr), 0);
    EXPECT_EQ(bgr[5], 200);

    uint8_t mono16[4] = {0xFF, 0x03, 0x00, 0x02};  // Mono10: 1023, 512
    info.pixels = mono16;
    info.width = 2;
    info.height = 1;
    info.pixelType = 0x102;
    uint8_t eight[2];
    ASSERT_EQ(OrvUtilBuffer16BitTo8Bit(info, eight, 2), 0);
    EXPECT_EQ(eight[0], 255);
    EXPECT_EQ(eight[1], 128);
    info.pixelType |= uint64_t(1) << 32;  // unknown second word
    EXPECT_EQ(OrvUtilBuffer16BitTo8Bit(info, eight, 2), -1009);

    info.pixels = pixels;
    info.width = 2;
    info.height = 2;
    info.pixelType = SimPixelFormat::Mono8;
    const std::string png = folder.path() + "/image.png";
    ASSERT_EQ(OrvUtilSaveImageToPNGFile(&info, png.c_str()), 0);
    EXPECT_EQ(readFile(png).substr(1, 3), "PNG");
    const std::string raw = folder.path() + "/image.raw";
    ASSERT_EQ(OrvUtilSaveImageToFile(&info, raw.c_str(), 2), 0);
    EXPECT_EQ(readFile(raw), std::string(reinterpret_cast<char*>(pixels), 4));
    EXPECT_EQ(OrvUtilSaveImageToFile(nullptr, raw.c_str(), 2), -1006);
}

TEST_F(SdkTest, StreamControlsRefuseMalformedCommands)
{
    char reply[512];
    for (const char* cmd : {"stream.pattern GEV-G1-0001 Sparkles", "stream.pattern GEV-G1-0001 Flat value=x",
                            "stream.drop GEV-G1-0001", "stream.dsinfo GEV-G1-0001 maybe", "stream.manual NOPE on",
                            "stream.pixeltype GEV-G1-0001 raw", "file.fail GEV-G1-0001 Userfile chew 1",
                            "file.rate GEV-G2-0002 100", "event.fire remote:GEV-G1-0001 4 1", "event.fire GEV-G1-0001 4"}) {
        size_t size = sizeof reply;
        EXPECT_EQ(OrvSimControl(cmd, reply, &size), -1006) << cmd;
    }
    control("stream.pattern GEV-G1-0001 DefectField hot=1,2 dead=3,4 noise=0");
    control("stream.pattern GEV-G1-0001 ColourChart cast=0,0,1,0,1,0,1,0,0");
}

namespace {

class LiveTest : public SdkTest {
protected:
    void SetUp() override
    {
        SdkTest::SetUp();
        cam = openG1();
        stream = openStream(cam.device);
    }
    ORV_FEATURE_HANDLE feature(uint32_t module, const char* name)
    {
        ORV_FEATURE_HANDLE h = 0;
        EXPECT_EQ(OrvFeatureGetByName(module, name, &h), 0) << name;
        return h;
    }
    void execute(const char* name) { ASSERT_EQ(OrvFeatureCommandExecute(cam.remote, feature(cam.remote, name), 2000, false), 0) << name; }
    void setEnum(const char* name, const char* entry)
    {
        ASSERT_EQ(OrvFeatureSetValueEnum(cam.remote, feature(cam.remote, name), entry, true), 0) << name << "=" << entry;
    }
    void startStream(int count = 5)
    {
        ORV_DS_INFO ds{};
        ASSERT_EQ(OrvStreamGetInfo(stream, &ds), 0);
        for (int i = 0; i < count; ++i) {
            ORV_BUFFER_HANDLE h = 0;
            ASSERT_EQ(OrvStreamAllocAndAnnounceBuffer(stream, ds.payloadSize, &objects[i], &h), 0);
            ASSERT_EQ(OrvStreamQueueBuffer(stream, h), 0);
        }
        ASSERT_EQ(OrvStreamAcquisitionStart(stream, 0, ~0ull), 0);
    }
    ORV_BUFFER_INFO next(int expect = 0)
    {
        void* user = nullptr;
        ORV_BUFFER_HANDLE h = 0;
        ORV_BUFFER_INFO info{};
        EXPECT_EQ(OrvStreamWaitForNewBuffer(stream, &user, &h, 3000), expect);
        if (expect == 0) {
            EXPECT_EQ(OrvStreamBufferGetInfo(stream, h, &info), 0);
            EXPECT_EQ(OrvStreamQueueBuffer(stream, h), 0);
        }
        return info;
    }
    void TearDown() override
    {
        if (cam.remote)
            OrvFeatureCommandExecute(cam.remote, feature(cam.remote, "AcquisitionStop"), 2000, false);
        SdkTest::TearDown();
    }
    Camera cam;
    ORV_STREAM_HANDLE stream = 0;
    int objects[5] = {};
};

} // namespace

TEST_F(LiveTest, AcquisitionCommandsDriveTheStream)
{
    control("stream.manual GEV-G1-0001 on");
    startStream();
    control("stream.frame GEV-G1-0001 2");  // camera not acquiring yet: nothing
    void* user;
    ORV_BUFFER_HANDLE h;
    EXPECT_EQ(OrvStreamWaitForNewBuffer(stream, &user, &h, 100), -1011);
    execute("AcquisitionStart");
    control("stream.frame GEV-G1-0001 3");
    for (uint64_t id = 1; id <= 3; ++id) {
        const ORV_BUFFER_INFO info = next();
        EXPECT_EQ(info.imageId, id);
        EXPECT_EQ(info.width, 1280u);
        EXPECT_EQ(info.height, 1024u);
        EXPECT_EQ(info.size, 1280u * 1024u);
        EXPECT_EQ(info.pixelType, 0x101u);
    }
    execute("AcquisitionStop");
    control("stream.frame GEV-G1-0001 1");
    EXPECT_EQ(OrvStreamWaitForNewBuffer(stream, &user, &h, 100), -1011);
}

TEST_F(LiveTest, PixelFormatAndSizeFollowTheFeatures)
{
    control("stream.manual GEV-G1-0001 on");
    ASSERT_EQ(OrvFeatureSetValueInt64(cam.remote, feature(cam.remote, "Width"), 640, false), 0);
    setEnum("PixelFormat", "Mono12Packed");
    int64_t payload = 0;
    ASSERT_EQ(OrvFeatureGetValueInt64(stream, feature(stream, "PayloadSize"), &payload, false, false), 0);
    EXPECT_EQ(payload, 640 * 1024 * 3 / 2);
    startStream();
    execute("AcquisitionStart");
    control("stream.frame GEV-G1-0001");
    const ORV_BUFFER_INFO info = next();
    EXPECT_EQ(info.width, 640u);
    EXPECT_EQ(info.pixelType, uint64_t(SimPixelFormat::Mono12Packed));
    EXPECT_EQ(info.size, uint32_t(payload));

    // Converting it for display as the viewer does.
    std::vector<uint8_t> eight(640 * 1024), sixteen(640 * 1024 * 2);
    EXPECT_EQ(OrvUtilBuffer12BitTo8Bit(info, eight.data(), uint32_t(eight.size())), 0);
    EXPECT_EQ(OrvUtilBuffer12BitTo16Bit(info, sixteen.data(), uint32_t(sixteen.size())), 0);
    EXPECT_EQ(eight[7 * 640 + 5], 255);  // planted hot pixel
}

TEST_F(LiveTest, SoftwareTriggerAndLossCounters)
{
    setEnum("TriggerMode", "On");
    startStream();
    execute("AcquisitionStart");
    void* user;
    ORV_BUFFER_HANDLE h;
    EXPECT_EQ(OrvStreamWaitForNewBuffer(stream, &user, &h, 150), -1011);
    execute("TriggerSoftware");
    EXPECT_EQ(next().imageId, 1u);
    control("stream.drop GEV-G1-0001 2");
    execute("TriggerSoftware");
    execute("TriggerSoftware");
    execute("TriggerSoftware");
    EXPECT_EQ(next().imageId, 4u);
    int64_t lost = -1;
    ASSERT_EQ(OrvFeatureGetValueInt64(stream, feature(stream, "StreamLostFrameCount"), &lost, false, false), 0);
    EXPECT_EQ(lost, 0);
    ORV_FEATURE_HANDLE frameLoss = 0;
    EXPECT_EQ(OrvFeatureGetByName(stream, "FrameLoss", &frameLoss), -1009);  // G1 has none
}

TEST_F(LiveTest, UnplugEndsTheStreamAndSendsTheConnectionEvent)
{
    ORV_EVENT_HANDLE conn = 0;
    ASSERT_EQ(OrvEventRegister(cam.device, 4000, &conn), 0);
    startStream();
    EXPECT_EQ(simtest::waitEndedBy(
                  [this] {
                      void* user;
                      ORV_BUFFER_HANDLE h;
                      return OrvStreamWaitForNewBuffer(stream, &user, &h, 60000);
                  },
                  [this] { control("device.unplug GEV-G1-0001"); }),
              -1012);
    ORV_EVENT_DEVICE_CONNECTION_DATA c{};
    size_t size = sizeof c;
    ASSERT_EQ(OrvEventWait(cam.device, conn, &c, &size, 1000), 0);
    EXPECT_EQ(c.connectionState, 0u);
    ASSERT_EQ(OrvEventKill(cam.device, conn), 0);
    ASSERT_EQ(OrvEventUnRegister(cam.device, 4000), 0);
    ASSERT_EQ(OrvStreamClose(stream), 0);
    control("device.replug GEV-G1-0001");
}

TEST_F(LiveTest, LookUpTableAndDefectCorrectionShowInTheImage)
{
    control("stream.manual GEV-G1-0001 on");
    setEnum("PixelFormat", "Mono12");
    startStream();
    execute("AcquisitionStart");
    control("stream.pattern GEV-G1-0001 Flat value=50");
    control("stream.frame GEV-G1-0001");
    ORV_BUFFER_INFO info = next();
    auto pixel = [&](uint32_t x, uint32_t y) {
        const uint8_t* p = static_cast<const uint8_t*>(info.pixels) + (size_t(y) * info.width + x) * 2;
        return uint32_t(p[0] | (p[1] << 8));
    };
    const uint32_t flat = pixel(10, 10);
    EXPECT_EQ(flat, 803u);  // 50 of 255, in twelve bits

    // The LUT maps that level elsewhere once enabled.
    ASSERT_EQ(OrvFeatureSetValueInt64(cam.remote, feature(cam.remote, "LUTIndex"), flat, false), 0);
    ASSERT_EQ(OrvFeatureSetValueInt64(cam.remote, feature(cam.remote, "LUTValue"), 4000, false), 0);
    ASSERT_EQ(OrvFeatureSetValueBool(cam.remote, feature(cam.remote, "LUTEnable"), true, false), 0);
    control("stream.frame GEV-G1-0001");
    info = next();
    EXPECT_EQ(pixel(10, 10), 4000u);
    ASSERT_EQ(OrvFeatureSetValueBool(cam.remote, feature(cam.remote, "LUTEnable"), false, false), 0);

    // Planted defects, then corrected with the factory map.
    control("stream.pattern GEV-G1-0001 DefectField");
    control("stream.frame GEV-G1-0001");
    info = next();
    EXPECT_EQ(pixel(5, 7), 4095u);
    EXPECT_EQ(pixel(100, 200), 0u);
    ASSERT_EQ(OrvFeatureSetValueInt64(cam.remote, feature(cam.remote, "DefectPixelCorrectionEnable_Control"), 1, false), 0);
    control("stream.frame GEV-G1-0001");
    info = next();
    EXPECT_EQ(pixel(5, 7), pixel(4, 7));
    EXPECT_EQ(pixel(100, 200), pixel(99, 200));
}

TEST_F(LiveTest, TestPatternSelectsTheImageAfterTheTestControlsPattern)
{
    control("stream.manual GEV-G1-0001 on");
    setEnum("PixelFormat", "Mono8");
    startStream();
    execute("AcquisitionStart");
    auto pattern = [&] {
        char text[64] = {};
        EXPECT_EQ(OrvFeatureGetValueEnum(cam.remote, feature(cam.remote, "TestPattern"), text, sizeof text, true, false), 0);
        return std::string(text);
    };
    // One row: the first, the middle and the last pixel.
    auto frame = [&] {
        control("stream.frame GEV-G1-0001");
        const ORV_BUFFER_INFO info = next();
        const uint8_t* p = static_cast<const uint8_t*>(info.pixels);
        return std::vector<int>{p[0], p[info.width / 2], p[info.width - 1]};
    };

    control("stream.pattern GEV-G1-0001 Flat value=50");
    EXPECT_EQ(pattern(), "Flat");
    EXPECT_EQ(frame(), (std::vector<int>{50, 50, 50}));

    // The operator's choice wins over the test control's, and its flat level stays.
    setEnum("TestPattern", "GreyRamp");
    std::vector<int> ramp = frame();
    EXPECT_EQ(ramp.front(), 0);
    EXPECT_EQ(ramp.back(), 255);
    setEnum("TestPattern", "Flat");
    EXPECT_EQ(frame(), (std::vector<int>{50, 50, 50}));

    // "camera" keeps the feature's pattern and changes only the content.
    control("stream.pattern GEV-G1-0001 camera value=80");
    EXPECT_EQ(pattern(), "Flat");
    EXPECT_EQ(frame(), (std::vector<int>{80, 80, 80}));

    // A camera without the feature still takes the test control's pattern.
    control("feature.absent remote:GEV-G1-0001 TestPattern");
    control("stream.pattern GEV-G1-0001 GreyRamp");
    ramp = frame();
    EXPECT_EQ(ramp.front(), 0);
    EXPECT_EQ(ramp.back(), 255);
}

TEST_F(LiveTest, FreeSpaceFollowsTheStoreSize)
{
    control("file.rate GEV-G1-0001 1000000000");
    const ORV_FEATURE_HANDLE freeSize = feature(cam.remote, "FilesystemFreeSize");
    auto freeBytes = [&] {
        int64_t value = -1;
        EXPECT_EQ(OrvFeatureGetValueInt64(cam.remote, freeSize, &value, true, true), 0);
        return value;
    };
    EXPECT_EQ(freeBytes(), 1024 * 1024 - 1636);
    control("file.free GEV-G1-0001 5000");
    EXPECT_EQ(freeBytes(), 5000);

    const std::string upload = folder.path() + "/mine.bin";
    std::ofstream(upload, std::ios::binary) << std::string(1000, 'x');
    int64_t transfer = 0;
    ASSERT_EQ(OrvDeviceLoadFile(cam.device, "mine.bin", upload.c_str(), "Userfile", &transfer), 0);
    EXPECT_EQ(freeBytes(), 4000);
    std::ofstream(upload, std::ios::binary) << std::string(4001, 'y');
    EXPECT_EQ(OrvDeviceLoadFile(cam.device, "big.bin", upload.c_str(), "Userfile", &transfer), -1010);
    EXPECT_EQ(freeBytes(), 4000);
    control("file.free GEV-G1-0001 0");
    EXPECT_EQ(freeBytes(), 0);
}

TEST_F(LiveTest, FileFeaturesUserSetFileAndFirmwareAfterReset)
{
    control("file.rate GEV-G1-0001 1000000000");
    const std::string upload = folder.path() + "/mine.bin";
    std::ofstream(upload, std::ios::binary) << std::string(1000, 'x');
    int64_t transfer = 0;
    ASSERT_EQ(OrvDeviceLoadFile(cam.device, "mine.bin", upload.c_str(), "Userfile", &transfer), 0);
    setEnum("FileSelector", "Userfile");
    int64_t count = 0, free = 0;
    ASSERT_EQ(OrvFeatureGetValueInt64(cam.remote, feature(cam.remote, "FilenameCount"), &count, true, true), 0);
    EXPECT_EQ(count, 3);
    ASSERT_EQ(OrvFeatureGetValueInt64(cam.remote, feature(cam.remote, "FilesystemFreeSize"), &free, true, true), 0);
    EXPECT_EQ(free, 1024 * 1024 - 1636 - 1000);
    ASSERT_EQ(OrvFeatureSetValueInt64(cam.remote, feature(cam.remote, "FilenameIndex"), 1, false), 0);
    char name[512] = {};
    ASSERT_EQ(OrvFeatureGetValueString(cam.remote, feature(cam.remote, "Filename"), name, sizeof name, false, false), 0);
    EXPECT_STREQ(name, "mine.bin");

    // The user set as a file: read, refused when foreign, replaced when valid.
    const std::string local = folder.path() + "/set.txt";
    ASSERT_EQ(OrvDeviceSaveFile(cam.device, local.c_str(), "", "UserSet1", &transfer), 0);
    const std::string set = readFile(local);
    EXPECT_EQ(set.rfind("# Quillan camera settings 1\n# model=", 0), 0u) << set.substr(0, 80);
    std::ofstream(upload, std::ios::binary) << "SoftwarePolling 1.0";
    EXPECT_EQ(OrvDeviceLoadFile(cam.device, "mine.bin", upload.c_str(), "UserSet1", &transfer), -1010);
    std::ofstream(local, std::ios::binary | std::ios::app) << "Gain=3\n";
    ASSERT_EQ(OrvDeviceLoadFile(cam.device, "set.txt", local.c_str(), "UserSet1", &transfer), 0);
    ASSERT_EQ(OrvDeviceSaveFile(cam.device, local.c_str(), "", "UserSet1", &transfer), 0);
    EXPECT_NE(readFile(local).find("Gain=3"), std::string::npos);

    // A firmware upload shows after the camera's reset.
    const std::string firmware = folder.path() + "/camera.ge3";
    std::ofstream(firmware, std::ios::binary) << "version=9.9.9\n";
    ASSERT_EQ(OrvDeviceLoadFile(cam.device, "camera.ge3", firmware.c_str(), "Firmware", &transfer), 0);
    // Looked up first: 10 ms after the reset the camera is gone for a while.
    const ORV_FEATURE_HANDLE version = feature(cam.remote, "DeviceFirmwareVersion");
    control("device.reset.timing GEV-G1-0001 10 40");
    execute("DeviceReset");
    std::string state;
    for (int i = 0; i < 100 && state != "9.9.9"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        char text[512] = {};
        if (OrvFeatureGetValueString(cam.remote, version, text, sizeof text, false, false) == 0)
            state = text;
    }
    EXPECT_EQ(state, "9.9.9");
}

TEST_F(SdkTest, SequencerAndTriggerSendRemoteDeviceEvents)
{
    const Camera g7 = open("orv_gev_tl.cti", "gev-if-1", "GEV-G7-0007");
    ORV_EVENT_HANDLE ev = 0;
    ASSERT_EQ(OrvEventRegister(g7.device, 4, &ev), 0);
    ORV_FEATURE_HANDLE seq = 0;
    ASSERT_EQ(OrvFeatureGetByName(g7.remote, "SeqTrigger", &seq), 0);
    ASSERT_EQ(OrvFeatureCommandExecute(g7.remote, seq, 2000, false), 0);
    ORV_EVENT_REMOTE_DEVICE_DATA r{};
    size_t size = sizeof r;
    ASSERT_EQ(OrvEventWait(g7.device, ev, &r, &size, 1000), 0);
    EXPECT_EQ(r.eventId[0], 0x90);
    EXPECT_EQ(r.eventId[1], 0x00);
}
