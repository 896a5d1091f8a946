// The library as a host loads it, against a GigE Vision camera simulator
// from another project (arv-fake-gv-camera-0.8, listening on 127.0.0.1).
#include "Pellago.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "CameraSimulator.h"
#include "GvspSender.h"

#include <QXmlStreamReader>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kLoopback = 0x7F000001;
constexpr uint16_t kGvcpPort = 3956;

// A plain UDP socket of the test's own, for discovery and a second controller.
class PlainSocket {
public:
    PlainSocket()
    {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(kLoopback);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    ~PlainSocket() { ::close(fd_); }

    // Sends a command to the camera; the reply, or nothing within `ms`.
    Bytes exchange(const Bytes& command, int ms)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(kLoopback);
        to.sin_port = htons(kGvcpPort);
        ::sendto(fd_, command.data(), command.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0)
            return {};
        uint8_t buffer[1024];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        return n > 0 ? Bytes(buffer, buffer + n) : Bytes{};
    }

private:
    int fd_ = -1;
};

Bytes discoveryCommand(uint16_t id)
{
    return {0x42, 0x11, 0x00, 0x02, 0x00, 0x00, uint8_t(id >> 8), uint8_t(id)};
}

Bytes writeRegisterCommand(uint16_t id, uint32_t address, uint32_t value)
{
    Bytes b = {0x42, 0x01, 0x00, 0x82, 0x00, 0x08, uint8_t(id >> 8), uint8_t(id)};
    for (uint32_t w : {address, value})
        for (int s = 24; s >= 0; s -= 8)
            b.push_back(uint8_t(w >> s));
    return b;
}

// Runs the simulator for the life of the object; stopped by its process id.
class Simulator {
public:
    // `lossPerThousand`: GVSP packets the simulator drops on purpose.
    explicit Simulator(int lossPerThousand = 0) : pid_(gvsp::startCameraSimulator(lossPerThousand)) {}
    ~Simulator() { gvsp::stopCameraSimulator(pid_); }

    // Waits until the camera answers discovery; its answer, or nothing.
    Bytes discover()
    {
        PlainSocket s;
        for (int i = 0; i < 100; ++i) {
            Bytes reply = s.exchange(discoveryCommand(uint16_t(i + 1)), 100);
            if (reply.size() >= 8 + 40)
                return reply;
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
        }
        return {};
    }

private:
    pid_t pid_ = -1;
};

// The library's exports, taken by name as a host does.
struct Library {
    void* handle = nullptr;
    decltype(&::openCamera) openCamera = nullptr;
    decltype(&::closeCamera) closeCamera = nullptr;
    decltype(&::GVCPTransport) transport = nullptr;
    decltype(&::GVCPTransportEx) transportEx = nullptr;
    decltype(&::getErrorMessage) errorMessage = nullptr;
    decltype(&::addStream) addStream = nullptr;
    decltype(&::closeStream) closeStream = nullptr;

    Library()
    {
        handle = ::dlopen(SUITE_BIN_DIR "/libPellago.so", RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return;
        openCamera = reinterpret_cast<decltype(openCamera)>(::dlsym(handle, "openCamera"));
        closeCamera = reinterpret_cast<decltype(closeCamera)>(::dlsym(handle, "closeCamera"));
        transport = reinterpret_cast<decltype(transport)>(::dlsym(handle, "GVCPTransport"));
        transportEx = reinterpret_cast<decltype(transportEx)>(::dlsym(handle, "GVCPTransportEx"));
        errorMessage = reinterpret_cast<decltype(errorMessage)>(::dlsym(handle, "getErrorMessage"));
        addStream = reinterpret_cast<decltype(addStream)>(::dlsym(handle, "addStream"));
        closeStream = reinterpret_cast<decltype(closeStream)>(::dlsym(handle, "closeStream"));
    }
    ~Library()
    {
        if (handle)
            ::dlclose(handle);
    }
    bool complete() const
    {
        return openCamera && closeCamera && transport && transportEx && errorMessage && addStream && closeStream;
    }
};

uint32_t be32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

Bytes be(std::initializer_list<uint32_t> values)
{
    Bytes b;
    for (uint32_t w : values)
        for (int s = 24; s >= 0; s -= 8)
            b.push_back(uint8_t(w >> s));
    return b;
}

// What the stream callback got: each frame checked against the simulator's
// ramp (pixel = x + y + block id, mod 255) while its buffer is still the
// host's to read.
struct Delivered {
    int32_t type;
    uint32_t blockId;
    bool exact;
    uint32_t lostFrames;
    std::chrono::steady_clock::time_point at;
};

struct StreamSink {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<Delivered> frames;
    uint32_t width = 0, height = 0;

