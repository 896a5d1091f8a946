#include "Library.h"
#include "MemZip.h"
#include "Sha1.h"
#include "U3vControl.h"
#include "U3vTestSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

using namespace u3vtest;

namespace {

std::vector<std::uint8_t> pattern(std::size_t size, int seed)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = std::uint8_t(i * 31 + seed + (i >> 8));
    return bytes;
}

void put64(std::uint8_t* p, std::uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

class PexlinXml : public SimBus {
protected:
    void SetUp() override
    {
        SimBus::SetUp();
        sim("device.add cam");
    }

    // Places a file of its own in the device, with a manifest entry.
    void placeFile(const std::vector<std::uint8_t>& bytes, bool zipped, std::uint64_t size,
                   std::uint64_t count = 1)
    {
        device()->writeMemory(u3vsim::kFileAddress, bytes.data(), bytes.size());
        std::uint8_t table[72] = {};
        put64(table, count);
        table[13] = zipped ? 0x04 : 0x00;
        put64(table + 16, u3vsim::kFileAddress);
        put64(table + 24, size);
        device()->writeMemory(u3vsim::kManifestAddress, table, sizeof table);
    }

    std::vector<std::uint16_t> readCounts()
    {
        std::vector<std::uint16_t> counts;
        for (const auto& c : device()->commands())
            if (le64(&c[12]) >= u3vsim::kFileAddress)
                counts.push_back(le16(&c[22]));
        return counts;
    }
};

} // namespace

TEST_F(PexlinXml, PlainFilesReadInChunks)
{
    struct Case { std::size_t size; std::vector<std::uint16_t> chunks; };
    const Case cases[] = {
        {300, {256, 44}},
        {301, {256, 48}},
        {256, {256}},
        {1, {4}},
        {1000, {256, 256, 256, 232}},
    };
    openCamera();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const auto bytes = pattern(c.size, int(c.size));
        placeFile(bytes, false, c.size);
        device()->clearRecords();
        std::uint8_t* xml = nullptr;
        std::uint32_t size = 0;
        ASSERT_EQ(U3V_ReadXml(control_, &xml, &size, false), 0);
        ASSERT_EQ(size, c.size);
        EXPECT_EQ(std::vector<std::uint8_t>(xml, xml + size), bytes);
        EXPECT_EQ(readCounts(), c.chunks);
    }
    EXPECT_TRUE(logged(1, "Read 300 uint8_ts from xml memory 200000"));
    EXPECT_TRUE(logged(1, "Read xml memory successfully."));
}

TEST_F(PexlinXml, ZippedFileIsUnpacked)
{
    openCamera();
    std::uint8_t* xml = nullptr;
    std::uint32_t size = 0;
    ASSERT_EQ(U3V_ReadXml(control_, &xml, &size, false), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(xml), size), device()->xml());
    EXPECT_EQ(control_->zipped, 1);
}

TEST_F(PexlinXml, ManifestAndFileFaults)
{
    const auto plain = pattern(300, 1);
    struct Case {
        const char* name;
        std::vector<std::string> faults;
        std::uint64_t size;
        std::uint64_t count;
        U3V_STATUS status;
    };
    const Case cases[] = {
        {"size 0", {}, 0, 1, U3V_STATUS_XML_SIZE},
        {"size 4 GiB", {}, 1ull << 32, 1, U3V_STATUS_XML_SIZE},
        {"size above the limit", {}, (64ull << 20) + 1, 1, U3V_STATUS_XML_SIZE},
        {"count 0 uses the first entry", {}, 300, 0, 0},
        {"four failed chunks, then success", {"status 0x8006 count=4 from=0x200000"}, 300, 1, 0},
        {"failures spread over the file", {"status 0x8006 count=2 from=0x200000",
                                           "status 0x8006 count=2 from=0x200100"}, 300, 1, 0},
        {"a fifth failure", {"status 0x8006 count=5 from=0x200000"}, 300, 1, U3V_STATUS_XML_READ},
        {"a fifth failure late in the file", {"status 0x8006 count=4 from=0x200000",
                                              "status 0x8006 from=0x200100"}, 300, 1,
         U3V_STATUS_XML_READ},
        {"manifest address unreadable", {"status 0x8001 from=0x1D0"}, 300, 1, 0x8001},
    };
    openCamera();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim("fault.clear cam");
        placeFile(plain, false, c.size, c.count);
        for (const std::string& f : c.faults)
            sim("fault cam " + f + " on=read");
        std::uint8_t* xml = reinterpret_cast<std::uint8_t*>(0x1);
        std::uint32_t size = 77;
        EXPECT_EQ(U3V_ReadXml(control_, &xml, &size, false), c.status);
        if (c.status == 0) {
            ASSERT_EQ(size, plain.size());
            EXPECT_EQ(std::vector<std::uint8_t>(xml, xml + size), plain);
        } else {
            EXPECT_EQ(size, 77u); // outputs untouched
            char line[32];
            std::snprintf(line, sizeof line, "U3V_ReadXml: %04X", c.status);
            EXPECT_TRUE(logged(4, line)) << line;
        }
    }
    EXPECT_TRUE(logged(2, "Manifest table count == 0, using defaut table."));
}

