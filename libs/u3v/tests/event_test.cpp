#include "U3vEvent.h"
#include "U3vTestSupport.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <future>
#include <thread>

using namespace u3vtest;
using namespace std::chrono_literals;

namespace {

struct Event {
    std::uint32_t id;
    std::uint64_t timestamp;
    std::uint32_t length;
    std::uint32_t word;
};

std::mutex eventMutex;
std::condition_variable eventArrived;
std::vector<Event> events;

void keepEvent(std::uint32_t id, std::uint64_t timestamp, std::uint32_t length, std::uint32_t word)
{
    {
        std::lock_guard<std::mutex> lock(eventMutex);
        events.push_back({id, timestamp, length, word});
    }
    eventArrived.notify_all();
}

// Waits until n events arrived; returns them.
std::vector<Event> waitForEvents(std::size_t n)
{
    std::unique_lock<std::mutex> lock(eventMutex);
    eventArrived.wait_for(lock, 10s, [n] { return events.size() >= n; });
    return events;
}

std::vector<std::uint8_t> bytes(const std::string& hex)
{
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(std::uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

class PexlinEvent : public SimBus {
protected:
    void SetUp() override
    {
        SimBus::SetUp();
        std::lock_guard<std::mutex> lock(eventMutex);
        events.clear();
    }

    void TearDown() override
    {
        if (event_) {
            EXPECT_EQ(U3V_CloseEvent(event_), 0);
        }
        event_ = nullptr;
        SimBus::TearDown();
    }

    U3V_Event* event_ = nullptr;
};

} // namespace

TEST_F(PexlinEvent, TestEventAndDeviceEventsReachTheCallback)
{
    sim("device.add cam");
    openCamera();
    ASSERT_EQ(U3V_OpenEvent(dev_, control_, &event_, keepEvent, 1000), 0);
    ASSERT_NE(event_, nullptr);
    EXPECT_EQ(event_->maxTransfer, 1024u);
    EXPECT_EQ(event_->eirmAddress, u3vsim::kEirmAddress);
    EXPECT_EQ(event_->eirmLength, 0x20u);

    device()->clearRecords();
    ASSERT_EQ(U3V_TestEvent(event_), 0);
    // One WRITEMEM of the value 1 to EIRM + 0x08.
    const auto sent = device()->commands();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(le16(&sent[0][6]), 0x0802);
    EXPECT_EQ(le64(&sent[0][12]), u3vsim::kEirmAddress + 0x08);
    EXPECT_EQ(le32(&sent[0][20]), 1u);

    // A packet written by hand: event 0x9001, timestamp 0x0123456789ABCDEF,
    // four data bytes.
    sim("event.raw cam 55335645" "0000" "000C" "1000" "0000" "0000" "0190"
        "EFCDAB8967452301" "78563412");
    sim("event cam 0x9007 42 AABBCCDDEEFF");
    const auto got = waitForEvents(3);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].id, u3vsim::kTestEventId);
    EXPECT_EQ(got[0].timestamp, 1000u);
    EXPECT_EQ(got[0].length, 0u);
    EXPECT_EQ(got[0].word, 0u);
    EXPECT_EQ(got[1].id, 0x9001u);
    EXPECT_EQ(got[1].timestamp, 0x0123456789ABCDEFu);
    EXPECT_EQ(got[1].length, 4u);
    EXPECT_EQ(got[1].word, 0x12345678u);
    EXPECT_EQ(got[2].id, 0x9007u);
    EXPECT_EQ(got[2].timestamp, 42u);
    EXPECT_EQ(got[2].length, 6u);
    EXPECT_EQ(got[2].word, 0xDDCCBBAAu);
    // The event control register is never written.
    std::uint8_t enable[4];
    device()->readMemory(u3vsim::kEirmAddress, enable, 4);
    EXPECT_EQ(le32(enable), 1u);
}

TEST_F(PexlinEvent, MalformedPacketsAreDropped)
{
    // Header: prefix, flags, command, length (LE), request id, reserved,
    // event id 0x0102, timestamp 7.
    const std::string head = "55335645" "0000" "000C";
    const std::string tail = "000000000201" "0700000000000000";
    struct Case { const char* name; std::string hex; bool delivered; std::uint32_t length; std::uint32_t word; };
    const Case cases[] = {
        {"1 byte", "55", false, 0, 0},
        {"23 bytes", head + "0C00" + tail.substr(0, tail.size() - 2), false, 0, 0},
        {"24 bytes, length 0", head + "0000" + tail, false, 0, 0},
        {"24 bytes, length 11", head + "0B00" + tail, false, 0, 0},
        {"24 bytes, length 12", head + "0C00" + tail, true, 0, 0},
        {"24 bytes, length 13", head + "0D00" + tail, false, 0, 0},
        {"26 bytes, length 14", head + "0E00" + tail + "AABB", true, 2, 0},
        {"28 bytes, length 16", head + "1000" + tail + "01020304", true, 4, 0x04030201},
        {"28 bytes, length 40", head + "2800" + tail + "01020304", false, 0, 0},
        {"wrong prefix", "55335643" "0000" "000C" "1000" + tail + "01020304", false, 0, 0},
        {"wrong command", "55335645" "0000" "00C0" "1000" + tail + "01020304", false, 0, 0},
    };
    sim("device.add cam");
    openCamera();
    U3V_Event channel(dev_, control_);
    channel.callback = keepEvent;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            std::lock_guard<std::mutex> lock(eventMutex);
            events.clear();
        }
        const auto packet = bytes(c.hex);
        // Exactly the bytes received, so that an over-read shows.
        auto exact = std::make_unique<std::uint8_t[]>(packet.size());
        std::memcpy(exact.get(), packet.data(), packet.size());
        channel.deliver(exact.get(), int(packet.size()));
        std::lock_guard<std::mutex> lock(eventMutex);
        ASSERT_EQ(events.size(), c.delivered ? 1u : 0u);
        if (c.delivered) {
            EXPECT_EQ(events[0].id, 0x0102u);
            EXPECT_EQ(events[0].timestamp, 7u);
            EXPECT_EQ(events[0].length, c.length);
            EXPECT_EQ(events[0].word, c.word);
        }
    }

    // The same packets through the device: only the well-formed ones and the
    // closing test event arrive.
    {
        std::lock_guard<std::mutex> lock(eventMutex);
        events.clear();
    }
    ASSERT_EQ(U3V_OpenEvent(dev_, control_, &event_, keepEvent, 200), 0);
    for (const Case& c : cases)
        sim("event.raw cam " + c.hex);
    ASSERT_EQ(U3V_TestEvent(event_), 0);
    const auto got = waitForEvents(4);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].length, 0u);
    EXPECT_EQ(got[1].length, 2u);
    EXPECT_EQ(got[2].length, 4u);
    EXPECT_EQ(got[3].id, u3vsim::kTestEventId);
}

