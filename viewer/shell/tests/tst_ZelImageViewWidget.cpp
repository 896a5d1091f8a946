#include <QtTest>

#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QScrollBar>

#include <cmath>

#include "ImageViewTestImages.h"
#include "ZelImageViewController.h"
#include "ZelImageViewRendererPainter.h"
#include "ZelImageViewWidget.h"

namespace {

QMenu* mainMenu(ZelImageViewWidget& w)
{
    for (QMenu* menu : w.findChildren<QMenu*>())
        if (menu->title() == "Main Context")
            return menu;
    return nullptr;
}

// The action reached through the menu texts of path, the last being the
// action's own text.
QAction* findAction(ZelImageViewWidget& w, const QStringList& path)
{
    QMenu* menu = mainMenu(w);
    for (int i = 0; menu && i < path.size(); ++i) {
        QAction* found = nullptr;
        for (QAction* action : menu->actions()) {
            const QString text = action->menu() ? action->menu()->title() : action->text();
            if (text == path.at(i))
                found = action;
        }
        if (!found || i == path.size() - 1)
            return found;
        menu = found->menu();
    }
    return nullptr;
}

QScrollBar* scrollBar(ZelImageViewWidget& w, const char* name)
{
    return w.findChild<QScrollBar*>(name);
}

void invoke(ZelImageViewWidget& w, const char* slot)
{
    QVERIFY(QMetaObject::invokeMethod(&w, slot));
}

// Shows the widget with an image size and its renderer at the given size.
void prepare(ZelImageViewWidget& w, const QSize& imageSize, const QSize& rendererSize)
{
    w.show();
    w.setImageSize(imageSize.width(), imageSize.height());
    for (int i = 0; i < 3 && w.renderer()->size() != rendererSize; ++i) {
        w.layout()->activate();
        w.resize(w.size() + rendererSize - w.renderer()->size());
        w.layout()->activate();
    }
    QCOMPARE(w.renderer()->size(), rendererSize);
}

void zoomTo(ZelImageViewWidget& w, double zoom)
{
    invoke(w, "_onResetZoom");
    while (w.zoomPercentage() < zoom)
        invoke(w, "_onZoomIn");
    while (w.zoomPercentage() > zoom)
        invoke(w, "_onZoomOut");
    QCOMPARE(w.zoomPercentage(), zoom);
}

const QStringList kAssistant{"Assistant"};
const QStringList kDefect = kAssistant + QStringList{"Defect Pixel Correction"};
const QStringList kShading = kAssistant + QStringList{"Shading Correction"};

} // namespace

class TestZelImageViewWidget : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void initialState();
    void zoomSteps_data();
    void zoomSteps();
    void fitToScreen();
    void fitBeforeSizeIsKnownDoesNothing();
    void fitIsClampedAndUpdatesTheZoomActions();
    void keys_data();
    void keys();
    void wheel_data();
    void wheel();
    void wheelWithoutControlScrolls();
    void zoomAnchorsAtCursorOrCentre();
    void contextMenuActions_data();
    void contextMenuActions();
    void menuAboutToShowAsksForStates();
    void rightClickOnTheImageOpensTheMenu();
    void gridMenu();
    void assistantsEnabled();
    void correctionStates();
    void showsImageAndDropsItOnNewStart();
    void relaysCursorPosition();
};

void TestZelImageViewWidget::init()
{
    QCursor::setPos(-10000, -10000);
}