    static int32_t callback(const OrvGigETL_SIGNAL* s, void* context)
    {
        auto* self = static_cast<StreamSink*>(context);
        if (s->type != OrvGigETL_SIGNAL_FRAME_COMPLETED && s->type != OrvGigETL_SIGNAL_FRAME_ABANDONED)
            return 0;
        const auto* r = static_cast<const ImageRecord*>(s->data);
        const bool exact = s->type == OrvGigETL_SIGNAL_FRAME_COMPLETED && r->frameData
                           && r->frameSize == self->width * self->height
                           && gvsp::isPattern(static_cast<const uint8_t*>(r->frameData), self->width, self->height,
                                              static_cast<uint16_t>(r->blockId), 255);
        std::lock_guard<std::mutex> hold(self->lock);
        self->frames.push_back({s->type, r->blockId, exact, r->lostFrames, std::chrono::steady_clock::now()});
        self->changed.notify_all();
        return 0;
    }
    size_t count()
    {
        std::lock_guard<std::mutex> hold(lock);
        return frames.size();
    }
};

uint16_t nextBlockId(uint32_t id)
{
    return id == 65535 ? 1 : uint16_t(id + 1);
}

class FakeCamera : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!gvsp::cameraSimulatorInstalled())
            GTEST_SKIP() << gvsp::kCameraSimulator << " is not installed (Debian package aravis-tools)";
        ASSERT_TRUE(lib.complete()) << ::dlerror();
        simulator = std::make_unique<Simulator>(lossPerThousand());
        const Bytes discovery = simulator->discover();
        ASSERT_GE(discovery.size(), 48u) << "the simulator did not answer discovery";
        ASSERT_EQ(discovery[3], 0x03);  // DISCOVERY_ACK
        cameraIp = be32(discovery.data() + 8 + 36);
        ASSERT_EQ(lib.openCamera(&camera, cameraIp, kGvcpPort), 0);
    }
    void TearDown() override
    {
        if (camera) {
            EXPECT_EQ(lib.closeCamera(camera), 0);
        }
    }

    int readRegister(uint32_t address, uint32_t* value)
    {
        const Bytes request = be({address});
        uint8_t ack[4] = {};
        const int result = lib.transport(camera, OrvGigETL_READREG_CMD, 4, request.data(), 4, ack);
        *value = be32(ack);
        return result;
    }
    int writeRegister(uint32_t address, uint32_t value)
    {
        const Bytes request = be({address, value});
        uint8_t ack[4] = {};
        return lib.transport(camera, OrvGigETL_WRITEREG_CMD, 8, request.data(), 4, ack);
    }
    int readMemory(uint32_t address, uint32_t count, uint8_t* out)
    {
        const Bytes request = be({address, count});
        uint8_t ack[540] = {};
        const int result = lib.transport(camera, OrvGigETL_READMEM_CMD, 8, request.data(),
                                         int32_t(4 + count), ack);
        if (result == 0) {
            EXPECT_EQ(be32(ack), address);
            std::memcpy(out, ack + 4, count);
        }
        return result;
    }

    virtual int lossPerThousand() const { return 0; }

    // The description file the URL at 0x0200 names.
    std::string readXml()
    {
        uint8_t url[512];
        EXPECT_EQ(readMemory(0x0200, 512, url), 0);
        const std::string text(reinterpret_cast<char*>(url), strnlen(reinterpret_cast<char*>(url), 512));
        EXPECT_EQ(text.rfind("Local:", 0), 0u) << text;
        EXPECT_NE(text.find(".xml"), std::string::npos);
        const size_t a = text.find(';'), b = text.rfind(';');
        if (a == std::string::npos || a == b)
            return {};
        const uint32_t xmlAddress = uint32_t(std::stoul(text.substr(a + 1, b - a - 1), nullptr, 16));
        const uint32_t xmlSize = uint32_t(std::stoul(text.substr(b + 1), nullptr, 16));
        EXPECT_GT(xmlSize, 1000u);
        std::string xml;
        for (uint32_t done = 0; done < xmlSize;) {
            const uint32_t chunk = std::min<uint32_t>(536, (xmlSize - done + 3) & ~3u);
            uint8_t part[536];
            if (readMemory(xmlAddress + done, chunk, part) != 0) {
                ADD_FAILURE() << "READMEM at " << done;
                return {};
            }
            xml.append(reinterpret_cast<char*>(part), std::min(chunk, xmlSize - done));
            done += chunk;
        }
        xml.resize(strnlen(xml.c_str(), xml.size()));
        return xml;
    }

    // The address of the register behind feature `name` (a `kind` element
    // whose pValue is an IntReg); 0 when the description has none.
    static uint32_t registerAddress(const std::string& xml, const std::string& kind, const std::string& name)
    {
        const auto after = [&](const std::string& key, size_t from) {
            const size_t at = xml.find(key, from);
            return at == std::string::npos ? at : at + key.size();
        };
        const size_t feature = after("<" + kind + " Name=\"" + name + "\"", 0);
        if (feature == std::string::npos)
            return 0;
        const size_t valueAt = after("<pValue>", feature);
        const std::string node = xml.substr(valueAt, xml.find('<', valueAt) - valueAt);
        const size_t regAt = after("<IntReg Name=\"" + node + "\"", 0);
        if (regAt == std::string::npos)
            return 0;
        return uint32_t(std::stoul(xml.substr(after("<Address>", regAt)), nullptr, 0));
    }

    // Takes control and sets the frame period; the sink learns the image
    // size. The register that starts and stops acquisition, or 0.
    uint32_t prepareCamera(uint32_t periodUs, StreamSink& sink)
    {
        const std::string xml = readXml();
        const uint32_t widthRegister = registerAddress(xml, "Integer", "Width");
        const uint32_t heightRegister = registerAddress(xml, "Integer", "Height");
        const uint32_t formatRegister = registerAddress(xml, "Enumeration", "PixelFormat");
        const uint32_t periodRegister = registerAddress(xml, "Integer", "AcquisitionFramePeriod");
        const uint32_t acquisitionRegister = registerAddress(xml, "Command", "AcquisitionStart");
        EXPECT_TRUE(widthRegister && heightRegister && formatRegister && periodRegister && acquisitionRegister);
        if (!(widthRegister && heightRegister && formatRegister && periodRegister))
            return 0;
        EXPECT_EQ(writeRegister(0x0A00, 2), 0);
        uint32_t format = 0;
        EXPECT_EQ(readRegister(widthRegister, &sink.width), 0);
        EXPECT_EQ(readRegister(heightRegister, &sink.height), 0);
        EXPECT_EQ(readRegister(formatRegister, &format), 0);
        EXPECT_EQ(format, 0x01080001u);  // Mono8
        EXPECT_EQ(writeRegister(periodRegister, periodUs), 0);
        return acquisitionRegister;
    }

    // A unicast stream on 127.0.0.1 for the sink's images; null on failure.
    void* addStreamFor(StreamSink& sink, uint16_t* port)
    {
        const uint32_t host = kLoopback;
        *port = 0;
        void* stream = nullptr;
        EXPECT_EQ(lib.addStream(camera, &stream, &host, port, int32_t(sink.width * sink.height), 16, 1500, 0,
                                &StreamSink::callback, &sink),
                  0);
        return stream;
    }

    void startAcquisition(uint32_t acquisitionRegister, uint16_t port)
    {
        EXPECT_EQ(writeRegister(0x0D00, port), 0);        // stream channel port
        EXPECT_EQ(writeRegister(0x0D04, 1500), 0);        // packet size
        EXPECT_EQ(writeRegister(0x0D18, kLoopback), 0);   // destination
        EXPECT_EQ(writeRegister(acquisitionRegister, 1), 0);
    }

    // Waits until the sink has `images` frames, keeping control meanwhile.
    void waitForImages(StreamSink& sink, size_t images, int seconds)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        uint32_t value = 0;
        while (sink.count() < images && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            readRegister(0x0A00, &value);
        }
    }

    // Streams `images` frames from the simulator to a unicast stream on
    // 127.0.0.1, sized by the registers its description names.
    void streamImages(size_t images, uint32_t periodUs, StreamSink& sink)
    {
        const uint32_t acquisitionRegister = prepareCamera(periodUs, sink);
        ASSERT_NE(acquisitionRegister, 0u);
        uint16_t port = 0;
        void* stream = addStreamFor(sink, &port);
        ASSERT_NE(stream, nullptr);
        startAcquisition(acquisitionRegister, port);
        waitForImages(sink, images, 30);
        EXPECT_EQ(writeRegister(acquisitionRegister, 0), 0);
        EXPECT_EQ(lib.closeStream(stream), 0);
        ASSERT_GE(sink.frames.size(), images);
    }

    void restartWhileStreaming(std::chrono::milliseconds startAfterStop);

    Library lib;
    std::unique_ptr<Simulator> simulator;
    uint32_t cameraIp = 0;
    void* camera = nullptr;
};

}  // namespace

