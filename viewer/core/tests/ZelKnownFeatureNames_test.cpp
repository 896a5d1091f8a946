#include "ZelKnownFeatureNames.h"

#include <gtest/gtest.h>

#include <QSet>

TEST(KnownFeatureNames, HoldsEveryNameOnceInCategoryOrder)
{
    const QStringList names = allKnownFeatureNames();
    ASSERT_EQ(names.size(), 524);
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size());
    EXPECT_EQ(names.first(), "AcquisitionControl");
    EXPECT_EQ(names.last(), "LensControlLensInit");
    // Look-up table and user set categories follow the transport layer ones.
    EXPECT_LT(names.indexOf("GevSCZoneConfigurationLock"), names.indexOf("LUTControl"));
    EXPECT_LT(names.indexOf("LUTControl"), names.indexOf("UserSetControl"));
    EXPECT_EQ(names.indexOf("UserSetFeatureEnable") + 1, names.indexOf("MFTLensAvailable"));
}

TEST(KnownFeatureNames, NamesAreExactAndUntrimmed)
{
    const QStringList names = allKnownFeatureNames();
    for (const char* wanted : {"Gain", "GainAuto", "ChunkGain", "MFTFocalLength_Current",
                               "aPAUSEMACCtrlFramesReceived", "Scan3dAxisMax", "TLParamsLocked"})
        EXPECT_TRUE(names.contains(QString::fromLatin1(wanted))) << wanted;
    for (const QString& name : names) {
        EXPECT_FALSE(name.isEmpty());
        EXPECT_EQ(name, name.trimmed());
        EXPECT_FALSE(name.contains(' ')) << name.toStdString();
    }
}
