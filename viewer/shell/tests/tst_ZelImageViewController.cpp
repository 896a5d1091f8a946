#include <QtTest>

#include <QMouseEvent>

#include <limits>

#include "ImageViewRig.h"
#include "ImageViewTestImages.h"

class TestZelImageViewController : public QObject
{
    Q_OBJECT
private slots:
    void viewRects_data();
    void viewRects();
    void cursorMapping_data();
    void cursorMapping();
    void mouseMoveAndLeave();
    void zoomIsClampedAndNeverZeroOrNegative();
    void gridSpacingFollowsZoom();
    void unsupportedImageShowsNoticeAndValidImageShowsPictureAgain();
    void sizeChangeDropsTheImageRecord();
    void zeroSizeDropsTheImageRecord();
    void imageOfAnotherSizeIsTakenOver();
    void noSizeMeansNoView();
    void hugeRecordIsHandledSafely();
};

void TestZelImageViewController::viewRects_data()
{
    QTest::addColumn<double>("zoom");
    QTest::addColumn<QSize>("viewSize");
    QTest::addColumn<QPoint>("scroll");
    QTest::addColumn<QRect>("source");
    QTest::addColumn<QRect>("target");
    QTest::addColumn<int>("hMax");
    QTest::addColumn<int>("vMax");

    QTest::newRow("100 % in a larger view") << 1.0 << QSize(1200, 900) << QPoint() << QRect(0, 0, 1000, 800)
                                            << QRect(0, 0, 1000, 800) << 0 << 0;
    QTest::newRow("200 % scrolled") << 2.0 << QSize(600, 400) << QPoint(100, 50) << QRect(50, 25, 300, 200)
                                    << QRect(0, 0, 600, 400) << 1400 << 1200;
    QTest::newRow("50 %") << 0.5 << QSize(600, 400) << QPoint() << QRect(0, 0, 1000, 800)
                          << QRect(0, 0, 500, 400) << 0 << 0;
}

void TestZelImageViewController::viewRects()
{
    QFETCH(double, zoom);
    QFETCH(QSize, viewSize);
    QFETCH(QPoint, scroll);
    ImageViewRig rig(viewSize);
    const TestImage image = TestImage::make(1000, 800, false);
    rig.controller->setZoom(zoom);
    rig.controller->setImageSize(1000, 800, zoom);
    rig.controller->setImage(image.info);
    rig.scrollTo(scroll.x(), scroll.y());

    QTEST(rig.renderer.sourceRect(), "source");
    QTEST(rig.renderer.targetRect(), "target");
    QTEST(rig.horizontal.maximum(), "hMax");
    QTEST(rig.vertical.maximum(), "vMax");
    if (rig.horizontal.maximum() > 0)
        QCOMPARE(rig.horizontal.pageStep(), viewSize.width());
    if (rig.vertical.maximum() > 0)
        QCOMPARE(rig.vertical.pageStep(), viewSize.height());
}

void TestZelImageViewController::cursorMapping_data()
{
    QTest::addColumn<double>("zoom");
    QTest::addColumn<QPoint>("scroll");
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<QPoint>("pixel");

    // Image 1000 x 800 in a 600 x 400 view.
    QTest::newRow("200 % inside") << 2.0 << QPoint() << QPoint(10, 10) << QPoint(5, 5);
    QTest::newRow("200 % after scrolling") << 2.0 << QPoint(100, 50) << QPoint(0, 0) << QPoint(50, 25);
    QTest::newRow("200 % last pixel at full scroll") << 2.0 << QPoint(1400, 1200) << QPoint(599, 399)
                                                     << QPoint(999, 799);
    QTest::newRow("50 % last column") << 0.5 << QPoint() << QPoint(499, 0) << QPoint(999, 1);
    QTest::newRow("50 % right edge") << 0.5 << QPoint() << QPoint(500, 0) << QPoint(-1, -1);
    QTest::newRow("50 % bottom edge") << 0.5 << QPoint() << QPoint(0, 400) << QPoint(-1, -1);
    QTest::newRow("30 % below the image") << 0.3 << QPoint() << QPoint(10, 240) << QPoint(-1, -1);
    QTest::newRow("30 % last row") << 0.3 << QPoint() << QPoint(10, 239) << QPoint(35, 798);
    QTest::newRow("left of the view") << 1.0 << QPoint() << QPoint(-5, 3) << QPoint(-1, -1);
    QTest::newRow("left edge") << 1.0 << QPoint(0, 0) << QPoint(0, 0) << QPoint(0, 0);
}