void TestZelImageViewWidget::initialState()
{
    ZelImageViewWidget w;
    QCOMPARE(w.objectName(), QString("ZelImageViewWidget"));
    QCOMPARE(w.zoomPercentage(), 100.0);
    QCOMPARE(w.focusPolicy(), Qt::StrongFocus);
    QLabel* label = w.findChild<QLabel*>("lblNoStreaming");
    QVERIFY(label);
    QCOMPARE(label->text(), QString("Streaming not available"));
    QVERIFY(!label->isHidden());
    QVERIFY(w.renderer()->isHidden());
    QVERIFY(!findAction(w, kDefect)->isEnabled());
    QVERIFY(!findAction(w, kShading)->isEnabled());
    QVERIFY(!findAction(w, kAssistant + QStringList{"Color Correction..."})->isEnabled());
    QVERIFY(findAction(w, kAssistant + QStringList{"File Access Control..."})->isEnabled());
    QVERIFY(findAction(w, {"Grid Lines", "32 Pixels"})->isChecked());
    QVERIFY(!findAction(w, {"Grid Lines", "32 Pixels"})->isEnabled());
    QVERIFY(findAction(w, {"Grid Lines", "White"})->isChecked());
    QVERIFY(!findAction(w, {"Grid Lines", "Enable Grid Lines"})->isChecked());
}

void TestZelImageViewWidget::zoomSteps_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<bool>("zoomIn");
    QTest::addColumn<double>("result");
    QTest::addColumn<bool>("inEnabled");
    QTest::addColumn<bool>("outEnabled");

    QTest::newRow("in from 100") << 100.0 << true << 112.5 << true << true;
    QTest::newRow("out from 100") << 100.0 << false << 87.5 << true << true;
    QTest::newRow("in from 11.25") << 11.25 << true << 12.5 << true << true;
    QTest::newRow("in from 12.5") << 12.5 << true << 25.0 << true << true;
    QTest::newRow("out from 12.5") << 12.5 << false << 11.25 << true << true;
    QTest::newRow("out from 2.5 to the limit") << 2.5 << false << 1.25 << true << false;
    QTest::newRow("out at the limit") << 1.25 << false << 1.25 << true << false;
    QTest::newRow("in from 9987.5 to the limit") << 9987.5 << true << 10000.0 << false << true;
    QTest::newRow("in at the limit") << 10000.0 << true << 10000.0 << false << true;
}

void TestZelImageViewWidget::zoomSteps()
{
    QFETCH(double, start);
    QFETCH(bool, zoomIn);
    QFETCH(double, result);
    ZelImageViewWidget w;
    prepare(w, QSize(640, 480), QSize(400, 300));
    zoomTo(w, start);

    QSignalSpy spy(&w, &ZelImageViewWidget::zoomEvent);
    invoke(w, zoomIn ? "_onZoomIn" : "_onZoomOut");
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toDouble(), result);
    QCOMPARE(w.zoomPercentage(), result);
    QCOMPARE(w.controller()->zoom(), result / 100.0);
    QTEST(findAction(w, {"Zoom In\t Ctrl+Wheel++, Ctrl++"})->isEnabled(), "inEnabled");
    QTEST(findAction(w, {"Zoom Out\t Ctrl+Wheel--, Ctrl+-"})->isEnabled(), "outEnabled");
}

void TestZelImageViewWidget::fitToScreen()
{
    ZelImageViewWidget w;
    prepare(w, QSize(2048, 1536), QSize(700, 500));
    QSignalSpy spy(&w, &ZelImageViewWidget::zoomEvent);
    findAction(w, {"Fit To Screen"})->trigger();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toDouble(), 32.5);
    QCOMPARE(scrollBar(w, "horizontalScrollBar")->maximum(), 0);
    QCOMPARE(scrollBar(w, "verticalScrollBar")->maximum(), 0);
    invoke(w, "_onZoomOut");
    QCOMPARE(w.zoomPercentage(), 25.0);
    findAction(w, {"Fit To Screen"})->trigger();
    invoke(w, "_onZoomIn");
    QCOMPARE(w.zoomPercentage(), 37.5);
}

void TestZelImageViewWidget::fitBeforeSizeIsKnownDoesNothing()
{
    ZelImageViewWidget w;
    w.show();
    QSignalSpy spy(&w, &ZelImageViewWidget::zoomEvent);
    findAction(w, {"Fit To Screen"})->trigger();
    QCOMPARE(spy.count(), 0);
    QCOMPARE(w.zoomPercentage(), 100.0);
    QCOMPARE(w.controller()->zoom(), 1.0);
}

