#include "ZelSdkLoader.h"
#include "ZelTrace.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...)
{
    char buffer[ZEL_TRACE_MAX_LENGTH + 1];
    va_list arguments;
    va_start(arguments, fmt);
    const size_t length = ZelTraceFormat(buffer, sizeof buffer, fmt, arguments);
    va_end(arguments);
    EXPECT_EQ(length, std::string(buffer).size());
    return buffer;
}

} // namespace

TEST(ZelTraceFormat, FormatsWithPrintfRules)
{
    EXPECT_EQ(format("%s Failed! OrvStreamQueueBuffer:%d", "ZelAcqEngine::start", -1011),
              "ZelAcqEngine::start Failed! OrvStreamQueueBuffer:-1011");
    EXPECT_EQ(format("ZelAcqThreadProducer::run Image lost! FrameID:(%lld - %lld)", 5LL, 9LL),
              "ZelAcqThreadProducer::run Image lost! FrameID:(5 - 9)");
    // A '%' inside an argument is text, not a directive.
    EXPECT_EQ(format("%s Feature not found:%s", "X::y", "/data/%d%s%n"), "X::y Feature not found:/data/%d%s%n");
}

TEST(ZelTraceFormat, LongTextIsCutToTheBound)
{
    const std::string longText(20000, 'a');
    const std::string result = format("%s:%s", "X::y", longText.c_str());
    ASSERT_EQ(result.size(), ZEL_TRACE_MAX_LENGTH);
    EXPECT_EQ(result.substr(0, 5), "X::y:");
    EXPECT_EQ(result.back(), 'a');
}

TEST(ZelTraceFormat, SmallAndMissingBuffers)
{
    char small[4] = {'x', 'x', 'x', 'x'};
    va_list none{};
    const char* noFormat = nullptr;
    EXPECT_EQ(ZelTraceFormat(small, sizeof small, noFormat, none), 0u);
    EXPECT_EQ(small[0], '\0');
    const char* text = "text";
    EXPECT_EQ(ZelTraceFormat(nullptr, 0, text, none), 0u);
}

TEST(ZelTrace, WithoutSdkNothingIsWritten)
{
    ASSERT_FALSE(ZelSdkLoader::instance()->isInitialised());
    EXPECT_EQ(ZelTrace(ZEL_TRACE_ERROR, "%s Failed! %s:%d", "ZelTest::run", "OrvLibInit", -1001),
              ORV_ERROR_FUNCTION_MISSING);
}
