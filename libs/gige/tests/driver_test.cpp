// The user-space driver behind the library, fed by our GVSP sender on
// loopback: what reaches the stream callback for whole, reordered,
// repeated, lossy, oversized and foreign images.
#include "GvspSender.h"
#include "PellagoTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <random>
#include <regex>

using namespace pellagotest;

namespace {

struct Got {
    int32_t type;
    uint32_t blockId;
    bool exact;
    bool hasData;
    uint32_t size;
    uint32_t lostFrames;
    uint32_t resent;
    int mark = -1;           // of the send the image is whole of (markSends)
    uint64_t timestamp = 0;
};

// What a host sees: frames checked against the pattern in the callback.
struct Frames {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<Got> got;
    std::vector<Got> starts;                // start-of-transfer signals
    std::vector<size_t> framesBeforeStart;  // frames delivered before each
    uint32_t width = 0, height = 0;
    bool marked = false;  // images carry the mark of their send

    static int32_t callback(const OrvGigETL_SIGNAL* s, void* context)
    {
        auto* self = static_cast<Frames*>(context);
        if (s->type == OrvGigETL_SIGNAL_START_OF_TRANSFER) {
            const auto* r = static_cast<const ImageRecord*>(s->data);
            std::lock_guard<std::mutex> hold(self->lock);
            self->starts.push_back({s->type, r->blockId, false, r->frameData != nullptr, r->frameSize, 0, 0});
            self->framesBeforeStart.push_back(self->got.size());
            return 0;
        }
        if (s->type != OrvGigETL_SIGNAL_FRAME_COMPLETED && s->type != OrvGigETL_SIGNAL_FRAME_ABANDONED)
            return 0;
        const auto* r = static_cast<const ImageRecord*>(s->data);
        const auto* data = static_cast<const uint8_t*>(r->frameData);
        const bool whole = data && r->frameSize == self->width * self->height;
        const auto id = static_cast<uint16_t>(r->blockId);
        const int mark = whole && self->marked ? gvsp::markOf(data, self->width, self->height, id) : -1;
        const bool exact = self->marked ? mark >= 0 : whole && gvsp::isPattern(data, self->width, self->height, id);
        std::lock_guard<std::mutex> hold(self->lock);
        self->got.push_back({s->type, r->blockId, exact, r->frameData != nullptr, r->frameSize, r->lostFrames,
                             r->resentPackets, mark, r->cameraTimestamp});
        self->changed.notify_all();
        return 0;
    }
    std::vector<Got> waitFor(size_t count, int ms = 5000)
    {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait_for(hold, std::chrono::milliseconds(ms), [&] { return got.size() >= count; });
        return got;
    }
};

class Driver : public ::testing::Test {
protected:
    void start(const gvsp::Sender::Options& options, int32_t bufferSize = -1, int32_t bufferCount = 4,
               int32_t driverParameter = 0)
    {
        sender = std::make_unique<gvsp::Sender>(options);
        frames.width = options.width;
        frames.height = options.height;
        frames.marked = options.markSends;
        ASSERT_EQ(openCamera(&camera, kLoopback, sender->controlPort()), 0);
        ASSERT_EQ(registerMessageCallback(camera, 4, nullptr, &LineSink::callback, &sink), 0);
        const uint32_t host = kLoopback;
        uint16_t port = 0;
        ASSERT_EQ(addStream(camera, &stream, &host, &port, bufferSize < 0 ? int32_t(sender->imageBytes()) : bufferSize,
                            bufferCount, int32_t(options.packetSize), driverParameter, &Frames::callback, &frames),
                  0);
        sender->setDestination(port);
        streamPort = port;
    }
    void TearDown() override { stop(); }
    // Closes the stream and the camera, so that a case can start anew.
    void stop()
    {
        if (stream) {
            EXPECT_EQ(closeStream(stream), 0);
        }
        if (camera) {
            EXPECT_EQ(closeCamera(camera), 0);
        }
        stream = camera = nullptr;
        frames.got.clear();
    }
    size_t linesWith(const std::string& text)
    {
        const std::vector<std::string> lines = sink.take();
        size_t n = 0;
        for (const std::string& line : lines)
            n += line.find(text) != std::string::npos;
        return n;
    }

