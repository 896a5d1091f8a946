#include "SimSdk.h"
#include "ZelUtil.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QVariant>

#include <cmath>
#include <limits>

namespace {

const char* const remote = "remote:GEV-G1-0001";

class ZelFeatureValueTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sdk.ready());
        g1 = sdk.open("orv_gev_tl.cti", "gev-if-0", "GEV-G1-0001");
        ASSERT_NE(g1.remote, 0u);
        sdk.control.reply("log.trace on");
        sdk.control.reply("log.trace.clear");
        sdk.control.reply("log.calls on");
        sdk.control.reply("log.calls.clear");
    }

    void TearDown() override
    {
        sdk.control.run("log.calls off");
        sdk.control.run("log.trace off");
        sdk.control.run("fault.clear");
        EXPECT_TRUE(sdk.problems().isEmpty()) << sdk.problems().join('\n').toStdString();
    }

    QVariant read(const char* name)
    {
        QVariant value(QStringLiteral("unread"));
        EXPECT_TRUE(ZelUtil::GetFeatureValue(g1.remote, name, value, false, false)) << name;
        return value;
    }

    // The viewer's trace lines written since the last clear.
    QStringList traces()
    {
        QStringList lines = QString::fromStdString(sdk.control.reply("log.trace.get")).split('\n');
        lines = lines.filter(QRegularExpression("^\\[Kalveen2\\]"));
        sdk.control.reply("log.trace.clear");
        return lines;
    }

    std::string calls()
    {
        const std::string text = sdk.control.reply("log.calls.get");
        sdk.control.reply("log.calls.clear");
        return text;
    }

    SimSdk sdk;
    SimCameraHandles g1;
};

TEST(ZelStringToDoubleTable, GermanRulesFirst)
{
    struct Case {
        const char* text;
        double value;
        bool ok;
    };
    const Case cases[] = {{"1,5", 1.5, true},     {"1.5", 1.5, true},       {"1.500", 1500.0, true},
                          {"abc", 0.0, false},    {"-0,25", -0.25, true},   {"-0.25", -0.25, true},
                          {"1.234,5", 1234.5, true}, {"1,234.5", 1234.5, true}, {"", 0.0, false}};
    for (const Case& c : cases) {
        bool ok = !c.ok;
        EXPECT_DOUBLE_EQ(ZelUtil::StringToDouble(QString::fromUtf8(c.text), &ok), c.value) << c.text;
        EXPECT_EQ(ok, c.ok) << c.text;
    }
}

