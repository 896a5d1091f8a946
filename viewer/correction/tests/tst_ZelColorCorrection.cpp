#include "../../core/tests/SimCameraSession.h"
#include "../../core/tests/TestHome.h"
#include "ChartDrag.h"

#include "ZelAppSettings.h"
#include "ZelColorCorrection.h"
#include "ZelDialogs.h"
#include "ZelFeatureManager.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QLabel>
#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

using Colours = QVector<QColor>;
using Values = QVector<double>;

constexpr quint64 Mono8 = 0x01080001;
constexpr quint64 BayerRG8 = 0x01080009;

// Colours from integer triples.
Colours colours(const std::function<QColor(int)>& patch, int count = 24)
{
    Colours out;
    for (int k = 0; k < count; ++k)
        out << patch(k);
    return out;
}

// Varied colours, so that the fit has full rank.
QColor varied(int k, int scale = 10, int base = 0)
{
    return QColor(base + scale * ((k * 7) % 19), base + scale * ((k * 11 + 3) % 19), base + scale * ((k * 13 + 5) % 19));
}

ZelColorCorrection::Profile profile(const Colours& refs, const Values& weights)
{
    ZelColorCorrection::Profile p;
    p.name = QStringLiteral("test");
    p.colours = refs;
    p.weights = weights;
    return p;
}

// An affine map with gains g (row by row) and offsets c, applied exactly.
QColor affine(const QColor& m, const Values& g, const Values& c)
{
    const double in[3] = {double(m.red()), double(m.green()), double(m.blue())};
    int out[3];
    for (int o = 0; o < 3; ++o)
        out[o] = int(std::lround(g[3 * o] * in[0] + g[3 * o + 1] * in[1] + g[3 * o + 2] * in[2] + c[o]));
    return QColor(out[0], out[1], out[2]);
}

// A record as the camera window hands it over: a C-heap copy of the image.
ORV_BUFFER_INFO record(const QImage& image, quint64 format, quint32 size = 0)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    ORV_BUFFER_INFO info{};
    info.width = quint32(rgb.width());
    info.height = quint32(rgb.height());
    info.size = size ? size : quint32(rgb.sizeInBytes());
    info.pixelType = format;
    info.pixels = std::malloc(info.size);
    std::memcpy(info.pixels, rgb.constBits(), std::min<size_t>(info.size, size_t(rgb.sizeInBytes())));
    return info;
}

using charttest::drag;

// An image whose 6 x 4 cells over the chart rectangle each have their own
// colour: the colour of cell k is varied(k, 12, 8).
QImage cellImage(QSize size, QRect chart)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    const int cw = chart.width() / 6, ch = chart.height() / 4;
    for (int k = 0; k < 24; ++k) {
        const QRect cell(chart.x() + (k % 6) * cw, chart.y() + (k / 6) * ch, cw, ch);
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x)
                image.setPixel(x, y, varied(k, 12, 8).rgb());
    }
    return image;
}

} // namespace

class TestZelColorCorrection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(useTestHome(home)); }
    void cleanup()
    {
        delete window;
        session.stop();
    }

    void construction();
    void fit_data();
    void fit();
    void previewIsClampedAndTruncated();
    void clippedPatchesAreLeftOut_data();
    void clippedPatchesAreLeftOut();
    void clippedPixelsMarkTheirPatch();
    void alikePatchesAreRefused();
    void wrongSizesAreRefused_data();
    void wrongSizesAreRefused();
    void chart_data();
    void chart();
    void narrowChartIsNotMeasured();
    void sourceImage();
    void profilesFromAStore();
    void localImage_data();
    void localImage();
    void resultView();
    void enableBoxFollowsTheCamera();
    void upload_data();
    void upload();
    void failedUploadStops();

private:
    ZelColorCorrection* make(ZelFeatureManager* remote = nullptr)
    {
        window = new ZelColorCorrection(remote, QStringLiteral("cam"));
        return window;
    }
    template <class T> T* child(const char* name) const { return window->findChild<T*>(QLatin1String(name)); }
    // A fit that succeeded, so that a refused one can be seen to keep it.
    void fitIdentity()
    {
        const Colours refs = colours([](int k) { return varied(k); });
        window->setProfiles({profile(refs, Values(24, 1.0))});
        window->setProfileIndex(0);
        window->setMeasuredColours(refs);
        QVERIFY(window->fitMatrix());
    }

    QTemporaryDir home;
    zeltest::SimCameraSession session;
    QPointer<ZelColorCorrection> window;
};

