#include "MemZip.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using memzip::Status;

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& s)
{
    return {s.begin(), s.end()};
}

std::vector<std::uint8_t> randomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::vector<std::uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<std::uint8_t>(gen());
    return v;
}

std::vector<std::uint8_t> zipOf(const std::vector<std::uint8_t>& content)
{
    std::vector<std::uint8_t> zip;
    EXPECT_TRUE(memzip::createSingle("camera.xml", content.data(), content.size(), zip));
    return zip;
}

// Offset of the first entry's data: after the local header, its name and extra field.
std::size_t firstDataOffset(const std::vector<std::uint8_t>& zip)
{
    const std::size_t nameLen = zip[26] | (zip[27] << 8);
    const std::size_t extraLen = zip[28] | (zip[29] << 8);
    return 30 + nameLen + extraLen;
}

}  // namespace

TEST(MemZip, RoundTripKeepsEveryByte)
{
    const std::vector<std::vector<std::uint8_t>> contents = {
        bytesOf("<?xml version=\"1.0\"?><RegisterDescription/>"),
        {},
        randomBytes(3 * 1024 * 1024 + 7, 1),
        std::vector<std::uint8_t>(5 * 1024 * 1024, 'A'),
    };
    for (const auto& content : contents) {
        const auto zip = zipOf(content);
        ASSERT_GE(zip.size(), 22u);
        EXPECT_EQ(zip[0], 'P');
        EXPECT_EQ(zip[1], 'K');
        std::vector<std::uint8_t> out{1, 2, 3};
        EXPECT_EQ(memzip::extractFirst(zip.data(), zip.size(), content.size(), out), Status::Ok);
        EXPECT_EQ(out, content);
    }
}

TEST(MemZip, RefusesAnEntryAboveTheLimitBeforeUnpacking)
{
    const auto content = bytesOf(std::string(1000, 'x'));
    const auto zip = zipOf(content);
    std::vector<std::uint8_t> out;
    EXPECT_EQ(memzip::extractFirst(zip.data(), zip.size(), 999, out), Status::TooLarge);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(memzip::extractFirst(zip.data(), zip.size(), 1000, out), Status::Ok);
}

TEST(MemZip, TellsWhatIsWrongWithBadInput)
{
    const auto content = randomBytes(4000, 2);
    const auto zip = zipOf(content);

    auto corrupted = zip;
    corrupted[firstDataOffset(zip) + 100] ^= 0x5A;
    auto truncated = std::vector<std::uint8_t>(zip.begin(), zip.begin() + static_cast<std::ptrdiff_t>(zip.size() / 2));
    const auto noise = randomBytes(500, 3);
    const auto plainXml = bytesOf("<RegisterDescription/>");

    struct Case { const char* name; std::vector<std::uint8_t> bytes; Status want; };
    const std::vector<Case> cases = {
        {"data byte flipped", corrupted, Status::Damaged},
        {"first half only", truncated, Status::NotAZip},
        {"random bytes", noise, Status::NotAZip},
        {"plain text", plainXml, Status::NotAZip},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> out{9};
        // An exact-size copy lets AddressSanitizer see any read past the end.
        const std::vector<std::uint8_t> exact(c.bytes);
        EXPECT_EQ(memzip::extractFirst(exact.data(), exact.size(), 1 << 20, out), c.want) << c.name;
        EXPECT_TRUE(out.empty()) << c.name;
    }
    std::vector<std::uint8_t> out;
    EXPECT_EQ(memzip::extractFirst(nullptr, 10, 100, out), Status::NotAZip);
    EXPECT_EQ(memzip::extractFirst(zip.data(), 0, 100, out), Status::NotAZip);
}

TEST(MemZip, ArchiveWithoutEntriesIsRefused)
{
    // The end-of-central-directory record alone: an empty archive.
    std::vector<std::uint8_t> empty(22, 0);
    empty[0] = 'P'; empty[1] = 'K'; empty[2] = 5; empty[3] = 6;
    std::vector<std::uint8_t> out{7};
    const Status status = memzip::extractFirst(empty.data(), empty.size(), 100, out);
    EXPECT_TRUE(status == Status::NoEntry || status == Status::NotAZip);
    EXPECT_TRUE(out.empty());
}

TEST(MemZip, SizeInTheCentralDirectoryCannotOverrunTheBuffer)
{
    const auto content = bytesOf(std::string(300, 'q'));
    auto zip = zipOf(content);
    // Find the central directory header and shrink its unpacked size: the
    // real data is longer than the header says.
    std::size_t cd = 0;
    for (std::size_t i = 0; i + 4 <= zip.size(); ++i)
        if (zip[i] == 'P' && zip[i + 1] == 'K' && zip[i + 2] == 1 && zip[i + 3] == 2)
            cd = i;
    ASSERT_NE(cd, 0u);
    zip[cd + 24] = 10; zip[cd + 25] = 0; zip[cd + 26] = 0; zip[cd + 27] = 0;
    std::vector<std::uint8_t> out;
    EXPECT_EQ(memzip::extractFirst(zip.data(), zip.size(), 1 << 20, out), Status::Damaged);
    EXPECT_TRUE(out.empty());
}