TEST_F(PexlinXml, DamagedArchives)
{
    std::vector<std::uint8_t> zip;
    const std::string text(5000, 'g');
    ASSERT_TRUE(memzip::createSingle("f.xml", text.data(), text.size(), zip));
    std::vector<std::uint8_t> noCentral = zip;
    for (std::size_t i = 0; i + 4 <= noCentral.size(); ++i)
        if (noCentral[i] == 'P' && noCentral[i + 1] == 'K' && noCentral[i + 2] == 5)
            noCentral[i] = 'X';
    struct Case { const char* name; std::vector<std::uint8_t> bytes; const char* line; };
    const Case cases[] = {
        {"not a zip", pattern(300, 5), "mz_zip_reader_init_file() failed!\n"},
        {"no end record", noCentral, "mz_zip_reader_init_file() failed!\n"},
    };
    openCamera();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        placeFile(c.bytes, true, c.bytes.size());
        std::uint8_t* xml = nullptr;
        std::uint32_t size = 0;
        testing::internal::CaptureStdout();
        EXPECT_EQ(U3V_ReadXml(control_, &xml, &size, false), U3V_STATUS_UNZIP_FAILED);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.line);
    }
    // The device's own zipped file with damaged packed data.
    sim("world.clear");
    sim("device.add cam");
    sim("manifest cam damage");
    closeCamera();
    openCamera();
    std::uint8_t* xml = nullptr;
    std::uint32_t size = 0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(U3V_ReadXml(control_, &xml, &size, false), U3V_STATUS_UNZIP_FAILED);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "mz_zip_reader_extract_file_to_heap() failed!\n");
    EXPECT_TRUE(logged(4, "U3V_ReadXml: C01D"));
}

TEST_F(PexlinXml, DumpGoesBesideTheLibraryWithASafeName)
{
    sim("world.clear");
    sim("device.add cam vendor=Dump/Test \"model=../SIM:U*1\"");
    openCamera();
    const std::string expected = pexlin::library().moduleFolder + "/DumpTest-..SIMU1.xml";
    std::remove(expected.c_str());
    std::uint8_t* xml = nullptr;
    std::uint32_t size = 0;
    ASSERT_EQ(U3V_ReadXml(control_, &xml, &size, true), 0);
    std::ifstream in(expected, std::ios::binary);
    ASSERT_TRUE(in) << expected;
    const std::vector<std::uint8_t> dumped{std::istreambuf_iterator<char>(in), {}};
    // The raw bytes, still zipped.
    std::vector<std::uint8_t> unpacked;
    EXPECT_EQ(memzip::extractFirst(dumped.data(), dumped.size(), 1 << 20, unpacked),
              memzip::Status::Ok);
    EXPECT_EQ(std::string(unpacked.begin(), unpacked.end()), device()->xml());
    std::remove(expected.c_str());
}

namespace {

std::vector<int>& progressValues()
{
    static std::vector<int> values;
    return values;
}

void keepProgress(int32_t percent) { progressValues().push_back(percent); }

std::string tempPath(const std::string& name)
{
    return testing::TempDir() + "pexlin-" + std::to_string(getpid()) + "-" + name;
}

} // namespace

