#include "AcqTestRig.h"

#include "ZelAcqThreadAutoSave.h"
#include "ZelAppSettings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

namespace {

class ZelAcqAutoSaveTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { prepareAcqTestProcess("core_ZelAcqAutoSave_test"); }

    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        ZelAppSettings::instance()->setValue("Directory", "SaveImageDir", folder.path());
        ZelAppSettings::instance()->setValue("Settings", "AutoSaveFormat", "RAW");
        rig.smallImages();
        rig.stream("manual", "on");
        ASSERT_TRUE(rig.start());
    }
    void TearDown() override { rig.engine->Stop(); }

    QStringList files() const { return QDir(folder.path()).entryList(QDir::Files, QDir::Name); }
    ZelAcqThreadAutoSave* autoSave() const { return rig.engine->Producer()->autoSaveThread(); }
    // Streams n images one by one.
    void stream(int n)
    {
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(rig.frames(1, ++delivered));
    }

    QTemporaryDir folder;
    AcqRig rig{"GEV-G1-0001"};
    uint64_t delivered = 0;
};

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST_F(ZelAcqAutoSaveTest, WritesItsCountAndNeverOverwrites)
{
    rig.engine->Producer()->enableAutoSave(true, 3, "P");
    stream(5);
    ASSERT_TRUE(spinUntil([&] { return !autoSave()->isRunning() && rig.record.saved >= 3; }));
    spinFor(20); // no further report
    EXPECT_EQ(rig.record.saved, 3);
    EXPECT_EQ(files(), QStringList({"P0.RAW", "P1.RAW", "P2.RAW"}));
    const QByteArray first = contents(folder.path() + "/P0.RAW");
    EXPECT_EQ(first.size(), 320 * 240);

    // A second run keeps the files of the first.
    rig.engine->Producer()->enableAutoSave(true, 2, "P");
    stream(3);
    ASSERT_TRUE(spinUntil([&] { return !autoSave()->isRunning(); }));
    EXPECT_EQ(files(), QStringList({"P0.RAW", "P1.RAW", "P2.RAW", "P3.RAW", "P4.RAW"}));
    EXPECT_EQ(contents(folder.path() + "/P0.RAW"), first);
    EXPECT_NE(contents(folder.path() + "/P3.RAW"), first) << "a later image";
}

TEST_F(ZelAcqAutoSaveTest, EndsAfterItsCountWhenAWriteFails)
{
    rig.control("call.fail OrvUtilSaveImageToFile -1013");
    rig.engine->Producer()->enableAutoSave(true, 3, "F");
    stream(3);
    ASSERT_TRUE(spinUntil([&] { return !autoSave()->isRunning() && rig.record.saved >= 2; }));
    spinFor(20); // no further report
    EXPECT_EQ(rig.record.saved, 2);
    EXPECT_EQ(files().size(), 2);
    EXPECT_EQ(autoSave()->SavedCount(), 2);
}

TEST_F(ZelAcqAutoSaveTest, SlowWritesKeepTheQueueBounded)
{
    rig.control("call.delay OrvUtilSaveImageToFile 150");
    rig.engine->Producer()->enableAutoSave(true, 100, "S");
    stream(30);
    // Images that came while the queue was full were skipped, not copied.
    EXPECT_LE(autoSave()->QueuedCount(), ZelAcqThreadAutoSave::MaxQueued + autoSave()->SavedCount() + 1);
    // Switching off ends it after the write in progress.
    rig.engine->Producer()->enableAutoSave(false, 0, QString());
    ASSERT_TRUE(spinUntil([&] { return !autoSave()->isRunning(); }));
    const int written = files().size();
    stream(2);
    spinFor(50);
    EXPECT_EQ(files().size(), written);
}
