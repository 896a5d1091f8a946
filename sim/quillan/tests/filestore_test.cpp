#include "FileStore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

using quillan::FileStore;

namespace {

struct Report {
    int64_t remaining;
    std::string name, op;
};

struct Recorder {
    std::mutex mutex;
    std::vector<Report> reports;
    static void cb(void* ctx, const int64_t* remaining, const char* name, const char* op)
    {
        auto* r = static_cast<Recorder*>(ctx);
        std::lock_guard<std::mutex> lock(r->mutex);
        r->reports.push_back({*remaining, name, op});
    }
};

struct Store : ::testing::Test {
    FileStore store;
    Recorder rec;
    void SetUp() override
    {
        store.setRate(1e10);
        store.registerCallback(7, &rec, &Recorder::cb);
    }
};

} // namespace

TEST_F(Store, PowerUpContent)
{
    const auto files = store.list("Userfile");
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].name, "config.txt");
    EXPECT_EQ(files[0].size, 1536u);
    EXPECT_EQ(files[1].name, "notes.bin");
    EXPECT_EQ(files[1].size, 100u);
    EXPECT_EQ(store.freeSize(), 1024u * 1024u - 1636u);
    EXPECT_TRUE(store.list("Firmware").empty());
    EXPECT_EQ(store.list("UserSet1").size(), 1u);
}

TEST_F(Store, DownloadReportsTotalFirstAndZeroLast)
{
    std::vector<uint8_t> data;
    int64_t moved = 99;
    ASSERT_EQ(store.download(7, "Userfile", "config.txt", data, &moved), 0);
    EXPECT_EQ(data.size(), 1536u);
    EXPECT_EQ(moved, 1536);
    ASSERT_EQ(rec.reports.size(), 2u);
    EXPECT_EQ(rec.reports[0].remaining, 1536);
    EXPECT_EQ(rec.reports[1].remaining, 0);
    EXPECT_EQ(rec.reports[0].name, "config.txt");
    EXPECT_EQ(rec.reports[0].op, "Read");
    EXPECT_EQ(store.download(7, "Userfile", "missing.txt", data, &moved), -1009);
    EXPECT_EQ(store.download(7, "Firmware", "", data, &moved), -1009);
    EXPECT_EQ(store.download(7, "Nothing", "", data, &moved), -1009);
}

TEST_F(Store, UploadInStepsReplacesAndChecksSpace)
{
    int changes = 0;
    store.setHooks({nullptr, nullptr, nullptr, [&] { ++changes; }});
    const std::vector<uint8_t> big(200 * 1024, 0x5A);
    int64_t moved = 0;
    ASSERT_EQ(store.upload(7, "Userfile", "big.bin", big, &moved), 0);
    EXPECT_EQ(moved, int64_t(big.size()));
    const int64_t total = int64_t(big.size());
    const std::vector<int64_t> expected{total, total - 65536, total - 2 * 65536, total - 3 * 65536, 0};
    ASSERT_EQ(rec.reports.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(rec.reports[i].remaining, expected[i]);
        EXPECT_EQ(rec.reports[i].op, "Write");
        EXPECT_EQ(rec.reports[i].name, "big.bin");
    }
    EXPECT_EQ(changes, 1);
    std::vector<uint8_t> back;
    ASSERT_EQ(store.get("Userfile", "big.bin", back), 0);
    EXPECT_EQ(back, big);

    // An empty file reports 0 twice.
    rec.reports.clear();
    ASSERT_EQ(store.upload(7, "Userfile", "empty", {}, &moved), 0);
    ASSERT_EQ(rec.reports.size(), 2u);
    EXPECT_EQ(rec.reports[0].remaining, 0);
    EXPECT_EQ(rec.reports[1].remaining, 0);

    // Does not fit; replacing a file counts only the difference.
    store.setCapacity(300 * 1024);
    EXPECT_EQ(store.upload(7, "Userfile", "more.bin", big, &moved), -1010);
    EXPECT_EQ(store.upload(7, "Userfile", "big.bin", big, &moved), 0);
    EXPECT_EQ(store.upload(7, "Userfile", "", big, &moved), -1006);
    store.setFreeSize(10);
    EXPECT_EQ(store.freeSize(), 10u);
    EXPECT_EQ(store.upload(7, "Userfile", "eleven.bin", std::vector<uint8_t>(11), &moved), -1010);
    EXPECT_EQ(store.upload(7, "Userfile", "ten.bin", std::vector<uint8_t>(10), &moved), 0);
}

TEST_F(Store, InjectedFailureStopsTheSecondUpload)
{
    const std::vector<uint8_t> file(150 * 1024, 1);
    store.injectFailure("Userfile", "b.bin", FileStore::Op::Write, -1013, 65536, 1);
    int64_t moved = 0;
    EXPECT_EQ(store.upload(7, "Userfile", "a.bin", file, &moved), 0);
    rec.reports.clear();
    EXPECT_EQ(store.upload(7, "Userfile", "b.bin", file, &moved), -1013);
    EXPECT_EQ(moved, 65536);
    ASSERT_EQ(rec.reports.size(), 2u);  // the total, then one step
    EXPECT_NE(rec.reports.back().remaining, 0);
    EXPECT_EQ(store.upload(7, "Userfile", "c.bin", file, &moved), 0);
    std::vector<uint8_t> back;
    EXPECT_EQ(store.get("Userfile", "b.bin", back), -1009);
    // One-shot: the same file now goes through.
    EXPECT_EQ(store.upload(7, "Userfile", "b.bin", file, &moved), 0);

    store.injectFailure("Userfile", "", FileStore::Op::Read, -1013, 0, -1);
    EXPECT_EQ(store.download(7, "Userfile", "a.bin", back, &moved), -1013);
    EXPECT_EQ(store.download(7, "Userfile", "c.bin", back, &moved), -1013);
    store.clearFailures();
    EXPECT_EQ(store.download(7, "Userfile", "c.bin", back, &moved), 0);
}

