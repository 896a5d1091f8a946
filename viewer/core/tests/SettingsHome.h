// Test helpers for the settings object: fresh objects outside the singleton,
// each test in a home folder of its own.
#ifndef SETTINGSHOME_H
#define SETTINGSHOME_H

#include "TestHome.h"
#include "ZelAppSettings.h"

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>

#include <memory>

class ZelAppSettingsTestAccess
{
public:
    static std::unique_ptr<ZelAppSettings> make() { return std::unique_ptr<ZelAppSettings>(new ZelAppSettings); }
};

class SettingsHomeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        useTestHome(home.path());
        configDir = home.path() + "/.config/NORRIK-OMBREL GmbH/Kalveen";
        dataDir = home.path() + "/Documents/Kalveen";
    }

    QTemporaryDir home;
    QString configDir;
    QString dataDir;
};

#endif // SETTINGSHOME_H