// One write and the value read back afterwards, in order, over every type.
TEST_F(ZelFeatureValueTest, WritesAndReadsEveryType)
{
    sdk.control.reply(std::string("feature.range ") + remote + " TestFloatFixed -100 100000");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* feature;
        QVariant write;
        bool ok;
        QVariant after;
    };
    const Case cases[] = {
        // integer: numbers and decimal text; no text that is no number, no value off the grid
        {"Width", QVariant(640), true, QVariant(qlonglong(640))},
        {"Width", QVariant(QStringLiteral(" 320 ")), true, QVariant(qlonglong(320))},
        {"Width", QVariant(QStringLiteral("abc")), false, QVariant(qlonglong(320))},
        {"Width", QVariant(QStringLiteral("")), false, QVariant(qlonglong(320))},
        {"Width", QVariant(), false, QVariant(qlonglong(320))},
        {"Width", QVariant(nan), false, QVariant(qlonglong(320))},
        {"Width", QVariant(641), false, QVariant(qlonglong(320))},
        {"Width", QVariant(4096), false, QVariant(qlonglong(320))},
        // float: German rules first, then English; no text that neither reads
        {"TestFloatFixed", QVariant(QStringLiteral("1,5")), true, QVariant(1.5)},
        {"TestFloatFixed", QVariant(QStringLiteral("1.5")), true, QVariant(1.5)},
        {"TestFloatFixed", QVariant(QStringLiteral("1.500")), true, QVariant(1500.0)},
        {"TestFloatFixed", QVariant(QStringLiteral("-0,25")), true, QVariant(-0.25)},
        {"TestFloatFixed", QVariant(QStringLiteral("abc")), false, QVariant(-0.25)},
        {"TestFloatFixed", QVariant(QStringLiteral("nan")), false, QVariant(-0.25)},
        {"TestFloatFixed", QVariant(QStringLiteral("inf")), false, QVariant(-0.25)},
        {"TestFloatFixed", QVariant(1.125), true, QVariant(1.125)},
        {"TestFloatFixed", QVariant(7), true, QVariant(7.0)},
        {"TestFloatFixed", QVariant(1e9), false, QVariant(7.0)},
        // boolean: true/false and numbers; "off", "no" and "abc" write nothing
        {"ReverseX", QVariant(true), true, QVariant(true)},
        {"ReverseX", QVariant(QStringLiteral("FALSE")), true, QVariant(false)},
        {"ReverseX", QVariant(QStringLiteral("1")), true, QVariant(true)},
        {"ReverseX", QVariant(QStringLiteral("0")), true, QVariant(false)},
        {"ReverseX", QVariant(QStringLiteral("off")), false, QVariant(false)},
        {"ReverseX", QVariant(QStringLiteral("no")), false, QVariant(false)},
        {"ReverseX", QVariant(QStringLiteral("true")), true, QVariant(true)},
        {"ReverseX", QVariant(QStringLiteral("abc")), false, QVariant(true)},
        {"ReverseX", QVariant(0), true, QVariant(false)},
        // string: UTF-8 both ways, the SDK's length limit holds
        {"DeviceUserID", QVariant(QString::fromUtf8("Kamera \xC3\xBC" "ber")), true,
         QVariant(QString::fromUtf8("Kamera \xC3\xBC" "ber"))},
        {"DeviceUserID", QVariant(QStringLiteral("a name far too long for it")), false,
         QVariant(QString::fromUtf8("Kamera \xC3\xBC" "ber"))},
        // enumeration: the entry value; read back as the entry value
        {"TriggerMode", QVariant(1), true, QVariant(qlonglong(1))},
        {"TriggerMode", QVariant(QStringLiteral("abc")), false, QVariant(qlonglong(1))},
        {"TriggerMode", QVariant(5), false, QVariant(qlonglong(1))},
        {"TriggerMode", QVariant(QStringLiteral("0")), true, QVariant(qlonglong(0))},
        // read-only and locked features refuse
        {"DeviceModelName", QVariant(QStringLiteral("X")), false, QVariant(QStringLiteral("SIM-G1280M"))},
        {"TestLocked", QVariant(1), false, QVariant(qlonglong(0))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.feature << " <- " << c.write.toString().toStdString());
        EXPECT_EQ(ZelUtil::SetFeatureValue(g1.remote, c.feature, c.write, false), c.ok);
        const QVariant after = read(c.feature);
        EXPECT_EQ(after.userType(), c.after.userType());
        if (c.after.userType() == QMetaType::Double)
            EXPECT_DOUBLE_EQ(after.toDouble(), c.after.toDouble());
        else
            EXPECT_EQ(after, c.after);
    }
}

TEST_F(ZelFeatureValueTest, UnconvertibleTextIsTracedAndNeverWritten)
{
    EXPECT_FALSE(ZelUtil::SetFeatureValue(g1.remote, "ReverseX", QVariant(QStringLiteral("off")), false));
    EXPECT_FALSE(ZelUtil::SetFeatureValue(g1.remote, "Width", QVariant(QStringLiteral("abc")), false));
    EXPECT_FALSE(ZelUtil::SetFeatureValue(g1.remote, "TestFloatFixed", QVariant(QStringLiteral("zwei")), false));
    const std::string log = calls();
    EXPECT_EQ(log.find("OrvFeatureSetValue"), std::string::npos) << log;
    const QStringList lines = traces();
    ASSERT_EQ(lines.size(), 3) << lines.join('\n').toStdString();
    EXPECT_EQ(lines[0], "[Kalveen2] 0x2 ZelUtil::SetFeatureValue Failed! Value not convertible:Reverse X off");
    EXPECT_EQ(lines[1], "[Kalveen2] 0x2 ZelUtil::SetFeatureValue Failed! Value not convertible:Width abc");
    EXPECT_TRUE(lines[2].endsWith("Value not convertible:Test Float Fixed zwei")) << lines[2].toStdString();
}

TEST_F(ZelFeatureValueTest, RefusedWritesAreTracedWithTheSdkCode)
{
    EXPECT_FALSE(ZelUtil::SetFeatureValue(g1.remote, "Width", QVariant(641), false));
    EXPECT_FALSE(ZelUtil::SetFeatureValue(g1.remote, "DeviceModelName", QVariant(QStringLiteral("X")), false));
    EXPECT_EQ(traces(), QStringList({"[Kalveen2] 0x2 ZelUtil::SetFeatureValue Failed! OrvFeatureSetValueInt64:Width -1010",
                                     "[Kalveen2] 0x2 ZelUtil::SetFeatureValue Failed! "
                                     "OrvFeatureSetValueString:Device Model Name -1007"}));
}