    // A loaded machine may stall the sender mid-image or keep its resend
    // thread waiting: the driver takes a silent tail as lost, and asks
    // again, only after 200 ms.
    DriverPathScope driver{[] {
        gigefilter::DriverOptions options;
        options.resendRetryMs = 200;
        options.tailWaitMs = 200;
        return gigefilter::makeUserSpaceDriver(options);
    }};
    std::unique_ptr<gvsp::Sender> sender;
    void* camera = nullptr;
    void* stream = nullptr;
    uint16_t streamPort = 0;
    Frames frames;
    LineSink sink;
};

struct ImageCase {
    const char* name;
    bool honourResend;
    std::function<void(gvsp::Sender&, uint16_t)> send;
    int32_t type;
    bool resendExpected;
};

}  // namespace

TEST_F(Driver, ImagesReorderedRepeatedOrLostArriveWholeOrAreAbandoned)
{
    const uint16_t id = 5;
    const std::vector<ImageCase> cases = {
        {"in order", true, [](gvsp::Sender& s, uint16_t b) { s.sendImage(b); }, 1, false},
        {"reordered", true,
         [](gvsp::Sender& s, uint16_t b) {
             s.send(s.packet(b, 0));
             s.send(s.packet(b, 2));
             s.send(s.packet(b, 1));
             s.sendImage(b, [](uint32_t i) { return i < 3; });
         },
         1, false},
        {"repeated", true,
         [](gvsp::Sender& s, uint16_t b) {
             s.sendImage(b, [](uint32_t i) { return i >= 5; });
             s.send(s.packet(b, 3));
             s.sendImage(b, [](uint32_t i) { return i < 5; });
             s.send(s.packet(b, 3));
         },
         1, false},
        {"lost payload", true, [](gvsp::Sender& s, uint16_t b) { s.sendImage(b, [](uint32_t i) { return i == 3; }); },
         1, true},
        {"lost leader", true, [](gvsp::Sender& s, uint16_t b) { s.sendImage(b, [](uint32_t i) { return i == 0; }); },
         1, true},
        {"lost trailer", true,
         [](gvsp::Sender& s, uint16_t b) { s.sendImage(b, [&s](uint32_t i) { return i == s.dataPackets() + 1; }); },
         1, true},
        {"lost payload, no resend", false,
         [](gvsp::Sender& s, uint16_t b) { s.sendImage(b, [](uint32_t i) { return i == 3; }); }, 2, true},
    };
    for (const ImageCase& c : cases) {
        SCOPED_TRACE(c.name);
        gvsp::Sender::Options o;
        o.honourResend = c.honourResend;
        start(o);
        sink.take();
        c.send(*sender, id);
        const auto got = frames.waitFor(1);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].type, c.type);
        EXPECT_EQ(got[0].blockId, id);
        EXPECT_EQ(got[0].exact, c.type == 1);
        EXPECT_EQ(got[0].lostFrames, c.type == 1 ? 0u : 1u);
        EXPECT_EQ(sender->resendRequests() > 0, c.resendExpected);
        if (c.type == 1) {
            EXPECT_EQ(got[0].resent > 0, c.resendExpected);
        }
        if (!c.honourResend) {
            EXPECT_EQ(sender->resendRequests(), 3u);  // three requests, then given up
        }
        EXPECT_EQ(linesWith("ResendPacket for BlockID: 5") > 0, c.resendExpected);
        stop();
    }
}

TEST_F(Driver, ImageLargerThanItsBufferIsAbandonedUnwritten)
{
    gvsp::Sender::Options o;
    start(o, int32_t(o.width * o.height) - 100);
    sender->sendImage(7);
    sender->sendImage(8);
    const auto got = frames.waitFor(2);
    ASSERT_EQ(got.size(), 2u);
    for (const Got& g : got) {
        EXPECT_EQ(g.type, OrvGigETL_SIGNAL_FRAME_ABANDONED);
        EXPECT_LE(g.size, o.width * o.height - 100);
    }
}

