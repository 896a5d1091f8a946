#include "ZelPixelExtractionThread.h"

#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <mutex>
#include <vector>

namespace {

constexpr quint64 Mono8 = 0x01080001;
constexpr quint64 Mono10 = 0x01100003;
constexpr quint64 Mono12Packed = 0x010C0006;
constexpr quint64 BayerRG8 = 0x01080009;
constexpr quint64 BayerGB8 = 0x0108000A;
constexpr quint64 BayerBG16 = 0x01100031;
constexpr quint64 RGB8 = 0x02180014;

struct Image
{
    ORV_BUFFER_INFO info{};
    std::vector<uint8_t> first;
    std::vector<uint16_t> second16;
    std::vector<uint8_t> second8;
};

Image mono8(int w, int h, std::vector<uint8_t> values)
{
    Image img;
    img.first = std::move(values);
    img.info.pixels = img.first.data();
    img.info.width = uint32_t(w);
    img.info.height = uint32_t(h);
    img.info.size = uint32_t(img.first.size());
    img.info.pixelType = Mono8;
    return img;
}

// The camera's own values in the second block, 8-bit or 16-bit.
Image cameraValues(quint64 format, int w, int h, std::vector<uint8_t> bytes, std::vector<uint16_t> words)
{
    Image img;
    img.second8 = std::move(bytes);
    img.second16 = std::move(words);
    img.first.assign(size_t(w) * h * 4, 0);
    img.info.pixels = img.first.data();
    img.info.secondBlock = img.second16.empty() ? static_cast<void*>(img.second8.data()) : img.second16.data();
    img.info.width = uint32_t(w);
    img.info.height = uint32_t(h);
    img.info.pixelType = format;
    return img;
}

Image raw8(quint64 format, int w, int h, std::vector<uint8_t> values)
{
    return cameraValues(format, w, h, std::move(values), {});
}

Image words(quint64 format, int w, int h, std::vector<uint16_t> values)
{
    return cameraValues(format, w, h, {}, std::move(values));
}

struct Counts
{
    std::vector<qulonglong> c[3];
    explicit Counts(int bins) { for (auto& a : c) a.assign(size_t(bins), 0); }
    qulonglong* const* arrays() { ptrs[0] = c[0].data(); ptrs[1] = c[1].data(); ptrs[2] = c[2].data(); return ptrs; }
    qulonglong total(int ch) const { qulonglong t = 0; for (auto v : c[ch]) t += v; return t; }
    qulonglong* ptrs[3];
};

// value -> count for the non-zero bins of a channel
QMap<int, qulonglong> nonZero(const std::vector<qulonglong>& bins)
{
    QMap<int, qulonglong> out;
    for (size_t i = 0; i < bins.size(); ++i)
        if (bins[i])
            out[int(i)] = bins[i];
    return out;
}

} // namespace

class tst_ZelPixelExtractionThread : public QObject
{
    Q_OBJECT

private slots:
    void countPixels_data()
    {
        QTest::addColumn<int>("image");
        QTest::addColumn<QRect>("aoi");
        QTest::addColumn<bool>("counted");
        QTest::addColumn<QString>("expected");  // "ch:value=count ..."

        QTest::newRow("mono8 full") << 0 << QRect(0, 0, 4, 2) << true << "0:0=2 0:5=5 0:255=1";
        QTest::newRow("mono8 (1,1,3,1)") << 0 << QRect(1, 1, 3, 1) << true << "0:5=3";
        QTest::newRow("mono8 past right") << 0 << QRect(2, 0, 3, 1) << false << "";
        QTest::newRow("mono8 past bottom") << 0 << QRect(0, 1, 4, 2) << false << "";
        QTest::newRow("mono8 negative left") << 0 << QRect(-1, 0, 2, 1) << false << "";
        QTest::newRow("mono8 negative top") << 0 << QRect(0, -1, 2, 2) << false << "";
        QTest::newRow("bayerRG8 2x2") << 1 << QRect(0, 0, 2, 2) << true << "0:10=1 1:20=1 1:30=1 2:40=1";
        QTest::newRow("bayerRG8 at (1,1) keeps red red") << 2 << QRect(1, 1, 2, 2) << true << "0:10=1 1:20=1 1:30=1 2:40=1";
        QTest::newRow("bayerGB8 2x2") << 3 << QRect(0, 0, 2, 2) << true << "0:30=1 1:10=1 1:40=1 2:20=1";
        QTest::newRow("bayerBG16 2x2") << 4 << QRect(0, 0, 2, 2) << true << "0:400=1 1:200=1 1:300=1 2:100=1";
        QTest::newRow("mono12packed 0xABC0") << 5 << QRect(0, 0, 1, 1) << true << "0:2748=1";
        QTest::newRow("mono10 above max") << 6 << QRect(0, 0, 2, 1) << true << "0:7=1";
        QTest::newRow("rgb8 not counted") << 7 << QRect(0, 0, 1, 1) << false << "";
        QTest::newRow("invalid aoi") << 0 << QRect() << false << "";
    }