TEST_F(FakeCamera, RegistersAndTheWholeDescriptionFile)
{
    EXPECT_EQ(cameraIp, kLoopback);
    uint32_t value = 0xFFFFFFFF;
    ASSERT_EQ(readRegister(0x0A00, &value), 0);  // control channel privilege
    EXPECT_EQ(value, 0u);
    ASSERT_EQ(readRegister(0x0938, &value), 0);  // heartbeat time-out
    EXPECT_GT(value, 0u);

    const std::string xml = readXml();
    EXPECT_EQ(xml.rfind("<?xml", 0), 0u);
    QXmlStreamReader reader(QByteArray::fromStdString(xml));
    int elements = 0;
    bool rootSeen = false;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement) {
            rootSeen = rootSeen || reader.name() == QLatin1String("RegisterDescription");
            ++elements;
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    EXPECT_TRUE(rootSeen);
    EXPECT_GT(elements, 100);

    // A register the description names: Width, written and read back.
    const uint32_t widthRegister = registerAddress(xml, "Integer", "Width");
    ASSERT_NE(widthRegister, 0u);
    ASSERT_EQ(writeRegister(0x0A00, 2), 0);
    ASSERT_EQ(writeRegister(widthRegister, 320), 0);
    ASSERT_EQ(readRegister(widthRegister, &value), 0);
    EXPECT_EQ(value, 320u);
}