void TestZelColorCorrection::construction()
{
    make();
    QCOMPARE(window->windowTitle(), QString("Color Correction (cam)"));
    QVERIFY(window->isWindow());
    QVERIFY(!window->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(window->minimumSize() == QSize(550, 600));
    // The default profiles, in the store's order, with their 24 entries.
    auto* profiles = child<QComboBox>("Profile");
    QCOMPARE(profiles->count(), 2);
    QCOMPARE(profiles->itemText(0), QString("Profile SRGB"));
    QCOMPARE(profiles->itemText(1), QString("Profile SRGB Weighted"));
    QCOMPARE(window->profileIndex(), 0);
    QCOMPARE(window->profiles().at(1).colours.size(), 24);
    QCOMPARE(window->profiles().at(0).colours.at(0), QColor("#745143"));
    QVERIFY(window->profiles().at(1).weights != Values(24, 1.0));
    // The import button offers both sources, the live one by default.
    auto* import = child<QToolButton>("ImportSourceImg");
    QCOMPARE(import->defaultAction()->text(), QString("Import Live Image"));
    QCOMPARE(import->actions().size(), 2);
    QSignalSpy live(window.data(), &ZelColorCorrection::importLiveImg);
    import->defaultAction()->trigger();
    QCOMPARE(live.count(), 1);
    // View mode 0 hides the result group; the Result view shows it instead
    // of the generation controls.
    window->show();
    QVERIFY(!child<QGroupBox>("groupBox_2")->isVisible());
    QVERIFY(child<QPushButton>("GenerateCCM")->isVisible());
    child<QComboBox>("Viewer")->setCurrentIndex(1);
    QCOMPARE(window->viewMode(), 1);
    QVERIFY(child<QGroupBox>("groupBox_2")->isVisible());
    QVERIFY(!child<QPushButton>("GenerateCCM")->isVisible());
    QVERIFY(!child<QComboBox>("Profile")->isVisible());
    // Closing only hides it.
    window->close();
    QVERIFY(window);
}

void TestZelColorCorrection::fit_data()
{
    QTest::addColumn<Colours>("measured");
    QTest::addColumn<Colours>("references");
    QTest::addColumn<Values>("weights");
    QTest::addColumn<Values>("expected");
    QTest::addColumn<Colours>("preview");

    const Values identity{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    const Colours chart = colours([](int k) { return varied(k); });
    QTest::newRow("identity") << chart << chart << Values(24, 1.0) << identity << chart;

    const Colours half = colours([](int k) { return varied(k, 6); });
    const Colours twice = colours([](int k) { return varied(k, 12); });
    QTest::newRow("twice") << half << twice << Values(24, 1.0) << Values{2, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0} << twice;

    // Exact affine data with offsets, weighted as the weighted default profile.
    const Values g{2, 0, 0, 0, 1, 1, 1, 0, 1}, c{3, -5, 7};
    const Colours m = colours([](int k) { return varied(k, 5, 10); });
    const Colours refs = colours([&](int k) { return affine(m.at(k), g, c); });
    ZelColorCorrection probe(nullptr, "probe");
    const Values weighted = probe.profiles().at(1).weights;
    QTest::newRow("weighted affine") << m << refs << weighted << (g + c) << refs;

    QTest::newRow("weights 2") << chart << chart << Values(24, 2.0) << identity << chart;
}

void TestZelColorCorrection::fit()
{
    QFETCH(Colours, measured);
    QFETCH(Colours, references);
    QFETCH(Values, weights);
    QFETCH(Values, expected);
    QFETCH(Colours, preview);
    make();
    window->setProfiles({profile(references, weights)});
    window->setProfileIndex(0);
    window->setMeasuredColours(measured);
    QVERIFY(window->fitMatrix());
    const Values values = window->matrixValues();
    QCOMPARE(values.size(), 12);
    for (int i = 0; i < 12; ++i)
        QVERIFY2(std::abs(values.at(i) - expected.at(i)) < 1e-9,
                 qPrintable(QString("value %1: %2, expected %3").arg(i).arg(values.at(i), 0, 'g', 17).arg(expected.at(i))));
    QCOMPARE(window->correctedColours(), preview);
}

void TestZelColorCorrection::previewIsClampedAndTruncated()
{
    // Gains 1.3, 0.7 and 1 with offsets 3, 8 and -5 fit the first 23
    // patches exactly; the last, weighted 0, previews as 300.7, 12.9 and -5.
    const Values g{1.3, 0, 0, 0, 0.7, 0, 0, 0, 1}, c{3, 8, -5};
    Colours m = colours([](int k) { return varied(k, 10, 10); }, 23);
    Colours refs = colours([&](int k) { return affine(m.at(k), g, c); }, 23);
    Values weights(23, 1.0);
    m << QColor(229, 7, 0);
    refs << QColor(0, 0, 0);
    weights << 0.0;
    make();
    window->setProfiles({profile(refs, weights)});
    window->setProfileIndex(0);
    window->setMeasuredColours(m);
    QVERIFY(window->fitMatrix());
    QCOMPARE(window->correctedColours().at(23), QColor(255, 12, 0));
    QCOMPARE(window->correctedColours().mid(0, 23), refs.mid(0, 23));
}

void TestZelColorCorrection::clippedPatchesAreLeftOut_data()
{
    QTest::addColumn<QList<int>>("clippedHigh");  // patches with red at 255
    QTest::addColumn<QList<int>>("clippedLow");   // patches with blue at 0
    QTest::addColumn<bool>("fits");
    QTest::newRow("none") << QList<int>{} << QList<int>{} << true;
    QTest::newRow("bright") << QList<int>{1, 6, 18, 19} << QList<int>{} << true;
    QTest::newRow("bright and dark") << QList<int>{1, 6} << QList<int>{9, 23} << true;
    QTest::newRow("8 left") << QList<int>{0, 1, 2, 3, 4, 5, 6, 7} << QList<int>{8, 9, 10, 11, 12, 13, 14, 15} << true;
    QTest::newRow("7 left") << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 16} << QList<int>{8, 9, 10, 11, 12, 13, 14, 15}
                            << false;
}

void TestZelColorCorrection::clippedPatchesAreLeftOut()
{
    QFETCH(QList<int>, clippedHigh);
    QFETCH(QList<int>, clippedLow);
    QFETCH(bool, fits);
    // Exact affine data; a clipped patch's measurement is what the clipping
    // left of it, which would pull the fit away from the true map.
    const Values g{2, 0, 0, 0, 1, 1, 1, 0, 1}, c{3, -5, 7};
    Colours m = colours([](int k) { return varied(k, 5, 10); });
    const Colours exactRefs = colours([&](int k) { return affine(m.at(k), g, c); });
    for (int k : clippedHigh)
        m[k].setRed(255);
    for (int k : clippedLow)
        m[k].setBlue(0);
    make();
    fitIdentity();
    const Values before = window->matrixValues();
    window->setProfiles({profile(exactRefs, Values(24, 1.0))});
    window->setProfileIndex(0);
    window->setMeasuredColours(m);
    const int left = clippedHigh.size() + clippedLow.size();
    ZelDialogs::Script script;
    QCOMPARE(window->fitMatrix(), fits);
    if (!fits) {
        QCOMPARE(script.count(), 1);
        QCOMPARE(script.last().icon, QMessageBox::Critical);
        QVERIFY2(script.last().text.contains(QString("%1 of the 24 patches are clipped").arg(left)),
                 qPrintable(script.last().text));
        QVERIFY(script.last().text.contains("at least 8"));
        QCOMPARE(window->matrixValues(), before);
        return;
    }
    QCOMPARE(script.count(), 0);
    const Values values = window->matrixValues();
    const Values expected = g + c;
    for (int i = 0; i < 12; ++i)
        QVERIFY2(std::abs(values.at(i) - expected.at(i)) < 1e-9,
                 qPrintable(QString("value %1: %2, expected %3").arg(i).arg(values.at(i)).arg(expected.at(i))));
    QCOMPARE(window->leftOutCount(), left);
    for (int k = 0; k < 24; ++k)
        QCOMPARE(window->leftOutPatches().at(k), clippedHigh.contains(k) || clippedLow.contains(k));
    QCOMPARE(window->leftOutText(), left ? QString("%1 of 24 patches left out of the fit (crossed out): a channel "
                                                   "is clipped at 0 or 255.")
                                                   .arg(left)
                                         : QString("All 24 patches used in the fit."));
}

void TestZelColorCorrection::clippedPixelsMarkTheirPatch()
{
    // One pixel at 255 in the measured square of patch 2, one at 0 in that
    // of patch 9: their means stay inside the range, but the pixel says the
    // patch was clipped. Patch 23's square reaches past the image.
    const QRect chartRect(0, 0, 360, 240);
    QImage image = cellImage(chartRect.size(), chartRect).copy(0, 0, 360, 210);
    image.setPixel(2 * 60 + 25, 25, qRgb(255, 100, 100));
    image.setPixel(3 * 60 + 30, 60 + 30, qRgb(100, 0, 100));
    make();
    ORV_BUFFER_INFO info = record(image, BayerRG8);
    window->setSourceImage(&info);
    drag(window->chartScene(), QPoint(0, 0), QPoint(360, 240));
    window->measurePatches();
    const QVector<bool> clipped = window->clippedPatches();
    QCOMPARE(clipped.size(), 24);
    for (int k = 0; k < 24; ++k)
        QVERIFY2(clipped.at(k) == (k == 2 || k == 9 || k >= 18), qPrintable(QString("patch %1").arg(k)));
    QVERIFY(window->measuredColours().at(2).red() < 255);

    // The generated result says so and crosses them out.
    window->setProfiles({profile(colours([](int k) { return varied(k, 12, 8); }), Values(24, 1.0))});
    window->setProfileIndex(0);
    ZelDialogs::Script script;
    child<QPushButton>("GenerateCCM")->click();
    QCOMPARE(script.count(), 0);
    QCOMPARE(window->viewMode(), 1);
    QCOMPARE(child<QLabel>("labelLeftOut")->text(), window->leftOutText());
    QVERIFY(child<QLabel>("labelLeftOut")->text().startsWith("8 of 24 patches left out"));
    int crossed = 0;
    for (QGraphicsItem* item : window->resultScene()->items()) {
        if (auto* line = qgraphicsitem_cast<QGraphicsLineItem*>(item)) {
            // Over the measured square of the patch only.
            const QPointF centre = line->line().center();
            const int k = int(centre.y()) / 100 * 6 + int(centre.x()) / 100;
            QVERIFY(int(centre.x()) % 100 == 75 && int(centre.y()) % 100 == 25);
            QVERIFY(clipped.at(k));
            ++crossed;
        }
    }
    QCOMPARE(crossed, 8 * 4);
}

void TestZelColorCorrection::alikePatchesAreRefused()
{
    make();
    fitIdentity();
    const Values before = window->matrixValues();
    const Colours corrected = window->correctedColours();
    window->setMeasuredColours(Colours(24, QColor(90, 90, 90)));
    ZelDialogs::Script script;
    QVERIFY(!window->fitMatrix());
    QCOMPARE(script.count(), 1);
    QCOMPARE(script.last().icon, QMessageBox::Critical);
    QVERIFY(script.last().text.contains("too much alike"));
    QCOMPARE(window->matrixValues(), before);
    QCOMPARE(window->correctedColours(), corrected);
    for (double v : window->matrixValues())
        QVERIFY(std::isfinite(v));
}

void TestZelColorCorrection::wrongSizesAreRefused_data()
{
    QTest::addColumn<int>("measured");
    QTest::addColumn<int>("references");
    QTest::addColumn<int>("weights");
    QTest::addColumn<int>("index");
    QTest::newRow("23 measured") << 23 << 24 << 24 << 0;
    QTest::newRow("23 weights") << 24 << 24 << 23 << 0;
    QTest::newRow("23 references") << 24 << 23 << 24 << 0;
    QTest::newRow("index -1") << 24 << 24 << 24 << -1;
    QTest::newRow("index past the last") << 24 << 24 << 24 << 1;
}

void TestZelColorCorrection::wrongSizesAreRefused()
{
    QFETCH(int, measured);
    QFETCH(int, references);
    QFETCH(int, weights);
    QFETCH(int, index);
    make();
    fitIdentity();
    const Values before = window->matrixValues();
    const Colours corrected = window->correctedColours();
    ZelDialogs::Script script;
    window->setProfiles({profile(colours([](int k) { return varied(k); }, references), Values(weights, 1.0))});
    window->setProfileIndex(index);
    window->setMeasuredColours(colours([](int k) { return varied(k, 9); }, measured));
    QVERIFY(!window->fitMatrix());
    QCOMPARE(window->matrixValues(), before);
    QCOMPARE(window->correctedColours(), corrected);
}

void TestZelColorCorrection::chart_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QRect>("firstSquare");
    QTest::addColumn<QSize>("cell");

    QTest::newRow("3 : 2") << QPoint(100, 100) << QPoint(460, 340) << QRect(120, 120, 20, 20) << QSize(60, 60);
    QTest::newRow("3 : 1") << QPoint(0, 0) << QPoint(360, 120) << QRect(20, 5, 20, 20) << QSize(60, 30);
    QTest::newRow("right to left") << QPoint(460, 100) << QPoint(100, 340) << QRect() << QSize();
    QTest::newRow("bottom to top") << QPoint(100, 340) << QPoint(460, 100) << QRect() << QSize();
}