void TestZelImageViewController::cursorMapping()
{
    QFETCH(double, zoom);
    QFETCH(QPoint, scroll);
    QFETCH(QPoint, pos);
    ImageViewRig rig(QSize(600, 400));
    rig.controller->setZoom(zoom);
    rig.controller->setImageSize(1000, 800, zoom);
    rig.scrollTo(scroll.x(), scroll.y());
    QCOMPARE(rig.horizontal.value(), scroll.x());

    QSignalSpy spy(rig.controller.get(), &ZelImageViewController::cursorPosChange);
    rig.controller->updateCursorPosition(pos);
    QCOMPARE(spy.count(), 1);
    QFETCH(QPoint, pixel);
    QCOMPARE(spy.at(0).at(0).toPoint(), pixel);
    QCOMPARE(rig.renderer.cursor().shape(), pixel.x() < 0 ? Qt::ArrowCursor : Qt::CrossCursor);
}

void TestZelImageViewController::mouseMoveAndLeave()
{
    ImageViewRig rig(QSize(600, 400));
    rig.controller->setZoom(2.0);
    rig.controller->setImageSize(1000, 800, 2.0);
    QSignalSpy spy(rig.controller.get(), &ZelImageViewController::cursorPosChange);

    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&rig.renderer, &move);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&rig.renderer, &leave);

    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).toPoint(), QPoint(5, 5));
    QCOMPARE(spy.at(1).at(0).toPoint(), QPoint(-1, -1));
}

void TestZelImageViewController::zoomIsClampedAndNeverZeroOrNegative()
{
    ImageViewRig rig(QSize(600, 400));
    rig.controller->setImageSize(1000, 800, 1.0);
    rig.controller->setZoom(2.0);
    for (double bad : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity()}) {
        rig.controller->setZoom(bad);
        QCOMPARE(rig.controller->zoom(), 2.0);
    }
    rig.controller->setZoom(1000.0);
    QCOMPARE(rig.controller->zoom(), ZelImageViewController::kMaxZoom);
    rig.controller->setZoom(1e-9);
    QCOMPARE(rig.controller->zoom(), ZelImageViewController::kMinZoom);
    QCOMPARE(rig.controller->imageSize(true), QSize(13, 10));
    // A zero zoom handed in with the size keeps the zoom in force.
    rig.controller->setImageSize(1000, 800, 0.0);
    QCOMPARE(rig.controller->zoom(), ZelImageViewController::kMinZoom);
    QCOMPARE(rig.controller->pixelAt(QPoint(12, 9)), QPoint(999, 760));
}

void TestZelImageViewController::gridSpacingFollowsZoom()
{
    ImageViewRig rig(QSize(600, 400));
    rig.controller->setGridSize(16);
    rig.controller->setZoom(1.5);
    QCOMPARE(rig.renderer.gridSpacing(), 24);
    rig.controller->setGridSize(64);
    QCOMPARE(rig.renderer.gridSpacing(), 96);
    rig.controller->setGridEnabled(true);
    rig.controller->setGridColor(3);
    QVERIFY(rig.renderer.gridEnabled());
    QCOMPARE(rig.renderer.gridColor(), 3);
}

void TestZelImageViewController::unsupportedImageShowsNoticeAndValidImageShowsPictureAgain()
{
    ImageViewRig rig(QSize(600, 400));
    const TestImage image = TestImage::make(64, 48, false);
    rig.controller->setImageSize(64, 48, 1.0);
    rig.controller->setImage(image.info);
    QVERIFY(!rig.renderer.isHidden());
    QVERIFY(rig.label.isHidden());
    QVERIFY(rig.renderer.hasImage());

    ORV_BUFFER_INFO empty;
    std::memset(&empty, 0, sizeof(empty));
    rig.controller->setImage(empty);
    QVERIFY(rig.renderer.isHidden());
    QVERIFY(!rig.label.isHidden());
    QCOMPARE(rig.label.text(), QString("PIXEL FORMAT NOT SUPPORTED"));
    QVERIFY(!rig.renderer.hasImage());

    rig.controller->setImage(image.info);
    QVERIFY(!rig.renderer.isHidden());
    QVERIFY(rig.label.isHidden());
    QVERIFY(rig.renderer.hasImage());
}

