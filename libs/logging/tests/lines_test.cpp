// Filtering and the line format, seen in the log file.
#include "JotwellTestSupport.h"


namespace {

struct Registration {
    const char* name;
    uint32_t mask;
};

struct LineCase {
    const char* name;
    bool setGlobalMask;
    uint32_t globalMask;
    std::vector<Registration> registrations;
    const char* module;
    uint32_t level;
    // The whole file, as a pattern in which "@T" stands for the time.
    const char* expected;
};

void PrintTo(const LineCase& c, std::ostream* out)
{
    *out << c.name;
}


const uint32_t kAll = 0xFFFFFFFFu;

const LineCase kCases[] = {
    {"default mask passes CRITICAL", false, 0, {}, "Cam", 1, "[Cam] @T [CRITICAL] msg 7\r\n"},
    {"default mask passes ERROR", false, 0, {}, "Cam", 2, "[Cam] @T [ERROR] msg 7\r\n"},
    {"default mask stops WARNING", false, 0, {}, "Cam", 4, ""},
    {"default mask stops INFO", false, 0, {}, "Cam", 8, ""},
    {"INFO after mask with bit 8", true, 8, {}, "Cam", 8, "[Cam] @T [INFO] msg 7\r\n"},
    {"global mask 0 stops all", true, 0, {}, "Cam", 1, ""},
    {"level 0 never passes", true, kAll, {}, "Cam", 0, ""},
    {"WARNING tag", true, kAll, {}, "Cam", 4, "[Cam] @T [WARNING] msg 7\r\n"},
    {"CAMERA tag", true, kAll, {}, "Cam", 16, "[Cam] @T [CAMERA] msg 7\r\n"},
    {"DEBUG tag", true, kAll, {}, "Cam", 32, "[Cam] @T [DEBUG] msg 7\r\n"},
    {"RESERVED tag", true, kAll, {}, "Cam", 0x10000000, "[Cam] @T [RESERVED] msg 7\r\n"},
    {"unknown single bit has no tag", true, kAll, {}, "Cam", 64, "msg 7\r\n"},
    {"two bits give no prefix", true, kAll, {}, "Cam", 3, "msg 7\r\n"},
    {"all bits pass default mask without prefix", false, 0, {}, "Cam", kAll, "msg 7\r\n"},
    {"null module gives tab form", false, 0, {}, nullptr, 2, "\t @T [ERROR] msg 7\r\n"},
    {"null module passes global mask", true, kAll, {{"Cam", 2}}, nullptr, 8, "\t @T [INFO] msg 7\r\n"},
    {"module mask 2 passes ERROR", true, kAll, {{"Cam", 2}}, "Cam", 2, "[Cam] @T [ERROR] msg 7\r\n"},
    {"module mask 2 stops INFO", true, kAll, {{"Cam", 2}}, "Cam", 8, ""},
    {"module mask 2 stops CRITICAL", true, kAll, {{"Cam", 2}}, "Cam", 1, ""},
    {"module found in other letter case", true, kAll, {{"Cam", 2}}, "cAM", 8, ""},
    {"module mask cannot widen global", false, 0, {{"Cam", kAll}}, "Cam", 8, ""},
    {"unregistered module passes global", true, 8, {{"Cam", 2}}, "Other", 8,
     "[Other] @T [INFO] msg 7\r\n"},
};

class LineFormat : public testing::TestWithParam<LineCase> {};

TEST_P(LineFormat, WritesExpectedFile)
{
    const LineCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file("log.txt");
    ASSERT_TRUE(OrvLInit());
    ASSERT_TRUE(OrvLEnableWindbg(false));
    ASSERT_TRUE(OrvLEnableFileLogging(true, path.c_str()));
    if (c.setGlobalMask)
        OrvLSetGlobalDebugLevel(c.globalMask);
    for (const Registration& r : c.registrations)
        ASSERT_TRUE(OrvLRegisterModule(r.name, r.mask));
    trace(c.module, c.level, "msg %d", 7);
    OrvLClose();

    const std::string text = readFile(path);
    EXPECT_TRUE(matchesWithTime(text, c.expected)) << "file: " << text;
}

INSTANTIATE_TEST_SUITE_P(Cases, LineFormat, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<LineCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

// The message as written for several formats and argument lists.
std::string messageOf(void (*write)())
{
    TempDir dir;
    const std::string path = dir.file("log.txt");
    initFileOnly(path);
    write();
    OrvLClose();
    return readFile(path);
}

TEST(LineMessage, FormatsArguments)
{
    EXPECT_EQ(messageOf([] { trace("M", 3, "%d-%s-%.2f-%c", 42, "ab", 1.5, 'z'); }),
              "42-ab-1.50-z\r\n");
}

TEST(LineMessage, NullArgumentListTakesTextLiterally)
{
    EXPECT_EQ(messageOf([] { OrvLTraceA("M", 3, "100% %s %d", nullptr); }), "100% %s %d\r\n");
}

TEST(LineMessage, NullFormatWritesNothing)
{
    EXPECT_EQ(messageOf([] { OrvLTraceA("M", 3, nullptr, nullptr); }), "");
}

TEST(LineMessage, LeavesCallersArgumentListUsable)
{
    EXPECT_EQ(messageOf([] {
                  struct Twice {
                      static void call(const char* format, ...)
                      {
                          va_list arguments;
                          va_start(arguments, format);
                          OrvLTraceA("M", 3, format, &arguments);
                          OrvLTraceA("M", 3, format, &arguments);
                          va_end(arguments);
                      }
                  };
                  Twice::call("%s %d", "same", 5);
              }),
              "same 5\r\nsame 5\r\n");
}

TEST(LineMessage, LongMessageIsCutToTheBuffer)
{
    const std::string text = messageOf([] {
        const std::string big(20000, 'x');
        trace("Mod", 2, "%s", big.c_str());
    });
    ASSERT_EQ(text.size(), 8191u);
    EXPECT_TRUE(matchesWithTime(text.substr(0, 40), "[Mod] @T [ERROR] " + std::string(6, 'x'))) << text.substr(0, 40);
    EXPECT_EQ(text.substr(text.size() - 3), "x\r\n");
}

TEST(LineMessage, CutNeverSplitsAUtf8Character)
{
    // "é" is two bytes; without prefix 8189 bytes of text remain, an odd count.
    const std::string text = messageOf([] {
        std::string big;
        for (int i = 0; i < 5000; ++i)
            big += "\xC3\xA9";
        trace("Mod", 3, "%s", big.c_str());
    });
    ASSERT_EQ(text.size(), 8190u);
    EXPECT_EQ(text.substr(text.size() - 4), "\xC3\xA9\r\n");
}

TEST(LineMessage, LongModuleNameIsCut)
{
    const std::string text = messageOf([] {
        const std::string module(10000, 'm');
        trace(module.c_str(), 2, "tail");
    });
    ASSERT_EQ(text.size(), 8191u);
    EXPECT_EQ(text.substr(0, 2), "[m");
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

} // namespace