void TestZelColorCorrection::chart()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(QRect, firstSquare);
    QFETCH(QSize, cell);
    make();
    const QRect chartRect(from, to - QPoint(1, 1));
    ORV_BUFFER_INFO info = record(cellImage(QSize(480, 360), chartRect.normalized()), BayerRG8);
    window->setSourceImage(&info);
    drag(window->chartScene(), from, to);
    const QList<QGraphicsRectItem*> squares = window->chartScene()->patches();
    if (firstSquare.isNull()) {
        QVERIFY(squares.isEmpty());
        return;
    }
    QCOMPARE(squares.size(), 24);
    QCOMPARE(squares.first()->rect(), QRectF(firstSquare));
    QCOMPARE(squares.first()->data(0).toPoint(), firstSquare.topLeft());
    // Each square lies centred in its cell and is measured where it is drawn.
    for (int k = 0; k < 24; ++k) {
        const QRect square = squares.at(k)->rect().toRect();
        const QRect c(from.x() + (k % 6) * cell.width(), from.y() + (k / 6) * cell.height(), cell.width(),
                      cell.height());
        QVERIFY(c.contains(square));
        QVERIFY(std::abs(square.center().x() - c.center().x()) <= 1);
        QCOMPARE(squares.at(k)->data(0).toPoint(), square.topLeft());
    }
    window->measurePatches();
    QCOMPARE(window->measuredColours(), colours([](int k) { return varied(k, 12, 8); }));
}