TEST_F(Driver, FrameWithoutAFreeBufferIsAbandonedAndOrderIsKept)
{
    gvsp::Sender::Options o;
    o.width = 1024;
    o.height = 512;  // 512 KiB: one buffer is one slot
    o.packetSize = 1500;
    o.honourResend = false;
    start(o, int32_t(o.width * o.height), 1);
    sender->sendImage(10, [](uint32_t i) { return i == 4; });  // waits for a packet
    sender->sendImage(11);                                      // finds no buffer
    const auto got = frames.waitFor(2);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].blockId, 10u);
    EXPECT_EQ(got[0].type, OrvGigETL_SIGNAL_FRAME_ABANDONED);
    EXPECT_EQ(got[1].blockId, 11u);
    EXPECT_EQ(got[1].type, OrvGigETL_SIGNAL_FRAME_ABANDONED);
    EXPECT_FALSE(got[1].hasData);
    // The buffer came back: the next image is whole.
    sender->sendImage(12);
    const auto after = frames.waitFor(3);
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[2].type, OrvGigETL_SIGNAL_FRAME_COMPLETED);
    EXPECT_TRUE(after[2].exact);
}

TEST_F(Driver, PacketsFromAnotherSourceAreIgnored)
{
    gvsp::Sender::Options o;
    start(o);
    gvsp::Sender::Options foreign = o;
    foreign.sourceIp = 0x7F000002;  // 127.0.0.2
    gvsp::Sender other(foreign);
    other.setDestination(streamPort);
    other.sendImage(20);
    EXPECT_TRUE(frames.waitFor(1, 400).empty());
    sender->sendImage(21);
    const auto got = frames.waitFor(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].blockId, 21u);
    EXPECT_TRUE(got[0].exact);

    // A foreign packet in the middle of an image, with its block and
    // packet id, changes nothing.
    sender->send(sender->packet(22, 0));
    sender->send(sender->packet(22, 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    gvsp::Bytes stray = other.packet(22, 2);
    std::fill(stray.begin() + 8, stray.end(), 0xEE);
    other.send(stray);
    sender->sendImage(22, [](uint32_t i) { return i < 2; });
    const auto next = frames.waitFor(2);
    ASSERT_EQ(next.size(), 2u);
    EXPECT_EQ(next[1].blockId, 22u);
    EXPECT_TRUE(next[1].exact);
}

TEST_F(Driver, StreamOfLossyImagesRecoversEveryOne)
{
    gvsp::Sender::Options o;
    o.width = 640;
    o.height = 480;
    o.packetSize = 1500;
    o.lossPerThousand = 10;
    o.bytesPerSecond = 30000000;  // slow enough for a sanitizer build
    // Frames after one that waits for a resend wait too, in their buffers:
    // one buffer per image, however long a loaded machine keeps the resends.
    const int images = 40;
    start(o, int32_t(o.width * o.height), images);
    uint16_t id = 65520;  // across the wrap: 65535 is followed by 1
    for (int i = 0; i < images; ++i, id = id == 65535 ? 1 : uint16_t(id + 1))
        sender->sendImage(id);
    const auto got = frames.waitFor(images, 20000);
    ASSERT_EQ(got.size(), size_t(images));
    EXPECT_GT(sender->packetsLost(), 0u);
    for (const Got& g : got) {
        EXPECT_EQ(g.type, OrvGigETL_SIGNAL_FRAME_COMPLETED) << g.blockId;
        EXPECT_TRUE(g.exact) << g.blockId;
        EXPECT_EQ(g.lostFrames, 0u);
    }
}

TEST_F(Driver, OversizedPacketAbandonsItsImageAndAnOversizedDatagramIsIgnored)
{
    struct Case {
        const char* name;
        size_t bytes;  // of the datagram that stands for packet 2
        int32_t type;
    };
    gvsp::Sender::Options o;
    const Case cases[] = {
        {"one byte more than a packet", 8 + (o.packetSize - 36) + 1, OrvGigETL_SIGNAL_FRAME_ABANDONED},
        {"beyond any datagram", 10000, OrvGigETL_SIGNAL_FRAME_COMPLETED},
    };
    uint16_t id = 30;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start(o);
        // In order: the leader and packet 1, the big datagram, then every
        // other packet.
        sender->sendImage(id, [](uint32_t i) { return i >= 2; });
        gvsp::Bytes big = sender->packet(id, 2);
        big.resize(c.bytes, 0xEE);
        sender->send(big);
        for (uint32_t i = 2; i <= sender->dataPackets() + 1; ++i)
            sender->send(sender->packet(id, i));
        const auto got = frames.waitFor(1);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].type, c.type);
        EXPECT_EQ(got[0].exact, c.type == OrvGigETL_SIGNAL_FRAME_COMPLETED);
        EXPECT_EQ(frames.waitFor(2, 200).size(), 1u);  // the packets after it begin nothing
        stop();
        ++id;
    }
}

