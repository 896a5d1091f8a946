#include "SettingsHome.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <memory>
#include <thread>

namespace {

class ZelAppSettingsTest : public SettingsHomeTest
{
protected:
    QString iniPath() const { return configDir + "/kalveen.ini"; }

    // Writes an existing "kalveen.ini" with the given Settings and Directory keys.
    void writeIni(const QVariantMap& settingsGroup, const QVariantMap& directoryGroup = QVariantMap())
    {
        ASSERT_TRUE(QDir().mkpath(configDir));
        QFile file(iniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        QSettings ini(iniPath(), QSettings::IniFormat);
        for (auto it = settingsGroup.begin(); it != settingsGroup.end(); ++it)
            ini.setValue("Settings/" + it.key(), it.value());
        for (auto it = directoryGroup.begin(); it != directoryGroup.end(); ++it)
            ini.setValue("Directory/" + it.key(), it.value());
        ini.sync();
    }

    QVariant stored(const QString& key) const
    {
        QSettings ini(iniPath(), QSettings::IniFormat);
        return ini.value(key);
    }
};

} // namespace

TEST_F(ZelAppSettingsTest, FoldersAreCreatedWithTheirParents)
{
    auto settings = ZelAppSettingsTestAccess::make();
    EXPECT_EQ(settings->configDir, configDir);
    EXPECT_EQ(settings->dataDir, dataDir);
    EXPECT_EQ(settings->imagesDir, dataDir + "/images");
    EXPECT_EQ(settings->logsDir, dataDir + "/logs");
    EXPECT_EQ(settings->shadingCorrDir, dataDir + "/ShadingCorr");
    EXPECT_EQ(settings->defectPixelCorrDir, dataDir + "/DefectPixelCorr");
    EXPECT_EQ(settings->fileAccessDir, dataDir + "/FileAccess");
    for (const QString& folder : {settings->configDir, settings->imagesDir, settings->logsDir,
                                  settings->shadingCorrDir, settings->defectPixelCorrDir, settings->fileAccessDir})
        EXPECT_TRUE(QFileInfo(folder).isDir()) << folder.toStdString();
    for (const char* name : {"kalveen.ini", "ccprofiles.ini", "deffmatch.ini"})
        EXPECT_TRUE(QFileInfo::exists(configDir + "/" + name)) << name;
}

TEST_F(ZelAppSettingsTest, NewFileHoldsEveryDefault)
{
    ZelAppSettingsTestAccess::make();
    QSettings ini(iniPath(), QSettings::IniFormat);
    const QVariantMap expected = {
        {"MainWindow/OffsetX", "0"},
        {"MainWindow/OffsetY", "0"},
        {"MainWindow/Width", "800"},
        {"MainWindow/Height", "600"},
        {"Settings/LogEnabled", "0"},
        {"Settings/DebugLevel", "0"},
        {"Settings/DebugLevelOrvF", "0"},
        {"Settings/FileLogging", "0"},
        {"Settings/WinDbg", "0"},
        {"Settings/FeatureVisibility", "2"},
        {"Settings/LastUsedTLType", "GEV"},
        {"Settings/SPEnabled", "0"},
        {"Settings/AutoSaveCount", "16"},
        {"Settings/AutoSaveFormat", "PNG"},
        {"Settings/LastUsedCLPort", ""},
        {"Settings/LSGraph1", ""},
        {"Settings/LSGraph2", ""},
        {"Settings/LSGraph3", ""},
        {"Settings/LSGraph4", ""},
        {"Settings/LSGraph5", ""},
        {"Settings/LSGraph6", ""},
        {"Settings/LSGraph7", ""},
        {"Settings/LSGraph8", ""},
        {"Directory/SaveImageDir", dataDir},
        {"Directory/LogFileDir", dataDir + "/logs"},
        {"Directory/SettingsFileDir", dataDir},
        {"Directory/SPSettingsFileDir", dataDir},
        {"Directory/SeqSettingsFileDir", dataDir},
        {"Directory/LutSettingsFileDir", dataDir},
        {"Directory/PDCSettingsFileDir", dataDir},
        {"Directory/SHCSettingsFileDir", dataDir},
        {"Directory/fileAccessFileDir", dataDir},
    };
    EXPECT_EQ(ini.allKeys().size(), 32);
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        ASSERT_TRUE(ini.contains(it.key())) << it.key().toStdString();
        EXPECT_EQ(ini.value(it.key()).toString(), it.value().toString()) << it.key().toStdString();
    }
    EXPECT_EQ(ini.childGroups(), QStringList({"Directory", "MainWindow", "Settings"}));
}

TEST_F(ZelAppSettingsTest, EmptyFileGetsTheEighteenRepairValuesOnly)
{
    writeIni({});
    ZelAppSettingsTestAccess::make();
    QSettings ini(iniPath(), QSettings::IniFormat);
    const QVariantMap expected = {
        {"Settings/LogEnabled", "0"},
        {"Settings/DebugLevel", "0"},
        {"Settings/DebugLevelOrvF", "0"},
        {"Settings/FileLogging", "0"},
        {"Settings/WinDbg", "0"},
        {"Settings/FeatureVisibility", "0"},
        {"Settings/LastUsedTLType", "GEV"},
        {"Settings/SPEnabled", "0"},
        {"Settings/AutoSaveCount", "16"},
        {"Settings/AutoSaveFormat", "PNG"},
        {"Directory/SaveImageDir", dataDir},
        {"Directory/LogFileDir", dataDir + "/logs"},
        {"Directory/SettingsFileDir", dataDir},
        {"Directory/SPSettingsFileDir", dataDir},
        {"Directory/SeqSettingsFileDir", dataDir},
        {"Directory/LutSettingsFileDir", dataDir},
        {"Directory/PDCSettingsFileDir", dataDir + "/DefectPixelCorr"},
        {"Directory/SHCSettingsFileDir", dataDir + "/ShadingCorr"},
    };
    QStringList keys = ini.allKeys();
    QStringList expectedKeys = expected.keys();
    keys.sort();
    expectedKeys.sort();
    EXPECT_EQ(keys, expectedKeys);
    for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_EQ(ini.value(it.key()).toString(), it.value().toString()) << it.key().toStdString();
}

