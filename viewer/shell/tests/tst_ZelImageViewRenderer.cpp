#include <QtTest>

#include <cmath>

#include "ImageViewRig.h"
#include "ImageViewTestImages.h"

namespace {

const QRgb kGrey = qRgb(128, 128, 128);
const QRgb kBlack = qRgb(0, 0, 0);

// True when a view pixel's centre lies so close to a block edge of the image
// that either neighbour may be sampled.
bool nearEdge(double imageCoordinate, int block)
{
    const double b = imageCoordinate / block;
    return std::fabs(b - std::round(b)) < 0.02;
}

} // namespace

class TestZelImageViewRenderer : public QObject
{
    Q_OBJECT
private slots:
    void rendersImage_data();
    void rendersImage();
    void drawnPixelIsThePixelUnderTheCursor();
    void wrapsWithoutCopying();
    void shortRecordDrawsOnlyWholeRows();
    void noImageIsBlackOnGrey();
    void gridLines_data();
    void gridLines();
    void gridWithZeroSpacingDrawsNothing();
    void paintEventDrawsTheView();
};

void TestZelImageViewRenderer::rendersImage_data()
{
    QTest::addColumn<bool>("colour");
    QTest::addColumn<QSize>("imageSize");
    QTest::addColumn<int>("block");
    QTest::addColumn<double>("zoom");
    QTest::addColumn<QSize>("viewSize");
    QTest::addColumn<QPoint>("scroll");

    QTest::newRow("mono odd width 100%") << false << QSize(7, 5) << 1 << 1.0 << QSize(12, 9) << QPoint();
    QTest::newRow("bgrx odd width 100%") << true << QSize(5, 3) << 1 << 1.0 << QSize(9, 6) << QPoint();
    QTest::newRow("mono odd width 300%") << false << QSize(13, 9) << 1 << 3.0 << QSize(50, 40) << QPoint();
    QTest::newRow("bgrx odd width 200%") << true << QSize(11, 7) << 1 << 2.0 << QSize(30, 20) << QPoint();
    QTest::newRow("mono 150%") << false << QSize(9, 7) << 1 << 1.5 << QSize(20, 15) << QPoint();
    QTest::newRow("mono 50%") << false << QSize(26, 18) << 2 << 0.5 << QSize(20, 12) << QPoint();
    QTest::newRow("bgrx 25%") << true << QSize(44, 36) << 4 << 0.25 << QSize(15, 12) << QPoint();
    QTest::newRow("mono 100% scrolled") << false << QSize(41, 33) << 1 << 1.0 << QSize(20, 16) << QPoint(9, 3);
    QTest::newRow("mono 200% scrolled by odd values") << false << QSize(40, 30) << 1 << 2.0 << QSize(20, 16)
                                                      << QPoint(7, 5);
    QTest::newRow("bgrx 300% scrolled to the end") << true << QSize(31, 23) << 1 << 3.0 << QSize(25, 20)
                                                   << QPoint(68, 49);
    QTest::newRow("mono 50% scrolled") << false << QSize(82, 66) << 2 << 0.5 << QSize(15, 12) << QPoint(5, 3);
}

void TestZelImageViewRenderer::rendersImage()
{
    QFETCH(bool, colour);
    QFETCH(QSize, imageSize);
    QFETCH(int, block);
    QFETCH(double, zoom);
    QFETCH(QSize, viewSize);
    QFETCH(QPoint, scroll);

    const TestImage image = TestImage::make(imageSize.width(), imageSize.height(), colour, block);
    ImageViewRig rig(viewSize);
    rig.controller->setZoom(zoom);
    rig.controller->setImageSize(image.width, image.height, zoom);
    rig.controller->setImage(image.info);
    rig.scrollTo(scroll.x(), scroll.y());
    QCOMPARE(rig.horizontal.value(), scroll.x());
    QCOMPARE(rig.vertical.value(), scroll.y());

    const QImage out = rig.render();
    int checked = 0;
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            const double ix = (x + scroll.x() + 0.5) / zoom;
            const double iy = (y + scroll.y() + 0.5) / zoom;
            if (nearEdge(ix, block) || nearEdge(iy, block))
                continue;
            const QRgb want = (ix >= image.width || iy >= image.height) ? kGrey
                                                                          : image.expected(int(ix), int(iy));
            if (out.pixel(x, y) != want)
                QFAIL(qPrintable(QString("view pixel (%1, %2): got %3, want %4")
                                     .arg(x).arg(y).arg(out.pixel(x, y), 8, 16).arg(want, 8, 16)));
            ++checked;
        }
    }
    QVERIFY2(checked > out.width() * out.height() / 3, "too few pixels could be checked");
}

void TestZelImageViewRenderer::drawnPixelIsThePixelUnderTheCursor()
{
    const TestImage image = TestImage::make(40, 30, true);
    ImageViewRig rig(QSize(33, 27));
    const double zoom = 2.5;
    rig.controller->setZoom(zoom);
    rig.controller->setImageSize(image.width, image.height, zoom);
    rig.controller->setImage(image.info);
    rig.scrollTo(7, 3);

    const QImage out = rig.render();
    int checked = 0;
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            if (nearEdge((x + 7 + 0.5) / zoom, 1) || nearEdge((y + 3 + 0.5) / zoom, 1))
                continue;
            const QPoint p = rig.controller->pixelAt(QPoint(x, y));
            QVERIFY(p.x() >= 0 && p.y() >= 0);
            QCOMPARE(out.pixel(x, y), image.expected(p.x(), p.y()));
            ++checked;
        }
    }
    QVERIFY(checked > out.width() * out.height() / 2);
}