TEST_F(Driver, ImageThatFallsSilentIsAbandonedAtItsTimeOut)
{
    gvsp::Sender::Options o;
    o.honourResend = false;
    start(o, -1, 4, 100);  // the driver parameter: a time-out of 100 ms
    sender->sendImage(40, [&](uint32_t i) { return i == sender->dataPackets() + 1; });
    const auto got = frames.waitFor(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].type, OrvGigETL_SIGNAL_FRAME_ABANDONED);
    EXPECT_EQ(got[0].blockId, 40u);
    // Before the tail counted as lost (200 ms), so nothing was asked for.
    EXPECT_EQ(sender->resendRequests(), 0u);
}

TEST_F(Driver, LeaderGivesAStartOfTransferWithTheImageSize)
{
    gvsp::Sender::Options o;
    start(o);
    sender->sendImage(50);
    const auto got = frames.waitFor(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].type, OrvGigETL_SIGNAL_FRAME_COMPLETED);
    std::lock_guard<std::mutex> hold(frames.lock);
    ASSERT_EQ(frames.starts.size(), 1u);
    EXPECT_EQ(frames.starts[0].blockId, 50u);
    EXPECT_EQ(frames.starts[0].size, o.width * o.height);
    EXPECT_FALSE(frames.starts[0].hasData);
    EXPECT_EQ(frames.framesBeforeStart[0], 0u);
}

TEST_F(Driver, BlockIdsUsedAgainBeginNewFrames)
{
    struct Case {
        const char* name;
        std::vector<uint16_t> before;  // sent first, then a pause
        int pauseMs;
        std::vector<uint16_t> ids;     // 50 ms apart
        std::vector<uint32_t> lost;    // the count each frame of both carries
        uint32_t lastLostUnstamped;    // the last frame's, from a camera that stamps nothing
    };
    // Ids that come after the newest, or were given longer ago than the
    // frame time-out (1 s). Without timestamps, a gap to an id used within
    // the time-out (3 after 1) may be a restart: nothing is counted.
    const Case cases[] = {
        {"ids come round again", {65534, 65535, 1, 2}, 50, {65533, 65534, 65535, 1, 2}, {0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
        {"ids used a few frames earlier", {1, 3}, 50, {10, 15, 65535, 1, 3}, {0, 1, 7, 11, 11, 11, 12}, 11},
        {"ids begun anew after a pause", {5, 6, 7}, 1200, {5, 6, 7}, {0, 0, 0, 0, 0, 0}, 0},
    };
    for (const auto stamps : {gvsp::Sender::Options::Stamps::Each, gvsp::Sender::Options::Stamps::None})
    for (const Case& c : cases) {
        const bool stamped = stamps == gvsp::Sender::Options::Stamps::Each;
        SCOPED_TRACE(std::string(c.name) + (stamped ? ", stamped" : ", unstamped"));
        gvsp::Sender::Options o;
        o.stamps = stamps;
        start(o);
        std::vector<uint16_t> sent;
        for (uint16_t id : c.before) {
            sender->sendImage(id);
            sent.push_back(id);
        }
        ASSERT_EQ(frames.waitFor(sent.size()).size(), sent.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(c.pauseMs));
        for (uint16_t id : c.ids) {
            sender->sendImage(id);
            sent.push_back(id);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        const auto got = frames.waitFor(sent.size());
        ASSERT_EQ(got.size(), sent.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].blockId, sent[i]);
            EXPECT_EQ(got[i].type, OrvGigETL_SIGNAL_FRAME_COMPLETED) << sent[i];
            EXPECT_TRUE(got[i].exact) << sent[i];
            EXPECT_EQ(got[i].lostFrames, stamped || i + 1 < got.size() ? c.lost[i] : c.lastLostUnstamped)
                << sent[i];
        }
        // Late packets of frames just given are still ignored, and so are
        // stamped repeats.
        sender->send(sender->packet(c.ids.back(), 2));
        if (stamped)
            sender->repeatImage(c.ids[c.ids.size() - 2]);
        EXPECT_EQ(frames.waitFor(sent.size() + 1, 200).size(), sent.size());
        stop();
    }
}

namespace {

std::vector<uint16_t> idRange(uint16_t first, uint16_t last)
{
    std::vector<uint16_t> ids;
    for (uint32_t id = first; id <= last; ++id)
        ids.push_back(static_cast<uint16_t>(id));
    return ids;
}

void expectEachOnceWhole(const std::vector<Got>& got, const std::vector<uint16_t>& sent)
{
    ASSERT_EQ(got.size(), sent.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].blockId, sent[i]) << i;
        EXPECT_EQ(got[i].type, OrvGigETL_SIGNAL_FRAME_COMPLETED) << i;
        EXPECT_TRUE(got[i].exact) << i;
        EXPECT_EQ(got[i].lostFrames, 0u) << i;
    }
}

}  // namespace