void TestZelImageViewWidget::fitIsClampedAndUpdatesTheZoomActions()
{
    ZelImageViewWidget w;
    prepare(w, QSize(100000, 80000), QSize(700, 500));
    zoomTo(w, 10000.0);
    QAction* in = findAction(w, {"Zoom In\t Ctrl+Wheel++, Ctrl++"});
    QAction* out = findAction(w, {"Zoom Out\t Ctrl+Wheel--, Ctrl+-"});
    QVERIFY(!in->isEnabled());

    QSignalSpy spy(&w, &ZelImageViewWidget::zoomEvent);
    findAction(w, {"Fit To Screen"})->trigger();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toDouble(), 1.25);
    QCOMPARE(w.controller()->zoom(), 0.0125);
    QVERIFY(in->isEnabled());
    QVERIFY(!out->isEnabled());
}

void TestZelImageViewWidget::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<double>("result");
    QTest::addColumn<int>("events");

    const int ctrl = Qt::ControlModifier;
    QTest::newRow("Ctrl+Plus") << int(Qt::Key_Plus) << ctrl << 112.5 << 1;
    QTest::newRow("Ctrl+Shift+Plus") << int(Qt::Key_Plus) << int(ctrl | Qt::ShiftModifier) << 112.5 << 1;
    QTest::newRow("Ctrl+Equal") << int(Qt::Key_Equal) << ctrl << 112.5 << 1;
    QTest::newRow("Ctrl+Minus") << int(Qt::Key_Minus) << ctrl << 87.5 << 1;
    QTest::newRow("Ctrl+hyphen") << int(Qt::Key_hyphen) << ctrl << 87.5 << 1;
    QTest::newRow("Ctrl+0") << int(Qt::Key_0) << ctrl << 100.0 << 1;
    QTest::newRow("Plus without Ctrl") << int(Qt::Key_Plus) << 0 << 100.0 << 0;
    QTest::newRow("Ctrl+1") << int(Qt::Key_1) << ctrl << 100.0 << 0;
}

void TestZelImageViewWidget::keys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    ZelImageViewWidget w;
    prepare(w, QSize(640, 480), QSize(400, 300));
    QSignalSpy spy(&w, &ZelImageViewWidget::zoomEvent);
    QTest::keyClick(&w, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QTEST(w.zoomPercentage(), "result");
    QTEST(int(spy.count()), "events");
}

void TestZelImageViewWidget::wheel_data()
{
    QTest::addColumn<QPoint>("angle");
    QTest::addColumn<double>("result");
    QTest::addColumn<int>("events");

    QTest::newRow("away from the user") << QPoint(0, 120) << 112.5 << 1;
    QTest::newRow("towards the user") << QPoint(0, -120) << 87.5 << 1;
    QTest::newRow("sideways only") << QPoint(120, 0) << 100.0 << 0;
}

void TestZelImageViewWidget::wheel()
{
    QFETCH(QPoint, angle);
    ZelImageViewWidget w;
    prepare(w, QSize(640, 480), QSize(400, 300));
    QSignalSpy spy(&w, &ZelImageViewWidget::zoomEvent);
    const QPointF pos(50, 40);
    QWheelEvent event(pos, w.mapToGlobal(pos.toPoint()), QPoint(), angle, Qt::NoButton, Qt::ControlModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&w, &event);
    QVERIFY(event.isAccepted());
    QTEST(w.zoomPercentage(), "result");
    QTEST(int(spy.count()), "events");
}