TEST_F(FakeCamera, ControlIsKeptByHeartbeatAndLostAfterSilence)
{
    ASSERT_EQ(writeRegister(0x0A00, 2), 0);
    ASSERT_EQ(writeRegister(0x0938, 1200), 0);
    uint32_t value = 0;
    ASSERT_EQ(readRegister(0x0938, &value), 0);
    ASSERT_EQ(value, 1200u);

    // While the host reads every third of the time-out, a second controller
    // is refused: an error status, or (as this simulator does) no answer.
    PlainSocket other;
    for (int i = 0; i < 6; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        ASSERT_EQ(readRegister(0x0A00, &value), 0);
        EXPECT_EQ(value, 2u);
        if (i % 2 == 1) {
            const Bytes reply = other.exchange(writeRegisterCommand(uint16_t(i), 0x0A00, 2), 150);
            if (!reply.empty()) {
                EXPECT_EQ(reply[0] << 8 | reply[1], 0x8006);
            }
        }
    }

    // After a longer silence the other one takes control, and the host's
    // next write is no longer answered.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    const Bytes taken = other.exchange(writeRegisterCommand(100, 0x0A00, 2), 500);
    ASSERT_GE(taken.size(), 8u);
    EXPECT_EQ(taken[0] << 8 | taken[1], 0);
    EXPECT_EQ(writeRegister(0x0938, 3000), OrvGigETL_CAMERA_COMMUNICATION_TIMEOUT);
    EXPECT_STREQ(lib.errorMessage(OrvGigETL_CAMERA_COMMUNICATION_TIMEOUT), "OrvGigETL_CAMERA_COMMUNICATION_TIMEOUT");
}

TEST_F(FakeCamera, StreamedImagesAreWholeAndInOrderAcrossTheBlockIdWrap)
{
    StreamSink sink;
    streamImages(180, 10000, sink);
    ASSERT_FALSE(sink.frames.empty());
    bool wrapped = false;
    for (size_t i = 0; i < sink.frames.size(); ++i) {
        const Delivered& d = sink.frames[i];
        EXPECT_EQ(d.type, OrvGigETL_SIGNAL_FRAME_COMPLETED) << d.blockId;
        EXPECT_TRUE(d.exact) << d.blockId;
        EXPECT_EQ(d.lostFrames, 0u);
        if (i > 0) {
            EXPECT_EQ(d.blockId, nextBlockId(sink.frames[i - 1].blockId));
            wrapped = wrapped || (d.blockId == 1 && sink.frames[i - 1].blockId == 65535);
        }
    }
    EXPECT_TRUE(wrapped) << "first block id " << sink.frames.front().blockId;
}