// A camera begun anew while the stream stays open uses its ids again within
// the frame time-out (1 s): its new frames carry new leader timestamps.
TEST_F(Driver, CameraThatBeginsItsIdsAnewWithinTheTimeOutLosesNoFrame)
{
    struct Case {
        const char* name;
        std::vector<uint16_t> before;
        int pauseMs;
        std::vector<uint16_t> after;
        int spacingMs;
    };
    const Case cases[] = {
        {"1..30, then 1..100 at once", idRange(1, 30), 0, idRange(1, 100), 10},
        {"1..30, then 1..100 after 500 ms", idRange(1, 30), 500, idRange(1, 100), 10},
        {"1..30, then 1..100, 2 ms apart", idRange(1, 30), 0, idRange(1, 100), 2},
        {"40000..40009, then 1..10", idRange(40000, 40009), 0, idRange(1, 10), 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start(gvsp::Sender::Options{}, -1, 16);
        std::vector<uint16_t> sent;
        for (const auto* run : {&c.before, &c.after}) {
            for (uint16_t id : *run) {
                sender->sendImage(id);
                sent.push_back(id);
                std::this_thread::sleep_for(std::chrono::milliseconds(c.spacingMs));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(c.pauseMs));
        }
        expectEachOnceWhole(frames.waitFor(sent.size(), 10000), sent);
        EXPECT_EQ(frames.waitFor(sent.size() + 1, 200).size(), sent.size());
        stop();
    }
}

// Packets of frames given long after the last 64, but within the frame
// time-out (1 s), are late or repeated: they change nothing.
TEST_F(Driver, LatePacketsAndRepeatsOfFramesGivenWithinTheTimeOutChangeNothing)
{
    struct Case {
        const char* name;
        uint16_t count;  // frames 1..count, 1 ms apart
        uint16_t after;  // the stray comes after this frame
        uint16_t strayId;
        std::function<void(gvsp::Sender&)> stray;
    };
    const Case cases[] = {
        {"a data packet of a frame given 100 frames earlier", 200, 150, 50,
         [](gvsp::Sender& s) { s.send(s.packet(50, 2)); }},
        {"a leader of a frame given 100 frames earlier", 200, 150, 50,
         [](gvsp::Sender& s) { s.send(s.packet(50, 0)); }},
        {"the whole of a frame given 70 frames earlier", 120, 100, 30, [](gvsp::Sender& s) { s.repeatImage(30); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start(gvsp::Sender::Options{}, -1, 16);
        sink.take();
        const std::vector<uint16_t> sent = idRange(1, c.count);
        for (uint16_t id : sent) {
            sender->sendImage(id);
            if (id == c.after)
                c.stray(*sender);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        expectEachOnceWhole(frames.waitFor(sent.size(), 10000), sent);
        EXPECT_EQ(frames.waitFor(sent.size() + 1, 200).size(), sent.size());
        const std::regex resend("ResendPacket for BlockID: " + std::to_string(c.strayId) + "\\b");
        for (const std::string& line : sink.take())
            EXPECT_FALSE(std::regex_search(line, resend)) << line;
        stop();
    }
}

namespace {

using Stamps = gvsp::Sender::Options::Stamps;
const Stamps kEveryStamping[] = {Stamps::Each, Stamps::None, Stamps::Frozen};

const char* nameOf(Stamps stamps)
{
    switch (stamps) {
    case Stamps::Each:
        return "stamped";
    case Stamps::None:
        return "unstamped";
    case Stamps::Frozen:
        break;
    }
    return "one stamp for all";
}

// What the camera sends, step by step.
struct Step {
    enum Kind { Images, WithoutLeader, Lost, Repeat, Stray, Pause } kind;
    uint16_t first = 0, last = 0;  // ids first..last, one image each
    int ms = 0;                    // after each image; the pause
    int back = 0;                  // Repeat, Stray: that many sends of the id back from its latest
    uint32_t packet = 0;           // Stray: the packet id
};

Step images(uint16_t first, uint16_t last, int ms = 2)
{
    return {Step::Images, first, last, ms};
}
Step withoutLeader(uint16_t id)
{
    return {Step::WithoutLeader, id, id, 2};
}
Step lost(uint16_t id)
{
    return {Step::Lost, id, id, 2};
}
Step repeat(uint16_t id, int back = 0)
{
    return {Step::Repeat, id, id, 2, back};
}
Step stray(uint16_t id, uint32_t packet, int back = 0)
{
    return {Step::Stray, id, id, 2, back, packet};
}
Step pause(int ms)
{
    return {Step::Pause, 0, 0, ms};
}

std::string describe(const std::vector<Step>& steps)
{
    std::string text;
    for (const Step& s : steps) {
        const std::string id = std::to_string(s.first);
        switch (s.kind) {
        case Step::Images:
            text += id + (s.last != s.first ? ".." + std::to_string(s.last) : "");
            break;
        case Step::WithoutLeader:
            text += id + " without leader";
            break;
        case Step::Lost:
            text += id + " lost";
            break;
        case Step::Repeat:
            text += id + " repeated (" + std::to_string(s.back) + " back)";
            break;
        case Step::Stray:
            text += id + " packet " + std::to_string(s.packet) + " (" + std::to_string(s.back) + " back)";
            break;
        case Step::Pause:
            text += "pause " + std::to_string(s.ms) + " ms";
            break;
        }
        text += ", ";
    }
    return text;
}

}  // namespace

// Sends `steps` from a camera that stamps its leaders as `stamps` says, with
// resend requests unanswered, and checks what the host gets: every whole
// image sent once is delivered once, whole and of its own send, in the
// order sent; a whole repeat is delivered again only where stamps cannot
// tell it from a restart; strays begin nothing and ask for nothing; frames
// sent without their leader are abandoned, and the lost-frame count is the
// frames really lost.
class Sequences : public Driver {
protected:
    // `exactCount`: the lost-frame count must be the frames really lost,
    // not only never above it.
    void run(const std::vector<Step>& steps, Stamps stamps, bool exactCount = true)
    {
        SCOPED_TRACE(std::string(nameOf(stamps)) + ": " + describe(steps));
        gvsp::Sender::Options o;
        o.honourResend = false;
        o.stamps = stamps;
        o.markSends = true;
        start(o, -1, 256);
        std::map<uint16_t, std::vector<uint32_t>> sendsOf;  // serials of each id, in order
        std::vector<std::pair<uint16_t, uint32_t>> expected;  // whole images to deliver, in order
        std::map<uint32_t, int> wholeSends;                   // per serial
        uint32_t reallyLost = 0;
        bool asks = false;  // a frame may ask for resends
        const auto sendOf = [&](const Step& s) {
            const std::vector<uint32_t>& sends = sendsOf.at(s.first);
            return sends.at(sends.size() - 1 - size_t(s.back));
        };
        for (const Step& s : steps) {
            switch (s.kind) {
            case Step::Images:
                for (uint32_t id = s.first;; id = id == 65535 ? 1 : id + 1) {
                    const auto blockId = static_cast<uint16_t>(id);
                    const uint32_t serial = sender->sendImage(blockId);
                    sendsOf[blockId].push_back(serial);
                    expected.emplace_back(blockId, serial);
                    ++wholeSends[serial];
                    std::this_thread::sleep_for(std::chrono::milliseconds(s.ms));
                    if (id == s.last)
                        break;
                }
                break;
            case Step::WithoutLeader:
                sendsOf[s.first].push_back(sender->sendImage(s.first, [](uint32_t i) { return i == 0; }));
                ++reallyLost;
                asks = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(s.ms));
                break;
            case Step::Lost:
                sendsOf[s.first].push_back(sender->sendImage(s.first, [](uint32_t) { return true; }));
                ++reallyLost;
                std::this_thread::sleep_for(std::chrono::milliseconds(s.ms));
                break;
            case Step::Repeat: {
                const uint32_t serial = sendOf(s);
                sender->repeatImage(s.first, serial);
                ++wholeSends[serial];
                if (stamps != Stamps::Each)
                    expected.emplace_back(s.first, serial);  // a restart to the stamps
                std::this_thread::sleep_for(std::chrono::milliseconds(s.ms));
                break;
            }
            case Step::Stray:
                sender->send(sender->packet(s.first, s.packet, sendOf(s)));
                std::this_thread::sleep_for(std::chrono::milliseconds(s.ms));
                break;
            case Step::Pause:
                std::this_thread::sleep_for(std::chrono::milliseconds(s.ms));
                break;
            }
        }
        const size_t events = expected.size() + (reallyLost - uint32_t(std::count_if(steps.begin(), steps.end(),
                                                     [](const Step& s) { return s.kind == Step::Lost; })));
        frames.waitFor(events, 15000);
        const auto got = frames.waitFor(events + 1, 400);
        std::vector<std::pair<uint16_t, uint32_t>> completed;
        std::map<uint32_t, int> deliveries;
        uint32_t lostCount = 0;
        for (const Got& g : got) {
            lostCount = std::max(lostCount, g.lostFrames);
            if (g.type != OrvGigETL_SIGNAL_FRAME_COMPLETED)
                continue;
            const auto id = static_cast<uint16_t>(g.blockId);
            EXPECT_TRUE(g.exact) << id << ": not one send's image";
            // The send it is whole of, by its mark; its leader must be the same send's.
            uint32_t serial = 0;
            for (uint32_t candidate : sendsOf[id])
                if (g.mark == gvsp::Sender::markOfSerial(candidate))
                    serial = candidate;
            EXPECT_NE(serial, 0u) << id << ": of no send";
            EXPECT_EQ(g.timestamp, gvsp::Sender::stampOf(stamps, serial)) << id << ": leader of another send";
            completed.emplace_back(id, serial);
            EXPECT_LE(++deliveries[serial], wholeSends[serial]) << id << ": delivered twice for one send";
        }
        EXPECT_EQ(completed, expected);
        if (exactCount) {
            EXPECT_EQ(lostCount, reallyLost);
        } else {
            EXPECT_LE(lostCount, reallyLost);
        }
        if (!asks) {
            EXPECT_EQ(sender->resendRequests(), 0u);
        }
    }
};

TEST_F(Sequences, RestartsRepeatsStraysAndLostLeaders)
{
    const std::vector<std::vector<Step>> cases = {
        // Restarts within the frame time-out.
        {images(1, 100), images(1, 100)},
        {images(1, 30, 10), images(1, 100, 10)},
        {images(1, 30, 10), pause(500), images(1, 100, 10)},
        {images(1, 30), images(1, 100)},
        {images(40000, 40009, 10), images(1, 10, 10)},
        {images(65000, 65005), images(1, 10)},
        // Repeats and strays of an earlier run after a restart.
        {images(1, 30), images(1, 49), repeat(15, 1), images(50, 55)},
        {images(1, 60), images(1, 10), stray(50, 2), images(11, 30)},
        {images(1, 30), images(1, 10), stray(21, 2), images(11, 40)},
        {images(1, 30), images(1, 10), stray(21, 4), images(11, 40)},
        {images(1, 30), images(1, 10), stray(21, 0), images(11, 40)},
        // Repeats and strays of frames given long before, within the time-out.
        {images(1, 150, 1), stray(50, 2), images(151, 200, 1)},
        {images(1, 150, 1), stray(50, 0), images(151, 200, 1)},
        {images(1, 100, 1), repeat(30), images(101, 120, 1)},
        // Ids coming round.
        {images(65530, 65535), images(1, 5)},
        {images(65534, 65535), images(1, 2), pause(50), images(65533, 65535), images(1, 2)},
        // A leader lost just before a restart.
        {withoutLeader(1), images(2, 30), images(1, 10)},
        {images(1, 4), withoutLeader(5), images(6, 30), images(1, 10)},
        {images(1, 9), withoutLeader(10), images(1, 10)},
        // Whole frames lost around the end of the cycle.
        {images(65530, 65533), lost(65534), lost(65535), lost(1), images(2, 5)},
    };
    for (const auto& steps : cases) {
        for (Stamps stamps : kEveryStamping) {
            run(steps, stamps);
            stop();
        }
    }
}

// Whole frames, repeats, strays, lost leaders, lost frames and restarts,
// mixed at random (fixed seed), ids sometimes coming round.
TEST_F(Sequences, RandomMixesDeliverEachWholeFrameOnceAndUnmixed)
{
    std::mt19937 random(20261211);
    for (int round = 0; round < 2; ++round) {
        for (Stamps stamps : kEveryStamping) {
            std::vector<Step> steps;
            uint16_t next = random() % 2 ? uint16_t(65480 + random() % 50) : uint16_t(1 + random() % 1000);
            std::map<uint16_t, std::vector<bool>> sends;  // per id: whether each send was whole
            std::vector<uint16_t> ids;                   // sent whole, latest last
            const auto send = [&](Step step, bool whole) {
                steps.push_back(step);
                sends[next].push_back(whole);
                if (whole)
                    ids.push_back(next);
                next = next == 65535 ? 1 : uint16_t(next + 1);
            };
            // Which whole send of a recent id, counted back from its latest.
            const auto earlier = [&](uint16_t* id, int* back) {
                if (ids.empty())
                    return false;
                *id = ids[ids.size() - 1 - random() % std::min<size_t>(ids.size(), 50)];
                const std::vector<bool>& of = sends[*id];
                *back = of.size() > 1 && of[of.size() - 2] && random() % 2 ? 1 : 0;
                return bool(of[of.size() - 1 - size_t(*back)]);
            };
            for (int i = 0; i < 200; ++i) {
                const unsigned r = random() % 100;
                uint16_t id = 0;
                int back = 0;
                if (r < 64) {
                    send(images(next, next, 1), true);
                } else if (r < 69) {
                    send(withoutLeader(next), false);
                } else if (r < 72) {
                    send(lost(next), false);
                } else if (r < 80) {
                    if (earlier(&id, &back))
                        steps.push_back(repeat(id, back));
                } else if (r < 94) {
                    if (earlier(&id, &back))
                        steps.push_back(stray(id, random() % 5, back));
                } else if (r < 96) {
                    next = 1;  // the camera begins anew
                } else {
                    steps.push_back(pause(20));
                }
            }
            run(steps, stamps, false);
            stop();
        }
    }
}

// A burst of leaders of one id, each stamped anew, then whole images at
// once: one frame is abandoned, the images after it arrive whole.
TEST_F(Driver, BurstOfLeadersOfOneIdLeavesTheImagesRightAfterWhole)
{
    gvsp::Sender::Options o;
    o.honourResend = false;
    start(o, -1, 16);
    gvsp::Bytes leader = sender->packet(7, 0);
    for (uint32_t stamp = 1; stamp <= 30000; ++stamp) {
        for (int b = 0; b < 4; ++b)
            leader[16 + b] = uint8_t(stamp >> (24 - 8 * b));  // the timestamp's low word
        sender->send(leader);
    }
    const std::vector<uint16_t> sent = idRange(8, 17);
    for (uint16_t id : sent)
        sender->sendImage(id);
    const auto got = frames.waitFor(sent.size() + 1, 10000);
    ASSERT_EQ(got.size(), sent.size() + 1);
    EXPECT_EQ(got[0].type, OrvGigETL_SIGNAL_FRAME_ABANDONED);
    EXPECT_EQ(got[0].blockId, 7u);
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(got[i + 1].type, OrvGigETL_SIGNAL_FRAME_COMPLETED) << sent[i];
        EXPECT_EQ(got[i + 1].blockId, sent[i]);
        EXPECT_TRUE(got[i + 1].exact) << sent[i];
    }
    EXPECT_EQ(frames.waitFor(sent.size() + 2, 300).size(), sent.size() + 1);
}