void TestZelColorCorrection::narrowChartIsNotMeasured()
{
    make();
    ORV_BUFFER_INFO info = record(cellImage(QSize(100, 100), QRect(0, 0, 60, 40)), BayerRG8);
    window->setSourceImage(&info);
    drag(window->chartScene(), QPoint(5, 5), QPoint(15, 50));
    QCOMPARE(window->chartScene()->patches().size(), 24);
    ZelDialogs::Script script;
    child<QPushButton>("GenerateCCM")->click();
    QCOMPARE(script.count(), 1);
    QVERIFY(script.last().text.contains("too small"));
    QVERIFY(window->matrixValues().isEmpty());
    QCOMPARE(window->viewMode(), 0);
}

void TestZelColorCorrection::sourceImage()
{
    make();
    // Blue, green, red and an ignored byte per pixel.
    const uint8_t bytes[] = {10, 20, 30, 0, 200, 100, 50, 77};
    ORV_BUFFER_INFO info{};
    info.width = 2;
    info.height = 1;
    info.size = sizeof bytes;
    info.pixelType = BayerRG8;
    info.pixels = std::malloc(sizeof bytes);
    std::memcpy(info.pixels, bytes, sizeof bytes);
    window->setSourceImage(&info);
    QCOMPARE(window->sourceImage().size(), QSize(2, 1));
    QCOMPARE(QColor(window->sourceImage().pixel(0, 0)), QColor(30, 20, 10));
    QCOMPARE(QColor(window->sourceImage().pixel(1, 0)), QColor(50, 100, 200));

    // A mono record and a short one are refused, their blocks freed once
    // (AddressSanitizer watches), and the image shown stays.
    ZelDialogs::Script script;
    ORV_BUFFER_INFO mono = record(QImage(4, 4, QImage::Format_RGB32), Mono8);
    window->setSourceImage(&mono);
    QCOMPARE(script.count(), 1);
    QCOMPARE(script.last().title, QString("Color Correction"));
    QCOMPARE(script.last().text, QString("Image Format Not Supported"));
    QCOMPARE(script.last().icon, QMessageBox::Information);
    QVERIFY(!mono.pixels);
    ORV_BUFFER_INFO shortRecord = record(QImage(4, 4, QImage::Format_RGB32), BayerRG8, 4 * 4 * 4 - 1);
    window->setSourceImage(&shortRecord);
    QCOMPARE(script.count(), 2);
    QVERIFY(!shortRecord.pixels);
    QCOMPARE(window->sourceImage().size(), QSize(2, 1));

    // The next accepted image replaces the held one.
    ORV_BUFFER_INFO next = record(cellImage(QSize(8, 8), QRect(0, 0, 6, 4)), BayerRG8);
    window->setSourceImage(&next);
    QCOMPARE(window->sourceImage().size(), QSize(8, 8));
}

