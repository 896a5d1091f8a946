#include "SettingsHome.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

namespace {

using ZelDefaultProfilesTest = SettingsHomeTest;

QStringList row(const char* cells)
{
    QStringList result;
    for (const char* c = cells; *c; ++c)
        result << (*c == 'x' ? "-1" : QString(QLatin1Char(*c)));
    return result;
}

} // namespace

TEST_F(ZelDefaultProfilesTest, ColourProfilesReadBack)
{
    ZelAppSettingsTestAccess::make();
    QSettings store(configDir + "/ccprofiles.ini", QSettings::IniFormat);
    EXPECT_EQ(store.childGroups(), QStringList({"Profile SRGB", "Profile SRGB Weighted"}));

    const char* const colours[24] = {"#745143", "#c79381", "#5b7a9c", "#5a6c40", "#8280b0", "#5cbeac",
                                     "#e07c2f", "#445baa", "#c65261", "#5e3a6a", "#9fbd3f", "#e6a227",
                                     "#233f93", "#43954a", "#b43139", "#eec614", "#c15497", "#0088aa",
                                     "#f5f5f3", "#c8caca", "#a1a3a3", "#79797a", "#525456", "#313133"};
    const char* const weights[24] = {"0.2176", "0.6475", "0.3846", "0.2937", "0.4757", "0.7803",
                                     "0.6027", "0.2507", "0.3915", "0.1426", "0.7993", "0.7869",
                                     "0.1327", "0.4616", "0.2732", "1.033",  "0.3969", "0.3921",
                                     "1.415",  "1.032",  "0.6992", "0.4026", "0.1984", "0.06659"};
    QStringList keys;
    for (int i = 0; i < 24; ++i)
        keys << QString("%1").arg(i, 2, 10, QLatin1Char('0'));

    store.beginGroup("Profile SRGB");
    EXPECT_EQ(store.childKeys(), keys);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(store.value(keys[i]).toStringList(), QStringList({colours[i], "1"})) << i;
    store.endGroup();

    store.beginGroup("Profile SRGB Weighted");
    EXPECT_EQ(store.childKeys(), keys);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(store.value(keys[i]).toStringList(), QStringList({colours[i], weights[i]})) << i;
    EXPECT_EQ(store.value("15").toStringList(), QStringList({"#eec614", "1.033"}));
    store.endGroup();

    QFile file(configDir + "/ccprofiles.ini");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("[Profile%20SRGB]")) << text.constData();
    EXPECT_TRUE(text.contains("00=#745143, 1\n")) << text.constData();
}

TEST_F(ZelDefaultProfilesTest, DefectMatchesReadBack)
{
    auto settings = ZelAppSettingsTestAccess::make();
    EXPECT_TRUE(settings->defectMatches->group().isEmpty());
    EXPECT_EQ(settings->defectMatches->childGroups().size(), 34);

    QSettings store(configDir + "/deffmatch.ini", QSettings::IniFormat);
    const QStringList groups = store.childGroups();
    ASSERT_EQ(groups.size(), 34);
    const QStringList border = row("xxxxx");
    for (int i = 0; i < 34; ++i) {
        const QString group = QString("DefMatch%1").arg(i, 2, 10, QLatin1Char('0'));
        EXPECT_EQ(groups[i], group);
        store.beginGroup(group);
        EXPECT_EQ(store.childKeys(), QStringList({"a", "b", "c", "d", "e", "f"})) << i;
        EXPECT_EQ(store.value("a").toStringList(), border) << i;
        EXPECT_EQ(store.value("e").toStringList(), border) << i;
        EXPECT_EQ(store.value("c").toStringList().value(2), "1") << i;
        for (const char* key : {"b", "c", "d"})
            EXPECT_EQ(store.value(key).toStringList().size(), 5) << i << key;
        const int code = store.value("f").toInt();
        EXPECT_TRUE(code >= 101 && code <= 113) << i;
        store.endGroup();
    }

    // Spot checks across the table.
    struct Case {
        const char* group;
        const char* b;
        const char* c;
        const char* d;
        int f;
    };
    const Case cases[] = {
        {"DefMatch00", "x000x", "x010x", "x000x", 111}, {"DefMatch13", "xx10x", "x110x", "x000x", 106},
        {"DefMatch17", "xxxxx", "0011x", "xxxxx", 101}, {"DefMatch22", "x011x", "x111x", "x011x", 102},
        {"DefMatch23", "x0xxx", "xx1xx", "xxxxx", 102}, {"DefMatch30", "xxxxx", "x01xx", "xxxxx", 101},
        {"DefMatch33", "xxxxx", "01110", "xxxxx", 113},
    };
    for (const Case& c : cases) {
        store.beginGroup(c.group);
        EXPECT_EQ(store.value("b").toStringList(), row(c.b)) << c.group;
        EXPECT_EQ(store.value("c").toStringList(), row(c.c)) << c.group;
        EXPECT_EQ(store.value("d").toStringList(), row(c.d)) << c.group;
        EXPECT_EQ(store.value("f").toInt(), c.f) << c.group;
        store.endGroup();
    }
}

TEST_F(ZelDefaultProfilesTest, ExistingFilesAreNeverRewritten)
{
    ASSERT_TRUE(QDir().mkpath(configDir));
    {
        QSettings profiles(configDir + "/ccprofiles.ini", QSettings::IniFormat);
        profiles.setValue("Mine/00", QStringList({"#000000", "2"}));
        QSettings matches(configDir + "/deffmatch.ini", QSettings::IniFormat);
        matches.setValue("DefMatch00/f", 999);
    }
    ZelAppSettingsTestAccess::make();
    QSettings profiles(configDir + "/ccprofiles.ini", QSettings::IniFormat);
    EXPECT_EQ(profiles.allKeys(), QStringList({"Mine/00"}));
    QSettings matches(configDir + "/deffmatch.ini", QSettings::IniFormat);
    EXPECT_EQ(matches.allKeys(), QStringList({"DefMatch00/f"}));
    EXPECT_EQ(matches.value("DefMatch00/f").toInt(), 999);
}
