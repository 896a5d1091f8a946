#include "AcqTestRig.h"

#include "ZelThreadImageWriter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <atomic>
#include <mutex>
#include <vector>

namespace {

// A Mono8 image whose pixels all hold one value.
struct TestImage {
    explicit TestImage(uint8_t value)
        : pixels(64 * 32, value)
    {
        info.pixels = pixels.data();
        info.width = 64;
        info.height = 32;
        info.size = uint32_t(pixels.size());
        info.pixelType = 0x01080001;
    }
    std::vector<uint8_t> pixels;
    ORV_BUFFER_INFO info{};
};

class ZelThreadImageWriterTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { prepareAcqTestProcess("core_ZelThreadImageWriter_test"); }

    void SetUp() override
    {
        ASSERT_TRUE(sdk.ready());
        sdk.control.run("fault.clear");
        writer = std::make_unique<ZelThreadImageWriter>();
        // Direct: recorded on the writer thread as each save ends.
        QObject::connect(writer.get(), &ZelThreadImageWriter::imageWriteComplete, writer.get(),
                         [this](int status, const QString& name) {
                             std::lock_guard<std::mutex> lock(mutex);
                             results.append({status, QFileInfo(name).fileName()});
                         },
                         Qt::DirectConnection);
        ASSERT_TRUE(writer->start());
        EXPECT_FALSE(writer->start()) << "a running writer cannot start again";
    }
    void TearDown() override
    {
        writer.reset();
        sdk.control.run("fault.clear");
    }

    QString path(const QString& name) const { return folder.path() + "/" + name; }
    QStringList files() const { return QDir(folder.path()).entryList(QDir::Files, QDir::Name); }
    int completed()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return results.size();
    }
    QPair<int, QString> result(int i)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return results.value(i);
    }
    // The value of every pixel of a RAW file; -1 when missing or mixed.
    int rawValue(const QString& name) const
    {
        QFile file(path(name));
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        const QByteArray bytes = file.readAll();
        if (bytes.size() != 64 * 32 || bytes.count(bytes[0]) != bytes.size())
            return -1;
        return uint8_t(bytes[0]);
    }

    SimSdk sdk;
    QTemporaryDir folder;
    std::unique_ptr<ZelThreadImageWriter> writer;
    std::mutex mutex;
    QList<QPair<int, QString>> results;
};

} // namespace

TEST_F(ZelThreadImageWriterTest, OneNameSavesTheFirstCopy)
{
    TestImage image(7);
    writer->writeImage(image.info, false);
    image.pixels.assign(image.pixels.size(), 0); // the copy was made at once
    EXPECT_EQ(writer->QueuedCount(), 1);
    writer->setFileName(path("one.PNG"));
    ASSERT_TRUE(spinUntil([&] { return completed() == 1; }));
    EXPECT_EQ(result(0), qMakePair(0, QString("one.PNG")));
    EXPECT_TRUE(QFile::exists(path("one.PNG")));
    EXPECT_EQ(writer->QueuedCount(), 0);
}

TEST_F(ZelThreadImageWriterTest, FrontCopiesAreSavedFirst)
{
    TestImage older(1), newer(2);
    writer->writeImage(older.info, false);
    writer->writeImage(newer.info, true);
    writer->setFileName(path("a.raw"));
    ASSERT_TRUE(spinUntil([&] { return completed() == 1; }));
    EXPECT_EQ(rawValue("a.raw"), 2);
    EXPECT_EQ(writer->QueuedCount(), 1);
    writer->setFileName(path("b.raw"));
    ASSERT_TRUE(spinUntil([&] { return completed() == 2; }));
    EXPECT_EQ(rawValue("b.raw"), 1);
}

TEST_F(ZelThreadImageWriterTest, ANameWithoutCopyFailsAndTheWriterGoesOn)
{
    TestImage image(3);
    writer->writeImage(image.info, false);
    writer->clearQueue();
    EXPECT_EQ(writer->QueuedCount(), 0);
    writer->setFileName(path("nothing.raw"));
    ASSERT_TRUE(spinUntil([&] { return completed() == 1; }));
    EXPECT_EQ(result(0), qMakePair(-1, QString("nothing.raw")));
    EXPECT_FALSE(QFile::exists(path("nothing.raw")));
    EXPECT_TRUE(writer->isRunning());

    writer->writeImage(image.info, false);
    writer->setFileName(path("later.raw"));
    ASSERT_TRUE(spinUntil([&] { return completed() == 2; }));
    EXPECT_EQ(rawValue("later.raw"), 3);
}

TEST_F(ZelThreadImageWriterTest, NamesGivenWhileBusyPairWithTheirCopies)
{
    ASSERT_EQ(sdk.control.run("call.delay OrvUtilSaveImageToFile 300"), 0);
    TestImage first(10), second(20), third(30);
    writer->writeImage(first.info, false);
    writer->writeImage(second.info, false);
    writer->setFileName(path("first.raw"));
    ASSERT_TRUE(spinUntil([&] { return writer->QueuedCount() == 1; }));
    // The writer is saving: a new name neither waits for it nor gets lost,
    // and it keeps the copy that was first when it was given.
    writer->setFileName(path("second.raw"));
    EXPECT_EQ(completed(), 0);
    writer->writeImage(third.info, true);
    ASSERT_TRUE(spinUntil([&] { return completed() == 2; }));
    EXPECT_EQ(rawValue("first.raw"), 10);
    EXPECT_EQ(rawValue("second.raw"), 20);
    EXPECT_EQ(writer->QueuedCount(), 1);
}

TEST_F(ZelThreadImageWriterTest, RefusedSaveAndEmptyImage)
{
    TestImage empty(0);
    empty.info.pixels = nullptr;
    writer->writeImage(empty.info, false);
    EXPECT_EQ(writer->QueuedCount(), 0);

    ASSERT_EQ(sdk.control.run("call.fail OrvUtilSaveImageToFile -1013"), 0);
    TestImage image(5);
    writer->writeImage(image.info, false);
    writer->setFileName(path("refused.raw"));
    ASSERT_TRUE(spinUntil([&] { return completed() == 1; }));
    EXPECT_EQ(result(0), qMakePair(-1, QString("refused.raw")));
    EXPECT_EQ(writer->QueuedCount(), 0);
}

TEST_F(ZelThreadImageWriterTest, DestructionDiscardsUnnamedCopies)
{
    ASSERT_EQ(sdk.control.run("call.delay OrvUtilSaveImageToFile 200"), 0);
    TestImage named(1), unnamed(2);
    writer->writeImage(named.info, false);
    writer->writeImage(unnamed.info, false);
    writer->setFileName(path("named.raw"));
    writer.reset();
    // The copy that had its name is saved; the other is never written under
    // any name.
    EXPECT_EQ(files(), QStringList({"named.raw"}));
    EXPECT_EQ(rawValue("named.raw"), 1);

    // A writer that is not running takes no copies.
    ZelThreadImageWriter idle;
    idle.writeImage(unnamed.info, false);
    EXPECT_EQ(idle.QueuedCount(), 0);
}