void TestZelColorCorrection::profilesFromAStore()
{
    QTemporaryDir dir;
    QSettings store(dir.filePath("profiles.ini"), QSettings::IniFormat);
    store.beginGroup("B plain");
    store.setValue("01", QStringList{"#102030"});
    store.setValue("00", QStringList{"#ff0000", "2.5"});
    store.endGroup();
    store.beginGroup("A empty");
    store.endGroup();
    store.beginGroup("C");
    store.setValue("00", QStringList{"#00ff00", "0,5"});
    store.endGroup();
    store.sync();
    make();
    window->readProfiles(&store);
    auto* combo = child<QComboBox>("Profile");
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(0), QString("B plain"));
    QCOMPARE(combo->itemText(1), QString("C"));
    QCOMPARE(window->profileIndex(), 0);
    const QList<ZelColorCorrection::Profile> profiles = window->profiles();
    QCOMPARE(profiles.size(), 2);
    QCOMPARE(profiles.at(0).colours, Colours({QColor("#ff0000"), QColor("#102030")}));
    QCOMPARE(profiles.at(0).weights, Values({2.5, 1.0}));
    combo->setCurrentIndex(1);
    QCOMPARE(window->profileIndex(), 1);
    // A null store changes nothing.
    window->readProfiles(nullptr);
    QCOMPARE(window->profiles().size(), 2);
}