TEST_F(PexlinXml, WriteFileInChunksWithItsManifest)
{
    struct Case {
        std::size_t size;
        const char* name;
        std::size_t chunks;
        std::vector<int> progress;
        bool zipFlag;
    };
    const Case cases[] = {
        {100, "small.xml", 1, {0}, false},
        {512, "exact.ZIP", 1, {0}, true},
        {1300, "three.zip", 3, {0, 49, 98}, true},
        {1300, "mixed.Zip", 3, {0, 49, 98}, false},
        {0, "empty.xml", 0, {}, false},
    };
    openCamera();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto bytes = pattern(c.size, 9);
        const std::string path = tempPath(c.name);
        {
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        }
        // Stale bytes where the padding goes.
        const auto junk = pattern(2048, 77);
        device()->writeMemory(0x300000, junk.data(), junk.size());
        device()->clearRecords();
        progressValues().clear();
        ASSERT_EQ(U3V_WriteXml(control_, path.c_str(), 0x300000, 0x310000, 7, 0x00010102,
                               keepProgress), 0);
        std::remove(path.c_str());
        const auto sent = device()->commands();
        ASSERT_EQ(sent.size(), c.chunks + 1);
        for (std::size_t i = 0; i < c.chunks; ++i) {
            EXPECT_EQ(sent[i].size(), 20u + 512u);
            EXPECT_EQ(le64(&sent[i][12]), 0x300000u + 512u * i);
        }
        EXPECT_EQ(progressValues(), c.progress);
        std::vector<std::uint8_t> written(512 * c.chunks);
        device()->readMemory(0x300000, written.data(), written.size());
        std::vector<std::uint8_t> padded = bytes;
        padded.resize(written.size(), 0);
        EXPECT_EQ(written, padded);

        std::uint8_t m[72];
        device()->readMemory(0x310000, m, sizeof m);
        pexlin::Sha1 sha;
        sha.update(bytes.data(), bytes.size());
        const auto digest = sha.finish();
        EXPECT_EQ(le64(m), 1u);
        EXPECT_EQ(le32(m + 8), 7u);
        EXPECT_EQ(le32(m + 12), (c.zipFlag ? 0x0400u : 0u) | 0x01020000u);
        EXPECT_EQ(le64(m + 16), 0x300000u);
        EXPECT_EQ(le64(m + 24), c.size);
        EXPECT_EQ(0, std::memcmp(m + 32, digest.data(), 20));
        for (int i = 52; i < 72; ++i)
            EXPECT_EQ(m[i], 0) << i;
    }
}

TEST_F(PexlinXml, WriteFailures)
{
    const auto bytes = pattern(1300, 3);
    const std::string path = tempPath("fail.xml");
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    struct Case {
        const char* name;
        std::string path;
        std::vector<std::string> faults;
        U3V_STATUS status;
        std::vector<int> progress;
    };
    const Case cases[] = {
        {"no such file", tempPath("missing.xml"), {}, U3V_STATUS_FILE_OPEN, {}},
        {"two failed chunks", path, {"status 0x8006 count=2 from=0x300200"}, 0,
         {0, 49, 98, 98, 98}},
        {"five failed chunks", path, {"status 0x8006 count=5 from=0x300000"},
         U3V_STATUS_FILE_WRITE, {0, 49, 98, 98, 98}},
        {"manifest refused", path, {"status 0x8006 from=0x310000"}, U3V_STATUS_MANIFEST_WRITE,
         {0, 49, 98}},
    };
    openCamera();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim("fault.clear cam");
        for (const std::string& f : c.faults)
            sim("fault cam " + f + " on=write");
        progressValues().clear();
        EXPECT_EQ(U3V_WriteXml(control_, c.path.c_str(), 0x300000, 0x310000, 1, 1, keepProgress),
                  c.status);
        EXPECT_EQ(progressValues(), c.progress);
        if (c.status != 0) {
            char line[32];
            std::snprintf(line, sizeof line, "U3V_WriteXml: %04X", c.status);
            EXPECT_TRUE(logged(4, line)) << line;
        }
    }
    // Without a progress callback the file goes all the same.
    sim("fault.clear cam");
    EXPECT_EQ(U3V_WriteXml(control_, path.c_str(), 0x300000, 0x310000, 1, 1, nullptr), 0);
    std::remove(path.c_str());
}

TEST_F(PexlinXml, ClosedChannelRefusesFiles)
{
    sim("world.clear");
    sim("device.add cam claimed");
    openCamera("SIMU3V000001", U3V_STATUS_CLAIM_CONTROL);
    std::uint8_t* xml = nullptr;
    std::uint32_t size = 0;
    EXPECT_EQ(U3V_ReadXml(control_, &xml, &size, false), U3V_STATUS_CONTROL_NOT_OPEN);
    EXPECT_EQ(U3V_WriteXml(control_, "/dev/null", 0, 0, 0, 0, nullptr),
              U3V_STATUS_CONTROL_NOT_OPEN);
}