void TestZelImageViewWidget::wheelWithoutControlScrolls()
{
    ZelImageViewWidget w;
    prepare(w, QSize(1000, 800), QSize(400, 300));
    QScrollBar* vertical = scrollBar(w, "verticalScrollBar");
    vertical->setValue(200);
    QSignalSpy spy(&w, &ZelImageViewWidget::zoomEvent);
    QWheelEvent event(QPointF(50, 40), w.mapToGlobal(QPoint(50, 40)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&w, &event);
    QCOMPARE(vertical->value(), 80);
    QCOMPARE(spy.count(), 0);
}

void TestZelImageViewWidget::zoomAnchorsAtCursorOrCentre()
{
    ZelImageViewWidget w;
    prepare(w, QSize(1000, 800), QSize(400, 300));
    QScrollBar* h = scrollBar(w, "horizontalScrollBar");
    QScrollBar* v = scrollBar(w, "verticalScrollBar");
    const QPoint centre = w.renderer()->rect().center();
    const auto anchored = [](double ratio, int value, int anchor) {
        return int(std::lround(ratio * (value + anchor) - anchor));
    };

    // Cursor far outside: the centre of the view stays put.
    invoke(w, "_onZoomIn");
    QCOMPARE(h->value(), anchored(1.125, 0, centre.x()));
    QCOMPARE(v->value(), anchored(1.125, 0, centre.y()));

    // Ctrl+wheel anchors at the wheel position.
    const int h0 = h->value();
    const int v0 = v->value();
    const QPoint at = w.renderer()->mapTo(&w, QPoint(100, 60));
    QWheelEvent event(at, w.mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::ControlModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&w, &event);
    QCOMPARE(w.zoomPercentage(), 100.0);
    QCOMPARE(h->value(), anchored(100.0 / 112.5, h0, 100));
    QCOMPARE(v->value(), anchored(100.0 / 112.5, v0, 60));

    // Keys with the cursor over the view anchor at the cursor.
    QCursor::setPos(w.renderer()->mapToGlobal(QPoint(100, 60)));
    if (w.renderer()->mapFromGlobal(QCursor::pos()) != QPoint(100, 60))
        QSKIP("the platform cannot place the cursor");
    const int h1 = h->value();
    const int v1 = v->value();
    QTest::keyClick(&w, Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(h->value(), anchored(1.125, h1, 100));
    QCOMPARE(v->value(), anchored(1.125, v1, 60));
}

void TestZelImageViewWidget::contextMenuActions_data()
{
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<int>("argument"); // -1: none, else the bool sent

    QTest::newRow("feature tree") << QStringList{"Show Feature Tree"} << QByteArray("actionFeatureTreeShow()") << -1;
    QTest::newRow("close") << QStringList{"Close Camera"} << QByteArray("actionViewerClose()") << -1;
    const struct { const char* text; const char* signal; } tools[] = {
        {"LUT Widget...", "actionShowLUTWidget()"},
        {"Line Status Visualizer...", "actionShowLineStatusWidget()"},
        {"Strobe Controller...", "actionShowStrobeControllerWidget()"},
        {"Sequencer...", "actionShowSequencerWidget()"},
        {"IO Config...", "actionShowIOConfigWidget()"},
        {"Event Viewer...", "actionShowEventViewerWidget()"},
        {"Pixel Histogram...", "actionShowPixelHistogramWidget()"},
        {"Color Correction...", "actionShowColorCorrectionWidget()"},
        {"File Access Control...", "actionShowFileAccess()"},
    };
    for (const auto& tool : tools)
        QTest::newRow(tool.text) << (kAssistant + QStringList{tool.text}) << QByteArray(tool.signal) << -1;

    const QString defectSelect = "          Select Map";
    QTest::newRow("defect custom map") << (kDefect + QStringList{defectSelect, "    Custom Map..."})
                                       << QByteArray("actionViewerSelectCustomMap(bool)") << 1;
    QTest::newRow("defect factory map") << (kDefect + QStringList{defectSelect, "    Factory Map..."})
                                        << QByteArray("actionViewerSelectFactory(bool)") << 1;
    QTest::newRow("defect generate") << (kDefect + QStringList{"          Generate Map..."})
                                     << QByteArray("actionViewerActionGenerateMap()") << -1;
    QTest::newRow("defect load") << (kDefect + QStringList{"          Load Map..."})
                                 << QByteArray("actionViewerActionsLoadMap()") << -1;
    QTest::newRow("defect save") << (kDefect + QStringList{"          Save Map..."})
                                 << QByteArray("actionViewerActionsSaveMap()") << -1;
    QTest::newRow("defect enable") << (kDefect + QStringList{"Enable Correction"})
                                   << QByteArray("actionViewerActionEnableCorrection(bool)") << 1;

    const QString shadingSelect = "         Select Map";
    for (int i = 0; i < 3; ++i)
        QTest::newRow(qPrintable(QString("shading map %1").arg(i)))
            << (kShading + QStringList{shadingSelect, QString("Map %1 ").arg(i)})
            << QByteArray("actionViewerSelectMap") + QByteArray::number(i) + "(bool)" << 1;
    QTest::newRow("shading generate") << (kShading + QStringList{"         Generate Map..."})
                                      << QByteArray("actionViewerActionGenerateShadingMap()") << -1;
    QTest::newRow("shading load") << (kShading + QStringList{"         Load Map..."})
                                  << QByteArray("actionViewerActionsLoadShadingMap()") << -1;
    QTest::newRow("shading enable") << (kShading + QStringList{"Enable Correction"})
                                    << QByteArray("actionViewerActionShadingEnableCorrection(bool)") << 1;
}

void TestZelImageViewWidget::contextMenuActions()
{
    QFETCH(QStringList, path);
    QFETCH(QByteArray, signal);
    QFETCH(int, argument);
    ZelImageViewWidget w;
    // The camera window's states: nothing locked, correction off, map 2.
    QVERIFY(QMetaObject::invokeMethod(&w, "_onViewerInitDefectPixelCorection", Q_ARG(bool, false),
                                      Q_ARG(bool, false), Q_ARG(bool, false)));
    QVERIFY(QMetaObject::invokeMethod(&w, "_onViewerInitShadingCorection", Q_ARG(bool, false), Q_ARG(int, 2),
                                      Q_ARG(bool, false)));
    QVERIFY(QMetaObject::invokeMethod(&w, "_onViewerEnableColorCorrection", Q_ARG(bool, true)));

    QAction* action = findAction(w, path);
    QVERIFY2(action, qPrintable(path.join(" / ")));
    QVERIFY(action->isEnabled());
    QSignalSpy spy(&w, QByteArray("2" + signal).constData());
    QVERIFY(spy.isValid());
    action->trigger();
    QCOMPARE(spy.count(), 1);
    if (argument >= 0)
        QCOMPARE(spy.at(0).at(0).toBool(), argument == 1);
}

void TestZelImageViewWidget::menuAboutToShowAsksForStates()
{
    ZelImageViewWidget w;
    QStringList order;
    connect(&w, &ZelImageViewWidget::actionViewerInitDefectPixelCorrection, [&] { order << "defect"; });
    connect(&w, &ZelImageViewWidget::actionViewerInitShadingCorrection, [&] { order << "shading"; });
    connect(&w, &ZelImageViewWidget::actionViewerInitColorCorrection, [&] { order << "colour"; });
    emit mainMenu(w)->aboutToShow();
    QCOMPARE(order, (QStringList{"defect", "shading", "colour"}));
}

void TestZelImageViewWidget::rightClickOnTheImageOpensTheMenu()
{
    ZelImageViewWidget w;
    prepare(w, QSize(640, 480), QSize(400, 300));
    QSignalSpy spy(&w, &ZelImageViewWidget::actionViewerInitColorCorrection);
    QWidget* shown = nullptr;
    QTimer::singleShot(0, [&] {
        shown = QApplication::activePopupWidget();
        if (shown)
            shown->close();
    });
    const QPoint at(20, 30);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, w.renderer()->mapToGlobal(at));
    QApplication::sendEvent(w.renderer(), &event);
    QCOMPARE(shown, static_cast<QWidget*>(mainMenu(w)));
    QCOMPARE(spy.count(), 1);
}

void TestZelImageViewWidget::gridMenu()
{
    ZelImageViewWidget w;
    prepare(w, QSize(640, 480), QSize(400, 300));
    QAction* enable = findAction(w, {"Grid Lines", "Enable Grid Lines"});
    QAction* size16 = findAction(w, {"Grid Lines", "16 Pixels"});
    QAction* red = findAction(w, {"Grid Lines", "Red"});
    ZelImageViewRendererPainter* renderer = w.renderer();

    enable->trigger();
    QVERIFY(renderer->gridEnabled());
    QVERIFY(size16->isEnabled());
    QVERIFY(red->isEnabled());
    QCOMPARE(renderer->gridSpacing(), 32);

    size16->trigger();
    QCOMPARE(renderer->gridSpacing(), 16);
    invoke(w, "_onZoomIn");
    QCOMPARE(renderer->gridSpacing(), 18); // 16 x 1.125
    const struct { const char* text; int index; } colours[] = {
        {"Black", 1}, {"Red", 2}, {"Green", 3}, {"Blue", 4}, {"White", 0}};
    for (const auto& colour : colours) {
        findAction(w, {"Grid Lines", colour.text})->trigger();
        QCOMPARE(renderer->gridColor(), colour.index);
    }
    findAction(w, {"Grid Lines", "64 Pixels"})->trigger();
    QCOMPARE(w.controller()->gridSize(), 64);
    QVERIFY(!size16->isChecked());

    enable->trigger();
    QVERIFY(!renderer->gridEnabled());
    QVERIFY(!size16->isEnabled());
    QVERIFY(!red->isEnabled());
}

void TestZelImageViewWidget::assistantsEnabled()
{
    ZelImageViewWidget w;
    const struct {
        ZelCameraTool tool;
        const char* text;
    } entries[] = {
        {ZelCameraTool::Lut, "LUT Widget..."},
        {ZelCameraTool::LineStatus, "Line Status Visualizer..."},
        {ZelCameraTool::StrobeController, "Strobe Controller..."},
        {ZelCameraTool::Sequencer, "Sequencer..."},
        {ZelCameraTool::IOConfig, "IO Config..."},
        {ZelCameraTool::EventViewer, "Event Viewer..."},
        {ZelCameraTool::PixelHistogram, "Pixel Histogram..."},
        {ZelCameraTool::ColorCorrection, "Color Correction..."},
        {ZelCameraTool::FileAccess, "File Access Control..."},
    };
    // Each entry follows its own tool's answer, and only that one.
    for (const auto& entry : entries) {
        for (const auto& other : entries)
            w.setToolOffered(other.tool, true);
        w.setToolOffered(entry.tool, false);
        for (const auto& other : entries) {
            QCOMPARE(findAction(w, kAssistant + QStringList{other.text})->isEnabled(), other.tool != entry.tool);
        }
    }
    // The correction menus follow their status slots, not the tool answer.
    w.setToolOffered(ZelCameraTool::DefectPixelCorrection, true);
    QVERIFY(!findAction(w, kDefect)->isEnabled());

    QVERIFY(QMetaObject::invokeMethod(&w, "_onViewerEnableFileAccess", Q_ARG(bool, false)));
    QVERIFY(!findAction(w, kAssistant + QStringList{"File Access Control..."})->isEnabled());
    QVERIFY(QMetaObject::invokeMethod(&w, "_onViewerEnableColorCorrection", Q_ARG(bool, false)));
    QVERIFY(!findAction(w, kAssistant + QStringList{"Color Correction..."})->isEnabled());
}

void TestZelImageViewWidget::correctionStates()
{
    ZelImageViewWidget w;
    QVERIFY(QMetaObject::invokeMethod(&w, "_onViewerInitShadingCorection", Q_ARG(bool, true), Q_ARG(int, 1),
                                      Q_ARG(bool, true)));
    QAction* shadingEnable = findAction(w, kShading + QStringList{"Enable Correction"});
    QVERIFY(findAction(w, kShading)->isEnabled());
    QVERIFY(shadingEnable->isChecked());
    QVERIFY(!shadingEnable->isEnabled());
    for (int i = 0; i < 3; ++i) {
        QAction* map = findAction(w, kShading + QStringList{"         Select Map", QString("Map %1 ").arg(i)});
        QCOMPARE(map->isChecked(), i == 1);
        QVERIFY(!map->isEnabled());
    }
    QVERIFY(!findAction(w, kShading + QStringList{"         Load Map..."})->isEnabled());
    QVERIFY(findAction(w, kShading + QStringList{"         Generate Map..."})->isEnabled());

    QVERIFY(QMetaObject::invokeMethod(&w, "_onViewerInitDefectPixelCorection", Q_ARG(bool, true),
                                      Q_ARG(bool, true), Q_ARG(bool, true)));
    QAction* custom = findAction(w, kDefect + QStringList{"          Select Map", "    Custom Map..."});
    QAction* defectEnable = findAction(w, kDefect + QStringList{"Enable Correction"});
    QVERIFY(findAction(w, kDefect)->isEnabled());
    QVERIFY(custom->isChecked());
    QVERIFY(!custom->isEnabled());
    QVERIFY(defectEnable->isChecked());
    QVERIFY(!defectEnable->isEnabled());
    QVERIFY(!findAction(w, kDefect + QStringList{"          Load Map..."})->isEnabled());
    QVERIFY(findAction(w, kDefect + QStringList{"          Save Map..."})->isEnabled());

    QVERIFY(QMetaObject::invokeMethod(&w, "_onViewerInitDefectPixelCorection", Q_ARG(bool, false),
                                      Q_ARG(bool, false), Q_ARG(bool, false)));
    QVERIFY(findAction(w, kDefect + QStringList{"          Select Map", "    Factory Map..."})->isChecked());
    QVERIFY(!defectEnable->isChecked());
    QVERIFY(defectEnable->isEnabled());
}

void TestZelImageViewWidget::showsImageAndDropsItOnNewStart()
{
    const TestImage image = TestImage::make(33, 21, false);
    ZelImageViewWidget w;
    prepare(w, QSize(33, 21), QSize(100, 80));
    w.setImage(image.info);
    QVERIFY(w.findChild<QLabel*>("lblNoStreaming")->isHidden());
    const QImage shown = w.renderer()->grab().toImage();
    QCOMPARE(shown.pixel(32, 20), image.expected(32, 20));
    QCOMPARE(shown.pixel(33, 20), qRgb(128, 128, 128));
    QCOMPARE(w.viewRect(), QRect(0, 0, 100, 80));

    // A start whose size could not be read still forgets the old buffer.
    w.setImageSize(0, 0);
    QVERIFY(!w.renderer()->hasImage());
    QCOMPARE(w.controller()->imageSize(false), QSize(33, 21));
}

void TestZelImageViewWidget::relaysCursorPosition()
{
    ZelImageViewWidget w;
    prepare(w, QSize(640, 480), QSize(400, 300));
    QSignalSpy spy(&w, &ZelImageViewWidget::cursorPosChange);
    QTest::mouseMove(w.renderer(), QPoint(30, 20));
    QVERIFY(spy.count() >= 1);
    QCOMPARE(spy.last().at(0).toPoint(), QPoint(30, 20));
}

QTEST_MAIN(TestZelImageViewWidget)
#include "tst_ZelImageViewWidget.moc"