void TestZelImageViewController::sizeChangeDropsTheImageRecord()
{
    ImageViewRig rig(QSize(600, 400));
    const TestImage image = TestImage::make(64, 48, false);
    rig.controller->setImageSize(64, 48, 1.0);
    rig.controller->setImage(image.info);
    QVERIFY(rig.renderer.hasImage());
    // A new start: the old display buffer may be gone.
    rig.controller->setImageSize(64, 48, 1.0);
    QVERIFY(!rig.renderer.hasImage());
    QCOMPARE(rig.renderer.imageInfo().pixels, nullptr);
    const QImage out = rig.render();
    QCOMPARE(out.pixel(10, 10), qRgb(0, 0, 0));
}

void TestZelImageViewController::zeroSizeDropsTheImageRecord()
{
    ImageViewRig rig(QSize(600, 400));
    const TestImage image = TestImage::make(64, 48, false);
    rig.controller->setImageSize(64, 48, 1.0);
    rig.controller->setImage(image.info);
    rig.controller->setImageSize(0, 48, 1.0);
    QVERIFY(!rig.renderer.hasImage());
    QVERIFY(rig.renderer.isHidden());
    QVERIFY(!rig.label.isHidden());
    QCOMPARE(rig.label.text(), QString("Streaming not available"));
    QCOMPARE(rig.controller->imageSize(false), QSize(64, 48));
}

void TestZelImageViewController::imageOfAnotherSizeIsTakenOver()
{
    ImageViewRig rig(QSize(100, 80));
    const TestImage image = TestImage::make(300, 200, true);
    rig.controller->setImageSize(64, 48, 1.0);
    rig.controller->setImage(image.info);
    QCOMPARE(rig.controller->imageSize(false), QSize(300, 200));
    QCOMPARE(rig.horizontal.maximum(), 200);
    QCOMPARE(rig.vertical.maximum(), 120);
    QCOMPARE(rig.controller->pixelAt(QPoint(99, 79)), QPoint(99, 79));
}

void TestZelImageViewController::noSizeMeansNoView()
{
    ImageViewRig rig(QSize(100, 80));
    QCOMPARE(rig.controller->imageSize(false), QSize(-1, -1));
    QCOMPARE(rig.controller->imageSize(true), QSize(-1, -1));
    QCOMPARE(rig.controller->pixelAt(QPoint(5, 5)), QPoint(-1, -1));
    rig.controller->setZoom(3.0);
    QCOMPARE(rig.horizontal.maximum(), 0);
    QVERIFY(rig.renderer.targetRect().isEmpty());
}

void TestZelImageViewController::hugeRecordIsHandledSafely()
{
    // A record that claims far more pixels than its block holds.
    std::vector<uint8_t> block(16, 200);
    ORV_BUFFER_INFO info;
    std::memset(&info, 0, sizeof(info));
    info.pixels = block.data();
    info.width = 0x7FFFFFFFu;
    info.height = 3;
    info.size = uint32_t(block.size());
    info.pixelType = kMono8;

    ImageViewRig rig(QSize(40, 30));
    rig.controller->setZoom(ZelImageViewController::kMaxZoom);
    rig.controller->setImage(info);
    rig.scrollTo(rig.horizontal.maximum(), rig.vertical.maximum());
    QVERIFY(rig.horizontal.maximum() > 0);
    const QPoint last = rig.controller->pixelAt(QPoint(39, 29));
    QVERIFY(last.x() > 0 && last.x() < 0x7FFFFFFF);
    QCOMPARE(last.y(), 2);
    const QImage out = rig.render();
    QCOMPARE(out.pixel(5, 5), qRgb(0, 0, 0)); // not one whole row: nothing drawn

    info.width = 4; // now four whole rows fit the block; three are used
    rig.controller->setImage(info);
    rig.scrollTo(0, 0);
    QCOMPARE(rig.render().pixel(0, 0), qRgb(200, 200, 200));
}

QTEST_MAIN(TestZelImageViewController)
#include "tst_ZelImageViewController.moc"