void TestZelColorCorrection::localImage_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("message");
    QTest::newRow("32-bit RGB") << "chart.png" << true << "";
    QTest::newRow("with alpha") << "alpha.png" << false << "";
    QTest::newRow("not an image") << "broken.png" << false << "Failed!";
}

void TestZelColorCorrection::localImage()
{
    QFETCH(QString, file);
    QFETCH(bool, accepted);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QVERIFY(cellImage(QSize(60, 40), QRect(0, 0, 60, 40)).save(dir.filePath("chart.png")));
    QImage alpha(30, 20, QImage::Format_ARGB32);
    alpha.fill(qRgba(1, 2, 3, 100));
    QVERIFY(alpha.save(dir.filePath("alpha.png")));
    QFile broken(dir.filePath("broken.png"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("no image here");
    broken.close();

    make();
    ORV_BUFFER_INFO info = record(cellImage(QSize(8, 8), QRect(0, 0, 6, 4)), BayerRG8);
    window->setSourceImage(&info);
    drag(window->chartScene(), QPoint(0, 0), QPoint(6, 4));
    child<QComboBox>("Viewer")->setCurrentIndex(1);
    ZelDialogs::Script script;
    script.answer(QStringList{dir.filePath("alpha.png"), dir.filePath(file)});
    auto* import = child<QToolButton>("ImportSourceImg");
    for (QAction* action : import->actions()) {
        if (action->text() == "Import Local Image")
            action->trigger();
    }
    QCOMPARE(script.requests().first().kind, ZelDialogs::Kind::OpenFileNames);
    QCOMPARE(script.requests().first().title, QString("image paths"));
    QVERIFY(!script.requests().first().hasParent);
    QCOMPARE(ZelAppSettings::instance()->value("Directory", "PDCSettingsFileDir").toString(), dir.path());
    QCOMPARE(window->viewMode(), 0);
    if (accepted) {
        QCOMPARE(window->sourceImage().size(), QSize(60, 40));
        QVERIFY(window->chartScene()->patches().isEmpty());  // the chart is drawn again
    } else {
        QCOMPARE(window->sourceImage().size(), QSize(8, 8));
        QCOMPARE(window->chartScene()->patches().size(), 24);
    }
    QCOMPARE(script.count(), message.isEmpty() ? 1 : 2);
    if (!message.isEmpty()) {
        QCOMPARE(script.last().title, QString("Load Image"));
        QCOMPARE(script.last().text, dir.filePath(file) + message);
        QCOMPARE(script.last().icon, QMessageBox::Critical);
    }
}

void TestZelColorCorrection::resultView()
{
    make();
    const QRect chartRect(0, 0, 360, 240);
    ORV_BUFFER_INFO info = record(cellImage(chartRect.size(), chartRect), BayerRG8);
    window->setSourceImage(&info);
    drag(window->chartScene(), QPoint(0, 0), QPoint(360, 240));
    const Colours refs = colours([](int k) { return varied(k, 12, 8); });
    window->setProfiles({profile(refs, Values(24, 1.0))});
    window->setProfileIndex(0);
    ZelDialogs::Script script;
    child<QPushButton>("GenerateCCM")->click();
    QCOMPARE(script.count(), 0);
    QCOMPARE(window->viewMode(), 1);
    QCOMPARE(child<QLabel>("labelLeftOut")->text(), QString("All 24 patches used in the fit."));

    // The identity, row by row, offsets last, with fixed decimals whatever
    // rounding noise the fit leaves.
    auto* table = child<QTableWidget>("tableWidget");
    const Values identity{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    for (int i = 0; i < 12; ++i) {
        QTableWidgetItem* item = table->item(i / 3, i % 3);
        QVERIFY(item);
        QCOMPARE(item->text(), identity.at(i) == 1 ? QString("1.0000") : QString("0.0000"));
        QVERIFY(!(item->flags() & Qt::ItemIsEditable));
    }
    QCOMPARE(table->rowCount(), 4);
    QCOMPARE(table->verticalHeaderItem(3)->text(), QString("Offset"));
    // The rows fill the table's height: no empty band that reads as a fifth row.
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QHeaderView* rows = table->verticalHeader();
    QVERIFY(rows->sectionViewportPosition(3) + rows->sectionSize(3) >= table->viewport()->height() - 1);

    // Reference, measured and twice the corrected colour per patch, framed.
    QGraphicsScene* scene = window->resultScene();
    auto squareAt = [scene](QPointF at) -> QGraphicsRectItem* {
        for (QGraphicsItem* item : scene->items(at)) {
            auto* square = qgraphicsitem_cast<QGraphicsRectItem*>(item);
            if (square && square->rect().size() == QSizeF(50, 50))
                return square;
        }
        return nullptr;
    };
    for (int k : {0, 7, 23}) {
        const QPointF block(100 * (k % 6), 100 * (k / 6));
        const QString rgb = QString("%1,%2,%3").arg(refs.at(k).red()).arg(refs.at(k).green()).arg(refs.at(k).blue());
        QCOMPARE(squareAt(block + QPointF(25, 25))->toolTip(), "reference: " + rgb);
        QCOMPARE(squareAt(block + QPointF(75, 25))->toolTip(), "uncorrected: " + rgb);
        QCOMPARE(squareAt(block + QPointF(25, 75))->toolTip(), "corrected: " + rgb);
        QCOMPARE(squareAt(block + QPointF(75, 75))->brush().color(), refs.at(k));
    }
    int frames = 0;
    for (QGraphicsItem* item : scene->items()) {
        auto* square = qgraphicsitem_cast<QGraphicsRectItem*>(item);
        if (square && square->rect().size() == QSizeF(100, 100) && square->pen().width() == 12)
            ++frames;
    }
    QCOMPARE(frames, 24);
}

void TestZelColorCorrection::enableBoxFollowsTheCamera()
{
    QVERIFY(session.start());
    QCOMPARE(session.run("feature.set remote:GEV-G2-0002 ColorTransformationEnable 1"), 0);
    ZelCamera* camera = session.open("GEV-G2-0002", "orv_gev_tl.cti");
    QVERIFY(camera);
    make(camera->remoteDeviceFeatures);
    auto* enable = child<QCheckBox>("EnableCCM");
    QVERIFY(enable->isChecked());
    const QStringList writes =
        session.writesDuring([enable] { enable->setChecked(false); }, {"ColorTransformationEnable"});
    QCOMPARE(writes, QStringList{"ColorTransformationEnable=false 0"});
}

void TestZelColorCorrection::upload_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::newRow("box clear") << false;
    QTest::newRow("box ticked") << true;
}

void TestZelColorCorrection::upload()
{
    QFETCH(bool, ticked);
    QVERIFY(session.start());
    ZelCamera* camera = session.open("GEV-G2-0002", "orv_gev_tl.cti");
    QVERIFY(camera);
    make(camera->remoteDeviceFeatures);
    auto* enable = child<QCheckBox>("EnableCCM");
    QVERIFY(!enable->isChecked());
    enable->setChecked(ticked);
    fitIdentity();
    const QStringList features{"ColorTransformationSelector", "ColorTransformationValueSelector",
                               "ColorTransformationValue", "ColorTransformationEnable"};
    const QStringList writes = session.writesDuring([this] { child<QPushButton>("pushButton")->click(); }, features);
    QStringList expected{"ColorTransformationSelector=4 0"};
    const Values values = window->matrixValues();
    for (int i = 0; i < 12; ++i)
        expected << QString("ColorTransformationValueSelector=%1 0").arg(i) << "ColorTransformationValue";
    if (!ticked)
        expected << "ColorTransformationEnable=true 0";
    QCOMPARE(writes.size(), expected.size());
    for (int i = 0; i < writes.size(); ++i) {
        if (expected.at(i) != "ColorTransformationValue") {
            QCOMPARE(writes.at(i), expected.at(i));
            continue;
        }
        // The value as written, to the last digit the log shows.
        const QStringList parts = writes.at(i).split(QRegularExpression("[= ]"));
        QCOMPARE(parts.size(), 3);
        QCOMPARE(parts.at(0), expected.at(i));
        QCOMPARE(parts.at(2), QString("0"));
        QVERIFY(std::abs(parts.at(1).toDouble() - values.at((i - 2) / 2)) < 1e-12);
    }
    QVERIFY(enable->isChecked());
    QString state;
    QCOMPARE(session.run("state.get remote:GEV-G2-0002 ColorTransformationEnable", &state), 0);
    QVERIFY2(state.contains("=1") || state.contains("=true"), qPrintable(state));
}

void TestZelColorCorrection::failedUploadStops()
{
    QVERIFY(session.start());
    ZelCamera* camera = session.open("GEV-G2-0002", "orv_gev_tl.cti");
    QVERIFY(camera);
    make(camera->remoteDeviceFeatures);
    fitIdentity();
    // The value selector's write at index 5 fails.
    QCOMPARE(session.run("feature.fail remote:GEV-G2-0002 ColorTransformationValueSelector set -1006 after=5"), 0);
    ZelDialogs::Script script;
    const QStringList writes = session.writesDuring(
        [this] { child<QPushButton>("pushButton")->click(); },
        {"ColorTransformationSelector", "ColorTransformationValueSelector", "ColorTransformationValue",
         "ColorTransformationEnable"});
    QCOMPARE(writes.size(), 1 + 2 * 5 + 1);
    QVERIFY(writes.last().startsWith("ColorTransformationValueSelector=5 "));
    QVERIFY(!writes.last().endsWith(" 0"));
    QCOMPARE(script.count(), 1);
    QCOMPARE(script.last().icon, QMessageBox::Critical);
    QVERIFY(script.last().text.contains("ColorTransformationValueSelector 5"));
    QVERIFY(!child<QCheckBox>("EnableCCM")->isChecked());
}

QTEST_MAIN(TestZelColorCorrection)
#include "tst_ZelColorCorrection.moc"