TEST_F(ZelFeatureValueTest, CommandsExecuteWhateverTheValue)
{
    for (const QVariant& value : {QVariant(1), QVariant(), QVariant(QStringLiteral("abc"))})
        EXPECT_TRUE(ZelUtil::SetFeatureValue(g1.remote, "TriggerSoftware", value, false));
    const std::string log = calls();
    size_t executed = 0;
    for (size_t at = log.find("OrvFeatureCommandExecute("); at != std::string::npos;
         at = log.find("OrvFeatureCommandExecute(", at + 1)) {
        EXPECT_NE(log.find("timeout=2000, verify=false) = 0", at), std::string::npos);
        ++executed;
    }
    EXPECT_EQ(executed, 3u) << log;

    // A command refused by the camera fails with its code.
    sdk.control.reply(std::string("feature.fail ") + remote + " TriggerSoftware execute -1011");
    EXPECT_FALSE(ZelUtil::SetFeatureValue(g1.remote, "TriggerSoftware", QVariant(1), false));
    EXPECT_EQ(traces(), QStringList("[Kalveen2] 0x2 ZelUtil::SetFeatureValue Failed! OrvFeatureCommandExecute  -1011"));
}

TEST_F(ZelFeatureValueTest, ReadsWithoutValue)
{
    // Not available, not readable: an invalid value and no getter called.
    QVariant value(42);
    EXPECT_TRUE(ZelUtil::GetFeatureValue(g1.remote, "TestUnavailable", value, false, false));
    EXPECT_FALSE(value.isValid());
    value = 42;
    EXPECT_TRUE(ZelUtil::GetFeatureValue(g1.remote, "TestWriteOnly", value, false, false));
    EXPECT_FALSE(value.isValid());
    EXPECT_EQ(calls().find("OrvFeatureGetValue"), std::string::npos);

    // A readable feature of a type without value (a register) leaves it alone.
    value = 42;
    EXPECT_TRUE(ZelUtil::GetFeatureValue(g1.remote, "Shading_MapBuffer", value, false, false));
    EXPECT_EQ(value, QVariant(42));

    // -1005 delivers the value outside the range.
    sdk.control.reply(std::string("feature.set ") + remote + " Width 5000");
    EXPECT_EQ(read("Width"), QVariant(qlonglong(5000)));

    // A failing getter leaves the value and reports its code.
    sdk.control.reply(std::string("feature.fail ") + remote + " Gain get -1013");
    traces();
    value = 42;
    EXPECT_FALSE(ZelUtil::GetFeatureValue(g1.remote, "Gain", value, false, false));
    EXPECT_EQ(value, QVariant(42));
    EXPECT_EQ(traces(), QStringList("[Kalveen2] 0x2 ZelUtil::GetFeatureValue Failed! OrvFeatureGetValueFloat:Gain -1013"));

    // Unknown names, null handles and null names.
    EXPECT_FALSE(ZelUtil::GetFeatureValue(g1.remote, "NoSuchFeature", value, false, false));
    EXPECT_FALSE(ZelUtil::GetFeatureValue(0, "Width", value, false, false));
    EXPECT_FALSE(ZelUtil::GetFeatureValue(g1.remote, static_cast<const char*>(nullptr), value, false, false));
    EXPECT_FALSE(ZelUtil::SetFeatureValue(g1.remote, "NoSuchFeature", QVariant(1), false));
    EXPECT_EQ(traces(), QStringList({"[Kalveen2] 0x2 ZelUtil::GetFeatureValue Failed! OrvFeatureGetByName:-1009",
                                     "[Kalveen2] 0x2 ZelUtil::GetFeatureValue Failed! Invalid parameter",
                                     "[Kalveen2] 0x2 ZelUtil::GetFeatureValue Failed! Invalid parameter",
                                     "[Kalveen2] 0x2 ZelUtil::SetFeatureValue Failed! OrvFeatureGetByName:-1009"}));
    EXPECT_EQ(value, QVariant(42));
}

TEST_F(ZelFeatureValueTest, FlagsReachTheSdk)
{
    QVariant value;
    ASSERT_TRUE(ZelUtil::GetFeatureValue(g1.remote, "Width", value, true, true));
    ASSERT_TRUE(ZelUtil::GetFeatureValue(g1.remote, "ReverseX", value, true, true));
    ASSERT_TRUE(ZelUtil::GetFeatureValue(g1.remote, "TriggerMode", value, true, true));
    ASSERT_TRUE(ZelUtil::SetFeatureValue(g1.remote, "Gain", QVariant(2.5), true));
    const std::string log = calls();
    EXPECT_NE(log.find("OrvFeatureGetValueInt64(module=remote:GEV-G1-0001, feature=\"Width\", flag1=true, flag2=true)"),
              std::string::npos)
        << log;
    // Booleans are read without flags, enumerations without the second.
    EXPECT_NE(log.find("feature=\"ReverseX\", flag1=false, flag2=false)"), std::string::npos) << log;
    EXPECT_NE(log.find("feature=\"TriggerMode\", flag1=true, flag2=false)"), std::string::npos) << log;
    EXPECT_NE(log.find("feature=\"Gain\", value=2.5, verify=true)"), std::string::npos) << log;
}

} // namespace