    void countPixels()
    {
        QFETCH(int, image);
        QFETCH(QRect, aoi);
        QFETCH(bool, counted);
        QFETCH(QString, expected);

        std::vector<Image> images;
        images.push_back(mono8(4, 2, {0, 0, 5, 255, 5, 5, 5, 5}));
        images.push_back(raw8(BayerRG8, 2, 2, {10, 20, 30, 40}));
        // 3 x 3: the 2 x 2 cell at (1, 1) sits on an odd offset; the image's
        // own pattern decides which site is red.
        images.push_back(raw8(BayerRG8, 3, 3, {0, 0, 0, 0, 40, 30, 0, 20, 10}));
        images.push_back(raw8(BayerGB8, 2, 2, {10, 20, 30, 40}));
        images.push_back(words(BayerBG16, 2, 2, {100, 200, 300, 400}));
        images.push_back(words(Mono12Packed, 1, 1, {0xABC0}));
        images.push_back(words(Mono10, 2, 1, {1500, 7}));
        images.push_back(raw8(RGB8, 1, 1, {1, 2, 3}));
        const Image& img = images[size_t(image)];

        const int bins = img.info.pixelType == BayerBG16 ? 65536 : img.info.pixelType == Mono12Packed ? 4096
                       : img.info.pixelType == Mono10 ? 1024 : 256;
        Counts counts(bins);
        QCOMPARE(ZelPixelExtractionThread::countPixels(img.info, aoi, counts.arrays()), counted);
        QStringList got;
        for (int ch = 0; ch < 3; ++ch) {
            const auto bins = nonZero(counts.c[ch]);
            for (auto it = bins.begin(); it != bins.end(); ++it)
                got << QString("%1:%2=%3").arg(ch).arg(it.key()).arg(it.value());
        }
        QCOMPARE(got.join(' '), expected);
    }

    void largeFlatImageCountsEveryPixel()
    {
        // Enough pixels per lane to exercise the partial counters.
        const int w = 2448, h = 2048;
        Image img = mono8(w, h, std::vector<uint8_t>(size_t(w) * h, 100));
        img.first[12345] = 7;
        Counts counts(256);
        QVERIFY(ZelPixelExtractionThread::countPixels(img.info, QRect(0, 0, w, h), counts.arrays()));
        QCOMPARE(counts.c[0][100], qulonglong(w) * h - 1);
        QCOMPARE(counts.c[0][7], qulonglong(1));
        QCOMPARE(counts.total(0), qulonglong(w) * h);
    }

    void startTwiceIsRefused()
    {
        ZelPixelExtractionThread thread;
        QVERIFY(thread.Start(QThread::InheritPriority));
        QVERIFY(!thread.Start(QThread::InheritPriority));
        QVERIFY(thread.isRunning());
    }

    void lastImageWinsAndItsMemoryMayBeReusedAtOnce()
    {
        ZelPixelExtractionThread thread;
        std::atomic<int> lastValue{-1};
        std::atomic<int> emitted{0};
        connect(&thread, &ZelPixelExtractionThread::pixelCountReady, this,
                [&](QRect, qulonglong* d0, qulonglong*, qulonglong*, quint64, int length) {
                    for (int v = 0; v < length; ++v)
                        if (d0[v]) lastValue = v;
                    ++emitted;
                }, Qt::DirectConnection);
        QVERIFY(thread.Start(QThread::InheritPriority));
        Image img = mono8(64, 64, std::vector<uint8_t>(64 * 64, 0));
        for (int round = 1; round <= 200; ++round) {
            std::fill(img.first.begin(), img.first.end(), uint8_t(round));
            thread.setImage(img.info, QRect(0, 0, 64, 64), 8);
            // The caller's memory is reused at once: the copy must hold.
            std::fill(img.first.begin(), img.first.end(), uint8_t(0));
        }
        QTRY_COMPARE_WITH_TIMEOUT(lastValue.load(), 200, 30000);
    }

    void aoiChangeAfterTheLastImageRecountsIt()
    {
        ZelPixelExtractionThread thread;
        std::mutex mutex;
        QRect lastAoi;
        qulonglong lastTotal = 0;
        connect(&thread, &ZelPixelExtractionThread::pixelCountReady, this,
                [&](QRect aoi, qulonglong* d0, qulonglong*, qulonglong*, quint64, int length) {
                    qulonglong total = 0;
                    for (int v = 0; v < length; ++v)
                        total += d0[v];
                    std::lock_guard<std::mutex> lock(mutex);
                    lastAoi = aoi;
                    lastTotal = total;
                }, Qt::DirectConnection);
        QVERIFY(thread.Start(QThread::InheritPriority));
        Image img = mono8(8, 8, std::vector<uint8_t>(64, 3));
        thread.setImage(img.info, QRect(0, 0, 8, 8), 8);
        const auto seen = [&](QRect aoi, qulonglong total) {
            std::lock_guard<std::mutex> lock(mutex);
            return lastAoi == aoi && lastTotal == total;
        };
        QTRY_VERIFY_WITH_TIMEOUT(seen(QRect(0, 0, 8, 8), 64), 30000);
        thread.setAOI(QRect(2, 2, 3, 2));
        QTRY_VERIFY_WITH_TIMEOUT(seen(QRect(2, 2, 3, 2), 6), 30000);
    }

    void destructionAlwaysEnds()
    {
        // Many rounds: idle, counting, and just after a hand-over.
        Image img = mono8(512, 512, std::vector<uint8_t>(512 * 512, 9));
        for (int round = 0; round < 200; ++round) {
            ZelPixelExtractionThread thread;
            QVERIFY(thread.Start(QThread::InheritPriority));
            if (round % 3 >= 1)
                thread.setImage(img.info, QRect(0, 0, 512, 512), 8);
            if (round % 3 == 2)
                thread.setAOI(QRect(1, 1, 100, 100));
        }
    }
};

QTEST_GUILESS_MAIN(tst_ZelPixelExtractionThread)
#include "tst_ZelPixelExtractionThread.moc"
