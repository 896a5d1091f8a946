// The warning balloon: one at a time, closed by a mouse press, placed on the
// screen of its tip.
#include "ZelBalloonTip.h"

#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QtTest>

class TestBalloonTip : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { ZelBalloonTip::hideBalloon(); }

    void onlyOneBalloon();
    void emptyTextsOnlyRemove();
    void mousePressCloses();
    void iconsByKind_data();
    void iconsByKind();
    void placement_data();
    void placement();
    void opensNearItsTip();
};

void TestBalloonTip::onlyOneBalloon()
{
    ZelBalloonTip::showBalloon(3, QStringLiteral("First"), QStringLiteral("one"), QPoint(100, 100), true);
    QPointer<ZelBalloonTip> first = ZelBalloonTip::currentBalloon();
    QVERIFY(first);
    ZelBalloonTip::showBalloon(3, QStringLiteral("Second"), QStringLiteral("two"), QPoint(100, 100), true);
    QVERIFY(first.isNull());
    QVERIFY(ZelBalloonTip::isBalloonVisible());
    QCOMPARE(ZelBalloonTip::currentBalloon()->findChildren<QLabel*>().first()->text(), QStringLiteral("Second"));
    ZelBalloonTip::hideBalloon();
    QVERIFY(!ZelBalloonTip::isBalloonVisible());
    ZelBalloonTip::hideBalloon();
}

void TestBalloonTip::emptyTextsOnlyRemove()
{
    ZelBalloonTip::showBalloon(1, QStringLiteral("T"), QString(), QPoint(10, 10), false);
    QVERIFY(ZelBalloonTip::isBalloonVisible());
    ZelBalloonTip::showBalloon(1, QString(), QString(), QPoint(10, 10), false);
    QVERIFY(!ZelBalloonTip::isBalloonVisible());
}

void TestBalloonTip::mousePressCloses()
{
    QWidget other;
    other.resize(100, 100);
    other.show();
    ZelBalloonTip::showBalloon(2, QStringLiteral("T"), QStringLiteral("m"), QPoint(50, 50), true);
    QPointer<ZelBalloonTip> b = ZelBalloonTip::currentBalloon();
    QVERIFY(b && b->isVisible());
    QTest::mousePress(&other, Qt::LeftButton);
    QTRY_VERIFY(b.isNull());
    QVERIFY(!ZelBalloonTip::isBalloonVisible());
    // Hiding after the press is harmless.
    ZelBalloonTip::hideBalloon();
}

void TestBalloonTip::iconsByKind_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("labels");
    QTest::newRow("information") << 1 << 3;
    QTest::newRow("warning") << 2 << 3;
    QTest::newRow("critical") << 3 << 3;
    QTest::newRow("none") << 0 << 2;
    QTest::newRow("unknown") << 9 << 2;
}

void TestBalloonTip::iconsByKind()
{
    QFETCH(int, kind);
    QFETCH(int, labels);
    ZelBalloonTip tip(kind, QStringLiteral("Title"), QStringLiteral("Message"));
    QCOMPARE(tip.findChildren<QLabel*>().size(), labels);
    QCOMPARE(tip.palette().color(QPalette::Window), QColor(255, 255, 225));
    QVERIFY(tip.windowFlags() & Qt::ToolTip);
}

void TestBalloonTip::placement_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<bool>("top");
    QTest::addColumn<bool>("left");
    QTest::addColumn<QPoint>("topLeft");
    const QRect first(0, 0, 1920, 1080);
    const QRect second(1920, 0, 1280, 1024);
    QTest::newRow("room below and right") << first << QPoint(100, 100) << true << true << QPoint(82, 100);
    QTest::newRow("near the bottom") << first << QPoint(100, 1050) << false << true << QPoint(82, 1050 - 80);
    QTest::newRow("near the right edge") << first << QPoint(1900, 100) << true << false
                                        << QPoint(1919 - 200 - 2, 100);
    QTest::newRow("near the left edge") << first << QPoint(5, 100) << true << true << QPoint(2, 100);
    // On a screen right of the primary one the balloon stays on that screen.
    QTest::newRow("second screen") << second << QPoint(2000, 500) << true << true << QPoint(1982, 500);
    QTest::newRow("second screen right edge") << second << QPoint(3190, 500) << true << false
                                             << QPoint(3199 - 200 - 2, 500);
    QTest::newRow("second screen, room on the left") << second << QPoint(3100, 500) << true << false
                                                    << QPoint(3100 - 200 + 18, 500);
    QTest::newRow("second screen left edge") << second << QPoint(1921, 500) << true << true
                                            << QPoint(1922, 500);
}

void TestBalloonTip::placement()
{
    QFETCH(QRect, screen);
    QFETCH(QPoint, pos);
    QFETCH(bool, top);
    QFETCH(bool, left);
    QFETCH(QPoint, topLeft);
    const QSize size(200, 80);
    const ZelBalloonTip::Placement p = ZelBalloonTip::place(screen, pos, size, size);
    QCOMPARE(p.arrowAtTop, top);
    QCOMPARE(p.arrowAtLeft, left);
    QCOMPARE(p.topLeft, topLeft);
}

void TestBalloonTip::opensNearItsTip()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QPoint tip(screen.left() + 100, screen.top() + 100);
    ZelBalloonTip::showBalloon(3, QStringLiteral("Invalid Value"), QStringLiteral("Minimum:0 Maximum:255"),
                               tip, true);
    ZelBalloonTip* b = ZelBalloonTip::currentBalloon();
    QVERIFY(b->isVisible());
    QCOMPARE(b->pos(), QPoint(tip.x() - 18, tip.y()));
    QVERIFY(!b->mask().isEmpty());
    // The body is drawn; its pixels are not left transparent.
    const QImage body = b->grab().toImage();
    QCOMPARE(body.pixelColor(body.width() - 3, body.height() / 2), QColor(255, 255, 225));
}

QTEST_MAIN(TestBalloonTip)
#include "tst_ZelBalloonTip.moc"