// The simulator drops packets and ignores resends.
class LossyFakeCamera : public FakeCamera {
protected:
    int lossPerThousand() const override { return 10; }
};

TEST_F(LossyFakeCamera, EveryImageIsWholeAbandonedOrCountedLost)
{
    StreamSink sink;
    streamImages(60, 20000, sink);
    size_t completed = 0;
    for (size_t i = 0; i < sink.frames.size(); ++i) {
        const Delivered& d = sink.frames[i];
        if (d.type == OrvGigETL_SIGNAL_FRAME_COMPLETED) {
            EXPECT_TRUE(d.exact) << d.blockId;
            ++completed;
        } else {
            EXPECT_EQ(d.type, OrvGigETL_SIGNAL_FRAME_ABANDONED);
        }
        if (i == 0)
            continue;
        const Delivered& before = sink.frames[i - 1];
        if (d.blockId > before.blockId) {
            // Missing block ids and abandoned frames are counted lost.
            const uint32_t gap = d.blockId - before.blockId - 1;
            EXPECT_EQ(d.lostFrames - before.lostFrames, gap + (d.type == OrvGigETL_SIGNAL_FRAME_ABANDONED))
                << d.blockId;
        }
    }
    EXPECT_GT(completed, 0u);
}

// The simulator, started again while the host keeps its stream open, begins
// its block ids anew: the frames that use them again arrive all the same,
// whether they come after the frame time-out (1 s) or within it.
void FakeCamera::restartWhileStreaming(std::chrono::milliseconds startAfterStop)
{
    StreamSink sink;
    uint32_t acquisitionRegister = prepareCamera(20000, sink);
    ASSERT_NE(acquisitionRegister, 0u);
    uint16_t port = 0;
    void* stream = addStreamFor(sink, &port);
    ASSERT_NE(stream, nullptr);
    startAcquisition(acquisitionRegister, port);
    waitForImages(sink, 8, 10);
    EXPECT_EQ(writeRegister(acquisitionRegister, 0), 0);
    const auto stopped = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const size_t first = sink.count();
    ASSERT_GE(first, 8u);

    simulator.reset();
    simulator = std::make_unique<Simulator>();
    ASSERT_GE(simulator->discover().size(), 48u) << "the simulator did not start again";
    StreamSink again;  // the stream's sink stays the receive thread's to read
    acquisitionRegister = prepareCamera(20000, again);
    ASSERT_NE(acquisitionRegister, 0u);
    ASSERT_EQ(again.width * again.height, sink.width * sink.height);
    std::this_thread::sleep_until(stopped + startAfterStop);
    startAcquisition(acquisitionRegister, port);
    waitForImages(sink, first + 8, 10);
    EXPECT_EQ(writeRegister(acquisitionRegister, 0), 0);
    EXPECT_EQ(lib.closeStream(stream), 0);

    std::lock_guard<std::mutex> hold(sink.lock);
    ASSERT_GE(sink.frames.size(), first + 8);
    EXPECT_EQ(sink.frames[first].blockId, sink.frames[0].blockId) << "the ids were not used again";
    // Whether the ids came again within the frame time-out (1 s) is what the
    // two cases differ in.
    const auto reusedAfter = sink.frames[first].at - sink.frames[0].at;
    if (startAfterStop < std::chrono::seconds(1)) {
        EXPECT_LT(reusedAfter, std::chrono::seconds(1)) << "the restart came after the time-out";
    } else {
        EXPECT_GT(reusedAfter, std::chrono::seconds(1));
    }
    for (size_t i = 0; i < sink.frames.size(); ++i) {
        const Delivered& d = sink.frames[i];
        EXPECT_EQ(d.type, OrvGigETL_SIGNAL_FRAME_COMPLETED) << d.blockId;
        EXPECT_TRUE(d.exact) << d.blockId;
        EXPECT_EQ(d.lostFrames, 0u) << d.blockId;
        if (i > 0 && i != first) {
            EXPECT_EQ(d.blockId, nextBlockId(sink.frames[i - 1].blockId));
        }
    }
}

TEST_F(FakeCamera, StreamKeepsTheFramesOfACameraThatBeginsItsIdsAnew)
{
    restartWhileStreaming(std::chrono::milliseconds(1300));
}

TEST_F(FakeCamera, StreamKeepsTheFramesOfACameraThatBeginsItsIdsAnewAtOnce)
{
    restartWhileStreaming(std::chrono::milliseconds(0));
}