TEST_F(PexlinEvent, OpenFailures)
{
    struct Case { const char* name; const char* device; U3V_STATUS status; const char* line; int level; };
    const Case cases[] = {
        {"no event interface", "no-event", U3V_STATUS_NO_EVENT_INTERFACE,
         "No event interface available.", 1},
        {"EIRM not announced", "no-eirm", U3V_STATUS_NO_EIRM,
         "Event interface is available but EIRM_AVAILABLE has not been set (not supported).", 1},
        {"transfer length below a header", "event-transfer=23", U3V_STATUS_OUT_OF_RANGE, nullptr, 0},
        {"transfer length 0", "event-transfer=0", U3V_STATUS_OUT_OF_RANGE, nullptr, 0},
        {"transfer length huge", "event-transfer=0xFFFFFFFF", U3V_STATUS_OUT_OF_RANGE, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim("world.clear");
        sim(std::string("device.add cam ") + c.device);
        openCamera();
        U3V_Event* event = reinterpret_cast<U3V_Event*>(0x1);
        EXPECT_EQ(U3V_OpenEvent(dev_, control_, &event, keepEvent, 100), c.status);
        EXPECT_EQ(event, nullptr);
        if (c.line) {
            EXPECT_TRUE(logged(c.level, c.line));
        }
        closeCamera();
    }
}

TEST_F(PexlinEvent, EventInterfaceHeldByAnotherHandle)
{
    sim("device.add cam");
    openCamera();
    ASSERT_EQ(U3V_OpenEvent(dev_, control_, &event_, keepEvent, 100), 0);
    // A second opening of the same camera cannot claim the event interface.
    SecondOpening second;
    U3V_Event* event = nullptr;
    EXPECT_EQ(U3V_OpenEvent(second.device, second.channel.get(), &event, keepEvent, 100),
              U3V_STATUS_CLAIM_EVENT);
    EXPECT_EQ(event, nullptr);
    EXPECT_TRUE(logged(4, "Can't open/claiming event interface."));
}

TEST_F(PexlinEvent, NullPointersAndClosedChannel)
{
    sim("device.add cam");
    openCamera();
    U3V_Event* event = nullptr;
    EXPECT_EQ(U3V_OpenEvent(nullptr, control_, &event, keepEvent, 100), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_OpenEvent(dev_, nullptr, &event, keepEvent, 100), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_OpenEvent(dev_, control_, nullptr, keepEvent, 100), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_CloseEvent(nullptr), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_TestEvent(nullptr), U3V_STATUS_NULL_HANDLE);
    U3V_Event closed(dev_, control_);
    EXPECT_EQ(closed.TestEvent(), U3V_STATUS_EVENT_NOT_OPEN);
    EXPECT_TRUE(logged(4, "Event interface not open."));
}

TEST_F(PexlinEvent, CloseIsPromptWhateverTheTimeOut)
{
    sim("device.add cam");
    openCamera();
    for (std::uint32_t timeout : {0u, 1u, 100u, 60000u}) {
        SCOPED_TRACE(timeout);
        // At once after opening, and after the thread has idled a while.
        for (bool idle : {false, true}) {
            U3V_Event* event = nullptr;
            ASSERT_EQ(U3V_OpenEvent(dev_, control_, &event, keepEvent, timeout), 0);
            if (idle)
                std::this_thread::sleep_for(150ms);
            withinWatchdog([event] { EXPECT_EQ(U3V_CloseEvent(event), 0); }, "close", 5s);
        }
    }
}

TEST_F(PexlinEvent, UnpluggedDeviceIsNotPolledInALoop)
{
    sim("device.add cam");
    openCamera();
    ASSERT_EQ(U3V_OpenEvent(dev_, control_, &event_, keepEvent, 100), 0);
    auto unplugged = device();
    sim("device.remove cam");
    std::this_thread::sleep_for(500ms);
    const std::uint64_t reads = unplugged->eventReads();
    // Failed reads are followed by a pause: a handful, not thousands.
    EXPECT_LT(reads, 30u);
    EXPECT_GT(reads, 0u);
    withinWatchdog([this] { EXPECT_EQ(U3V_CloseEvent(event_), 0); }, "close after unplug", 5s);
    event_ = nullptr;
}
