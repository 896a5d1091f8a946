#include "CThread.h"
#include "Sha1.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

using pexlin::CThread;
using pexlin::Sha1;

namespace {

std::string hexDigest(Sha1& sha)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : sha.finish()) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

} // namespace

TEST(PexlinSha1, PublishedVectors)
{
    struct Case { std::string message; std::size_t repeat; const char* digest; };
    const Case cases[] = {
        {"", 1, "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", 1, "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1,
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopq"
         "klmnopqrlmnopqrsmnopqrstnopqrstu", 1, "a49b2446a02c645bf419f995b67091253a04a259"},
        {"a", 1000000, "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    for (const Case& c : cases) {
        Sha1 sha;
        for (std::size_t i = 0; i < c.repeat; ++i)
            sha.update(c.message.data(), c.message.size());
        EXPECT_EQ(hexDigest(sha), c.digest) << c.message.substr(0, 16) << " x" << c.repeat;
    }
}

TEST(PexlinSha1, PiecesOfAnySizeGiveTheSameDigest)
{
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += char('A' + i % 53);
    Sha1 whole;
    whole.update(text.data(), text.size());
    const std::string expected = hexDigest(whole);
    for (std::size_t piece : {1u, 7u, 55u, 56u, 63u, 64u, 65u, 333u}) {
        Sha1 sha;
        for (std::size_t pos = 0; pos < text.size(); pos += piece)
            sha.update(text.data() + pos, std::min(piece, text.size() - pos));
        EXPECT_EQ(hexDigest(sha), expected) << "pieces of " << piece;
    }
}

namespace {

class Worker : public CThread {
public:
    ~Worker() override { Join(); }
    std::atomic<int> runs{0};
    std::atomic<int> loops{0};

protected:
    void Run() override
    {
        ++runs;
        while (!stopRequested()) {
            ++loops;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
};

} // namespace

TEST(PexlinCThread, JoinRightAfterStartEndsTheThread)
{
    for (int i = 0; i < 50; ++i) {
        Worker w;
        w.Start();
        w.Join();
        EXPECT_FALSE(w.running());
        EXPECT_LE(w.runs.load(), 1);
    }
}

TEST(PexlinCThread, StartAgainJoinsTheEarlierThreadFirst)
{
    Worker w;
    w.Start();
    while (w.loops.load() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    w.Start();
    while (w.runs.load() < 2)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(w.running());
    w.Join();
    EXPECT_EQ(w.runs.load(), 2);
    EXPECT_FALSE(w.running());
}