TEST_F(ZelAppSettingsTest, RepairTable)
{
    struct Case {
        const char* key;
        QVariant value;
        QVariant after; // invalid: unchanged
    };
    const QVariant same;
    const Case cases[] = {
        {"AutoSaveCount", 0, 16},         {"AutoSaveCount", 10001, 16},     {"AutoSaveCount", 1, same},
        {"AutoSaveCount", 10000, same},   {"AutoSaveCount", "many", 16},    {"AutoSaveFormat", "png", same},
        {"AutoSaveFormat", "Raw", same},  {"AutoSaveFormat", "JPG", "PNG"}, {"FeatureVisibility", 3, same},
        {"FeatureVisibility", 4, 0},      {"FeatureVisibility", -1, 0},     {"LastUsedTLType", "u3v", same},
        {"LastUsedTLType", "Mixed", same}, {"LastUsedTLType", "USB", "GEV"}, {"DebugLevel", -1, 0},
        {"DebugLevel", "verbose", 0},     {"DebugLevel", 8, same},          {"DebugLevel", "4294967296", same},
        {"WinDbg", "", 0},                {"SPEnabled", 1, same},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value.toString().toStdString());
        writeIni({{c.key, c.value}});
        ZelAppSettingsTestAccess::make();
        const QVariant expected = c.after.isValid() ? c.after : c.value;
        EXPECT_EQ(stored(QStringLiteral("Settings/") + c.key).toString(), expected.toString());
        QFile::remove(iniPath());
    }
}

TEST_F(ZelAppSettingsTest, DirectoryKeysAreProbed)
{
    const QString kept = home.path() + "/kept";
    ASSERT_TRUE(QDir().mkpath(kept));
    writeIni({}, {{"SaveImageDir", kept},
                  {"LogFileDir", home.path() + "/deleted"},
                  {"PDCSettingsFileDir", home.path() + "/gone"},
                  {"SHCSettingsFileDir", ""},
                  {"fileAccessFileDir", home.path() + "/never-tested"}});
    ZelAppSettingsTestAccess::make();
    EXPECT_EQ(stored("Directory/SaveImageDir").toString(), kept);
    EXPECT_EQ(stored("Directory/LogFileDir").toString(), dataDir + "/logs");
    EXPECT_EQ(stored("Directory/PDCSettingsFileDir").toString(), dataDir + "/DefectPixelCorr");
    EXPECT_EQ(stored("Directory/SHCSettingsFileDir").toString(), dataDir + "/ShadingCorr");
    EXPECT_EQ(stored("Directory/fileAccessFileDir").toString(), home.path() + "/never-tested");
    EXPECT_FALSE(QFileInfo::exists(kept + "/Empty.txt"));
}

TEST_F(ZelAppSettingsTest, ValueAndSetValue)
{
    auto settings = ZelAppSettingsTestAccess::make();
    EXPECT_EQ(settings->value("Settings", "Missing", 7).toInt(), 7);
    EXPECT_FALSE(settings->settings->contains("Settings/Missing"));
    EXPECT_EQ(settings->value("Settings", "AutoSaveFormat", "BMP").toString(), "PNG");

    settings->setValue("Settings", "LastUsedCLPort", "COM3");
    EXPECT_EQ(settings->value("Settings", "LastUsedCLPort", QVariant()).toString(), "COM3");
    EXPECT_TRUE(settings->settings->group().isEmpty()) << "each call closes its group";
    settings.reset(); // the store writes its changes when deleted
    EXPECT_EQ(stored("Settings/LastUsedCLPort").toString(), "COM3");
}

TEST_F(ZelAppSettingsTest, ConcurrentUseKeepsGroupsApart)
{
    auto settings = ZelAppSettingsTestAccess::make();
    ZelAppSettings* shared = settings.get();
    const int rounds = 2000;
    int wrongReads = 0;
    // Standard threads: their join is a hand-over the race detector can see.
    std::thread reader([&] {
        for (int i = 0; i < rounds; ++i) {
            if (shared->value("Settings", "AutoSaveFormat", "missing").toString() != "PNG")
                ++wrongReads;
        }
    });
    for (int i = 0; i < rounds; ++i)
        shared->setValue("Directory", "Scratch", i);
    reader.join();
    EXPECT_EQ(wrongReads, 0);
    EXPECT_EQ(shared->value("Directory", "Scratch", -1).toInt(), rounds - 1);
    EXPECT_FALSE(shared->settings->contains("Directory/AutoSaveFormat"));
    EXPECT_FALSE(shared->settings->contains("Settings/Scratch"));
}

TEST_F(ZelAppSettingsTest, InstanceIsOneObject)
{
    // Qt takes the first thread that uses it for its main thread; were that
    // the short-lived thread below, Qt would never free its records of it
    // once it ended (a leak of Qt's own, which LeakSanitizer reports). In the
    // program the main thread comes first, and so it does here, whichever
    // thread makes the settings.
    ASSERT_NE(QThread::currentThread(), nullptr);
    ZelAppSettings* first = nullptr;
    ZelAppSettings* second = nullptr;
    std::thread other([&] { second = ZelAppSettings::instance(); });
    first = ZelAppSettings::instance();
    other.join();
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->configDir, configDir);
}