TEST_F(Store, FirmwareUploadOnly)
{
    int64_t moved = 0;
    EXPECT_EQ(store.upload(7, "Firmware", "camera.bin", {1, 2}, &moved), -1010);
    EXPECT_EQ(store.upload(7, "Firmware", "camera.ge3", {}, &moved), -1010);
    EXPECT_EQ(store.takePendingFirmware(), "");
    const std::string text = "version=4.0.1\nbinary";
    ASSERT_EQ(store.upload(7, "Firmware", "camera.ge3", std::vector<uint8_t>(text.begin(), text.end()), &moved), 0);
    EXPECT_EQ(store.takePendingFirmware(), "4.0.1");
    EXPECT_EQ(store.takePendingFirmware(), "");
    ASSERT_EQ(store.upload(7, "Firmware", "fw-5.1.ge3", {9, 9, 9}, &moved), 0);
    EXPECT_EQ(store.takePendingFirmware(), "fw-5.1");
    EXPECT_TRUE(store.list("Firmware").empty());
    EXPECT_NE(store.remove("Firmware", ""), 0);
}

TEST_F(Store, UserSetEntryGoesThroughTheHooks)
{
    std::string set = "# Quillan camera settings 1\nGain=1\n";
    int resets = 0;
    store.setHooks({[&] { return set; },
                    [&](const std::string& t) {
                        if (t.rfind("# Quillan", 0) != 0)
                            return -1010;
                        set = t;
                        return 0;
                    },
                    [&] { ++resets; }, nullptr});
    std::vector<uint8_t> data;
    int64_t moved = 0;
    ASSERT_EQ(store.download(7, "UserSet1", "", data, &moved), 0);
    EXPECT_EQ(std::string(data.begin(), data.end()), set);
    EXPECT_EQ(rec.reports.front().name, "UserSet1");
    const std::string bad = "polling file";
    EXPECT_EQ(store.upload(7, "UserSet1", "local.txt", std::vector<uint8_t>(bad.begin(), bad.end()), &moved), -1010);
    const std::string good = "# Quillan camera settings 1\nGain=2\n";
    EXPECT_EQ(store.upload(7, "UserSet1", "local.txt", std::vector<uint8_t>(good.begin(), good.end()), &moved), 0);
    EXPECT_EQ(set, good);
    EXPECT_EQ(store.remove("UserSet1", ""), 0);
    EXPECT_EQ(resets, 1);
}

TEST_F(Store, DeleteByNameAndInjectedDeleteFailure)
{
    EXPECT_EQ(store.remove("Userfile", "nothing"), -1009);
    store.injectFailure("Userfile", "notes.bin", FileStore::Op::Delete, -1013, 0, 1);
    EXPECT_EQ(store.remove("Userfile", "notes.bin"), -1013);
    EXPECT_EQ(store.remove("Userfile", "notes.bin"), 0);
    EXPECT_EQ(store.list("Userfile").size(), 1u);
}

TEST_F(Store, NoProgressWithoutOrAfterUnregister)
{
    std::vector<uint8_t> data;
    EXPECT_EQ(store.download(8, "Userfile", "notes.bin", data, nullptr), 0);  // other module
    EXPECT_TRUE(rec.reports.empty());
    store.unregisterCallback(7);
    EXPECT_EQ(store.download(7, "Userfile", "notes.bin", data, nullptr), 0);
    EXPECT_TRUE(rec.reports.empty());
}

namespace {
struct Blocking {
    std::atomic<bool> inside{false}, returned{false};
    static void cb(void* ctx, const int64_t*, const char*, const char*)
    {
        auto* b = static_cast<Blocking*>(ctx);
        if (b->inside.exchange(true))
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        b->returned = true;
    }
};
struct SelfRemoving {
    FileStore* store;
    int calls = 0;
    static void cb(void* ctx, const int64_t*, const char*, const char*)
    {
        auto* s = static_cast<SelfRemoving*>(ctx);
        ++s->calls;
        s->store->unregisterCallback(3);
    }
};
} // namespace

TEST_F(Store, UnregisterWaitsForARunningCallback)
{
    Blocking b;
    store.registerCallback(9, &b, &Blocking::cb);
    std::thread t([&] {
        std::vector<uint8_t> data;
        store.download(9, "Userfile", "config.txt", data, nullptr);
    });
    while (!b.inside)
        std::this_thread::yield();
    store.unregisterCallback(9);
    EXPECT_TRUE(b.returned.load());
    t.join();

    SelfRemoving s{&store};
    store.registerCallback(3, &s, &SelfRemoving::cb);
    std::vector<uint8_t> data;
    EXPECT_EQ(store.download(3, "Userfile", "config.txt", data, nullptr), 0);
    EXPECT_EQ(s.calls, 1);
}

TEST(FileStoreRate, TransfersTakeTheirTime)
{
    FileStore store;
    store.setRate(1024 * 1024);  // 1 MiB/s: 128 KiB take about 125 ms
    const auto start = std::chrono::steady_clock::now();
    int64_t moved = 0;
    ASSERT_EQ(store.upload(0, "Userfile", "slow.bin", std::vector<uint8_t>(128 * 1024), &moved), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
}
