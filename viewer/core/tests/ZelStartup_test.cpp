#include "ZelSdkMetaTypes.h"
#include "ZelStartup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QStyle>
#include <QVector>

namespace {

QStringList warnings;

void collect(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg && message.contains("must be set before"))
        warnings << message;
}

} // namespace

TEST(ZelStartup, PreparesTheApplicationBeforeItExists)
{
    const QtMessageHandler previous = qInstallMessageHandler(collect);
    ZelStartup::prepareApplication();

    static int argc = 1;
    static char name[] = "core_ZelStartup_test";
    static char* argv[] = {name, nullptr};
    // Kept for the life of the process, as the viewer's is.
    static QApplication* app = new QApplication(argc, argv);
    ASSERT_TRUE(app);

    EXPECT_TRUE(QCoreApplication::testAttribute(Qt::AA_EnableHighDpiScaling));
    EXPECT_EQ(QCoreApplication::applicationName(), "Kalveen");
    EXPECT_EQ(QCoreApplication::applicationVersion(), "2.5.15.3209");
    EXPECT_EQ(QCoreApplication::organizationName(), "NORRIK-OMBREL GmbH");
    EXPECT_FALSE(QCoreApplication::organizationDomain().isEmpty());
    EXPECT_EQ(QApplication::style()->objectName().toLower(), "fusion");
    qInstallMessageHandler(previous);
    // Qt warns when an attribute is set too late to take effect.
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join("\n").toStdString();
}

// Stand-ins for the two records of the tool libraries.
struct HistogramStandIn {
    int value;
};
struct PollingStandIn {
    int value;
};
Q_DECLARE_METATYPE(HistogramStandIn)
Q_DECLARE_METATYPE(PollingStandIn)

namespace {

void registerHistogramStandIn()
{
    qRegisterMetaType<HistogramStandIn>("ZelPixelHistogramData");
}

void registerPollingStandIn()
{
    qRegisterMetaType<PollingStandIn>("ZelSoftwarePollingItemInfo");
}

} // namespace

TEST(ZelStartup, RegistersTheTypesUnderTheirNamesInOrder)
{
    ZelStartup::registerMetaTypes(registerHistogramStandIn, registerPollingStandIn);
    // The element type of a list gets its id with the list, so
    // ORV_INTERFACE_INFO comes with ZelInterfaceInfoList and is left out of
    // the order check.
    const char* const names[] = {"ZelCameraInfo", "ZelCameraInfoList", "ZelInterfaceInfoList", "ZelCameraPtr",
                                 "ORV_DEVICE_INFO", "ORV_TL_INFO",
                                 "ZelPixelHistogramData", "ZelSoftwarePollingItemInfo",
                                 "ORV_EVENT_DS_ACQUISITION_DATA", "ORV_EVENT_REMOTE_DEVICE_DATA"};
    int previous = 0;
    for (const char* name : names) {
        const int id = QMetaType::type(name);
        EXPECT_NE(id, QMetaType::UnknownType) << name;
        EXPECT_GT(id, previous) << name << " is registered out of order";
        previous = id;
    }
    EXPECT_NE(QMetaType::type("ORV_INTERFACE_INFO"), QMetaType::UnknownType);
    EXPECT_NE(QMetaType::type("QVector<int>"), QMetaType::UnknownType);
    EXPECT_EQ(QMetaType::sizeOf(QMetaType::type("ORV_INTERFACE_INFO")), 3076);
    EXPECT_EQ(QMetaType::sizeOf(QMetaType::type("ORV_DEVICE_INFO")), 5648);
    EXPECT_EQ(QMetaType::sizeOf(QMetaType::type("ORV_TL_INFO")), 4108);
    EXPECT_EQ(QMetaType::sizeOf(QMetaType::type("ZelCameraInfo")), 12840);

    // A record survives a QVariant round trip byte for byte.
    ORV_DEVICE_INFO device = {};
    qstrncpy(device.id, "GEV-G1-0001", sizeof device.id);
    device.accessStatus = 2;
    const QVariant carried = QVariant::fromValue(device);
    const ORV_DEVICE_INFO back = carried.value<ORV_DEVICE_INFO>();
    EXPECT_EQ(memcmp(&device, &back, sizeof device), 0);
}