void TestZelImageViewRenderer::wrapsWithoutCopying()
{
    const TestImage mono = TestImage::make(7, 5, false);
    const QImage m = ZelImageViewRendererPainter::wrapDisplayImage(mono.info);
    QCOMPARE(m.size(), QSize(7, 5));
    QCOMPARE(m.bytesPerLine(), 7);
    QCOMPARE(static_cast<const void*>(m.constBits()), static_cast<const void*>(mono.pixels.data()));
    QCOMPARE(m.pixel(6, 4), mono.expected(6, 4));

    const TestImage bgrx = TestImage::make(5, 3, true);
    const QImage c = ZelImageViewRendererPainter::wrapDisplayImage(bgrx.info);
    QCOMPARE(c.bytesPerLine(), 20);
    QCOMPARE(static_cast<const void*>(c.constBits()), static_cast<const void*>(bgrx.pixels.data()));
    QCOMPARE(c.pixel(4, 2), bgrx.expected(4, 2));

    ORV_BUFFER_INFO info = mono.info;
    info.size = 7 * 3 + 6; // three whole rows and part of a fourth
    QCOMPARE(ZelImageViewRendererPainter::wrapDisplayImage(info).height(), 3);
    info.size = 0; // no size given: the record's height
    QCOMPARE(ZelImageViewRendererPainter::wrapDisplayImage(info).height(), 5);
    info.size = 6; // not one whole row
    QVERIFY(ZelImageViewRendererPainter::wrapDisplayImage(info).isNull());
    info = mono.info;
    info.pixels = nullptr;
    QVERIFY(ZelImageViewRendererPainter::wrapDisplayImage(info).isNull());
    info = mono.info;
    info.width = 0x80000000u; // wider than any image the view can address
    QVERIFY(ZelImageViewRendererPainter::wrapDisplayImage(info).isNull());
}

void TestZelImageViewRenderer::shortRecordDrawsOnlyWholeRows()
{
    TestImage image = TestImage::make(9, 6, false);
    image.info.size = 9 * 4;
    ImageViewRig rig(QSize(12, 8));
    rig.controller->setImageSize(9, 6, 1.0);
    rig.controller->setImage(image.info);
    const QImage out = rig.render();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x)
            QCOMPARE(out.pixel(x, y), (x < 9 && y < 4) ? image.expected(x, y) : kGrey);
}

void TestZelImageViewRenderer::noImageIsBlackOnGrey()
{
    ImageViewRig rig(QSize(30, 20));
    rig.controller->setImageSize(20, 10, 1.0);
    const QImage out = rig.render();
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            QCOMPARE(out.pixel(x, y), (x < 20 && y < 10) ? kBlack : kGrey);
}

void TestZelImageViewRenderer::gridLines_data()
{
    QTest::addColumn<int>("colourIndex");
    QTest::addColumn<QRgb>("colour");
    QTest::newRow("white") << 0 << qRgb(255, 255, 255);
    QTest::newRow("black") << 1 << qRgb(0, 0, 0);
    QTest::newRow("red") << 2 << qRgb(255, 0, 0);
    QTest::newRow("green") << 3 << qRgb(0, 255, 0);
    QTest::newRow("blue") << 4 << qRgb(0, 0, 255);
    QTest::newRow("other index") << 7 << qRgb(255, 255, 255);
}

void TestZelImageViewRenderer::gridLines()
{
    QFETCH(int, colourIndex);
    QFETCH(QRgb, colour);
    const TestImage image = TestImage::make(100, 100, true);
    ImageViewRig rig(QSize(70, 50));
    rig.controller->setImageSize(100, 100, 1.0);
    rig.controller->setImage(image.info);
    rig.controller->setGridSize(16);
    rig.controller->setGridColor(colourIndex);
    rig.controller->setGridEnabled(true);

    const QImage out = rig.render();
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 70; ++x) {
            const bool line = (x > 0 && x % 16 == 0) || (y > 0 && y % 16 == 0);
            QCOMPARE(out.pixel(x, y), line ? colour : image.expected(x, y));
        }
    }
}

void TestZelImageViewRenderer::gridWithZeroSpacingDrawsNothing()
{
    const TestImage image = TestImage::make(100, 100, false, 100);
    ImageViewRig rig(QSize(20, 20));
    rig.controller->setImageSize(100, 100, 0.0125);
    rig.controller->setZoom(0.0125);
    rig.controller->setImage(image.info);
    rig.controller->setGridEnabled(true);
    QCOMPARE(rig.renderer.gridSpacing(), 0);
    const QImage out = rig.render();
    QCOMPARE(out.pixel(0, 0), image.expected(0, 0));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            if (x > 0 || y > 0)
                QCOMPARE(out.pixel(x, y), kGrey);
}

void TestZelImageViewRenderer::paintEventDrawsTheView()
{
    const TestImage image = TestImage::make(16, 12, false);
    ImageViewRig rig(QSize(40, 30));
    rig.controller->setZoom(2.0);
    rig.controller->setImageSize(16, 12, 2.0);
    rig.controller->setImage(image.info);
    const QImage painted = rig.renderer.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(painted, rig.render());
    QCOMPARE(painted.pixel(31, 23), image.expected(15, 11));
    QCOMPARE(painted.pixel(32, 0), kGrey);
}

QTEST_MAIN(TestZelImageViewRenderer)
#include "tst_ZelImageViewRenderer.moc"
