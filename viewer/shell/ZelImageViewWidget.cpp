#include "ZelImageViewWidget.h"
#include "ui_ZelImageViewWidget.h"

#include <QAction>
#include <QActionGroup>
#include <QContextMenuEvent>
#include <QCursor>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QWheelEvent>

#include <cmath>

#include "ZelImageViewController.h"
#include "ZelImageViewRendererPainter.h"
#include "ZelMenuStyle.h"

namespace {

const char* const kMenuStyleSheet =
    "QMenu { background-color: white; margin: 2px; }"
    "QMenu::item { padding: 2px 10px 2px 40px; width: 160px; height: 30px;"
    " background-color: transparent; spacing: 10px; }"
    "QMenu::item:selected { border-color: darkblue; background: rgba(53, 120, 191, 150); color:white; }";

const char* const kScrollBarStyleSheet =
    "QScrollBar{ background:white;}"
    "QScrollBar::handle {background: rgb(205, 205, 205);}"
    "QScrollBar::handle:hover { background: rgb(150, 150, 150);}"
    "QScrollBar::handle:pressed { background: rgb(100, 100, 100);}";

// Zoom grid: steps of 1.25 % below 12.5 %, of 12.5 % from there upward.
constexpr double kFineStep = 1.25;
constexpr double kCoarseStep = 12.5;

} // namespace

ZelImageViewWidget::ZelImageViewWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::ZelImageViewWidget)
{
    ui->setupUi(this);
    setFocusPolicy(Qt::StrongFocus);

    m_renderer = new ZelImageViewRendererPainter(this);
    ui->renderWidgetContainer->addWidget(m_renderer);
    // Until an image size is known the label tells that nothing streams.
    m_renderer->hide();

    m_controller = new ZelImageViewController(ui->verticalScrollBar, ui->horizontalScrollBar,
                                              m_renderer, ui->lblNoStreaming);
    buildContextMenu();
    connect(m_controller, &ZelImageViewController::cursorPosChange, this, &ZelImageViewWidget::cursorPosChange);
    setStyleSheet(kScrollBarStyleSheet);
}

ZelImageViewWidget::~ZelImageViewWidget()
{
    delete m_controller;
    delete ui;
}

void ZelImageViewWidget::setImage(const ORV_BUFFER_INFO& info)
{
    m_controller->setImage(info);
}

void ZelImageViewWidget::setImageSize(int width, int height)
{
    if (width != 0 && height != 0)
        m_controller->setImageSize(width, height, m_zoom / 100.0);
    else
        m_controller->clearImage();
}

QRect ZelImageViewWidget::viewRect() const
{
    return m_renderer->rect();
}

void ZelImageViewWidget::setToolOffered(ZelCameraTool tool, bool offered)
{
    const int i = int(tool);
    if (i >= 0 && i < zelCameraToolCount && m_toolActions[i])
        m_toolActions[i]->setEnabled(offered);
}

QMenu* ZelImageViewWidget::addStyledMenu(QMenu* parent, const QString& title)
{
    QMenu* menu = parent->addMenu(title);
    menu->setStyleSheet(kMenuStyleSheet);
    return menu;
}

void ZelImageViewWidget::buildContextMenu()
{
    m_mainMenu = new QMenu(QStringLiteral("Main Context"), this);
    auto* menuStyle = new ZelMenuStyle();
    menuStyle->setParent(m_mainMenu);
    m_mainMenu->setStyle(menuStyle);
    m_mainMenu->setStyleSheet(kMenuStyleSheet);

    QMenu* menu = m_mainMenu;
    connect(menu->addAction(QIcon(":/res/icon/treeview.png"), "Show Feature Tree"), &QAction::triggered,
            this, &ZelImageViewWidget::actionFeatureTreeShow);
    menu->addSeparator();
    m_zoomIn = menu->addAction(QIcon(":/res/icon/zoom_in.png"), "Zoom In\t Ctrl+Wheel++, Ctrl++");
    connect(m_zoomIn, &QAction::triggered, this, &ZelImageViewWidget::_onZoomIn);
    m_zoomOut = menu->addAction(QIcon(":/res/icon/zoom_out.png"), "Zoom Out\t Ctrl+Wheel--, Ctrl+-");
    connect(m_zoomOut, &QAction::triggered, this, &ZelImageViewWidget::_onZoomOut);
    connect(menu->addAction(QIcon(":/res/icon/zoom_reset.png"), "Reset Zoom Level\t Ctrl+0"), &QAction::triggered,
            this, &ZelImageViewWidget::_onResetZoom);
    connect(menu->addAction("Fit To Screen"), &QAction::triggered, this, &ZelImageViewWidget::_onZoomFitToScreen);
    menu->addSeparator();

    QMenu* grid = menu->addMenu(QIcon(":/res/icon/grid.png"), "Grid Lines");
    QAction* gridEnable = grid->addAction("Enable Grid Lines");
    gridEnable->setCheckable(true);
    connect(gridEnable, &QAction::toggled, this, &ZelImageViewWidget::_onGridLineEnable);
    grid->addSeparator();
    m_gridSizeGroup = new QActionGroup(this);
    const struct { const char* text; void (ZelImageViewWidget::*slot)(bool); } sizes[] = {
        {"8 Pixels", &ZelImageViewWidget::_onGridSize8},
        {"16 Pixels", &ZelImageViewWidget::_onGridSize16},
        {"32 Pixels", &ZelImageViewWidget::_onGridSize32},
        {"64 Pixels", &ZelImageViewWidget::_onGridSize64},
    };
    for (const auto& size : sizes) {
        QAction* action = grid->addAction(size.text);
        action->setCheckable(true);
        action->setChecked(QLatin1String(size.text) == QLatin1String("32 Pixels"));
        m_gridSizeGroup->addAction(action);
        connect(action, &QAction::toggled, this, size.slot);
    }
    m_gridSizeGroup->setEnabled(false);
    grid->addSeparator();
    m_gridColorGroup = new QActionGroup(this);
    const struct { const char* text; void (ZelImageViewWidget::*slot)(bool); } colours[] = {
        {"White", &ZelImageViewWidget::_onGridColorWhite},
        {"Black", &ZelImageViewWidget::_onGridColorBlack},
        {"Red", &ZelImageViewWidget::_onGridColorRed},
        {"Green", &ZelImageViewWidget::_onGridColorGreen},
        {"Blue", &ZelImageViewWidget::_onGridColorBlue},
    };
    for (const auto& colour : colours) {
        QAction* action = grid->addAction(colour.text);
        action->setCheckable(true);
        action->setChecked(QLatin1String(colour.text) == QLatin1String("White"));
        m_gridColorGroup->addAction(action);
        connect(action, &QAction::toggled, this, colour.slot);
    }
    m_gridColorGroup->setEnabled(false);
    menu->addSeparator();

    QMenu* assistant = menu->addMenu(QIcon(":/res/icon/tools.png"), "Assistant");
    const struct {
        ZelCameraTool tool;
        const char* text;
        void (ZelImageViewWidget::*signal)();
    } tools[] = {
        {ZelCameraTool::Lut, "LUT Widget...", &ZelImageViewWidget::actionShowLUTWidget},
        {ZelCameraTool::LineStatus, "Line Status Visualizer...", &ZelImageViewWidget::actionShowLineStatusWidget},
        {ZelCameraTool::StrobeController, "Strobe Controller...",
         &ZelImageViewWidget::actionShowStrobeControllerWidget},
        {ZelCameraTool::Sequencer, "Sequencer...", &ZelImageViewWidget::actionShowSequencerWidget},
        {ZelCameraTool::IOConfig, "IO Config...", &ZelImageViewWidget::actionShowIOConfigWidget},
        {ZelCameraTool::EventViewer, "Event Viewer...", &ZelImageViewWidget::actionShowEventViewerWidget},
        {ZelCameraTool::PixelHistogram, "Pixel Histogram...", &ZelImageViewWidget::actionShowPixelHistogramWidget},
    };
    for (const auto& tool : tools) {
        QAction* action = assistant->addAction(tool.text);
        m_toolActions[int(tool.tool)] = action;
        connect(action, &QAction::triggered, this, tool.signal);
    }

    m_defectMenu = addStyledMenu(assistant, "Defect Pixel Correction");
    QMenu* defectSelect = addStyledMenu(m_defectMenu, "          Select Map");
    m_defectMapGroup = new QActionGroup(this);
    m_defectCustomMap = defectSelect->addAction("    Custom Map...");
    m_defectFactoryMap = defectSelect->addAction("    Factory Map...");
    for (QAction* action : {m_defectCustomMap, m_defectFactoryMap}) {
        action->setCheckable(true);
        m_defectMapGroup->addAction(action);
    }
    connect(m_defectCustomMap, &QAction::triggered, this, &ZelImageViewWidget::_onViewerSelectCustomMap);
    connect(m_defectFactoryMap, &QAction::triggered, this, &ZelImageViewWidget::_onViewerSelectFactory);
    connect(m_defectMenu->addAction("          Generate Map..."), &QAction::triggered,
            this, &ZelImageViewWidget::actionViewerActionGenerateMap);
    m_defectLoadMap = m_defectMenu->addAction("          Load Map...");
    connect(m_defectLoadMap, &QAction::triggered, this, &ZelImageViewWidget::actionViewerActionsLoadMap);
    connect(m_defectMenu->addAction("          Save Map..."), &QAction::triggered,
            this, &ZelImageViewWidget::actionViewerActionsSaveMap);
    m_defectEnable = m_defectMenu->addAction("Enable Correction");
    m_defectEnable->setCheckable(true);
    connect(m_defectEnable, &QAction::triggered, this, &ZelImageViewWidget::_onViewerActionEnableCorrection);
    m_defectMenu->setEnabled(false);

    m_shadingMenu = addStyledMenu(assistant, "Shading Correction");
    QMenu* shadingSelect = addStyledMenu(m_shadingMenu, "         Select Map");
    m_shadingMapGroup = new QActionGroup(this);
    void (ZelImageViewWidget::*const mapSlots[3])(bool) = {
        &ZelImageViewWidget::_onViewerSelectMap0, &ZelImageViewWidget::_onViewerSelectMap1,
        &ZelImageViewWidget::_onViewerSelectMap2};
    for (int i = 0; i < 3; ++i) {
        m_shadingMap[i] = shadingSelect->addAction(QStringLiteral("Map %1 ").arg(i));
        m_shadingMap[i]->setCheckable(true);
        m_shadingMapGroup->addAction(m_shadingMap[i]);
        connect(m_shadingMap[i], &QAction::triggered, this, mapSlots[i]);
    }
    connect(m_shadingMenu->addAction("         Generate Map..."), &QAction::triggered,
            this, &ZelImageViewWidget::actionViewerActionGenerateShadingMap);
    m_shadingLoadMap = m_shadingMenu->addAction("         Load Map...");
    connect(m_shadingLoadMap, &QAction::triggered, this, &ZelImageViewWidget::actionViewerActionsLoadShadingMap);
    m_shadingEnable = m_shadingMenu->addAction("Enable Correction");
    m_shadingEnable->setCheckable(true);
    connect(m_shadingEnable, &QAction::triggered, this, &ZelImageViewWidget::_onViewerActionShadingEnableCorrection);
    m_shadingMenu->setEnabled(false);

    m_colorCorrection = assistant->addAction("Color Correction...");
    m_colorCorrection->setEnabled(false);
    m_toolActions[int(ZelCameraTool::ColorCorrection)] = m_colorCorrection;
    connect(m_colorCorrection, &QAction::triggered, this, &ZelImageViewWidget::actionShowColorCorrectionWidget);
    m_fileAccess = assistant->addAction("File Access Control...");
    m_toolActions[int(ZelCameraTool::FileAccess)] = m_fileAccess;
    connect(m_fileAccess, &QAction::triggered, this, &ZelImageViewWidget::actionShowFileAccess);
    menu->addSeparator();

    connect(menu->addAction(QIcon(":/res/icon/close.png"), "Close Camera"), &QAction::triggered,
            this, &ZelImageViewWidget::actionViewerClose);

    connect(m_mainMenu, &QMenu::aboutToShow, this, [this] {
        emit actionViewerInitDefectPixelCorrection();
        emit actionViewerInitShadingCorrection();
        emit actionViewerInitColorCorrection();
    });
}

QPoint ZelImageViewWidget::cursorAnchor() const
{
    const QPoint pos = m_renderer->mapFromGlobal(QCursor::pos());
    return m_renderer->rect().contains(pos) ? pos : m_renderer->rect().center();
}

void ZelImageViewWidget::applyZoom(double oldZoom, double newZoom, const QPoint& anchor)
{
    QScrollBar* h = ui->horizontalScrollBar;
    QScrollBar* v = ui->verticalScrollBar;
    const int h0 = h->value();
    const int v0 = v->value();
    m_zoom = newZoom;
    m_controller->setZoom(newZoom / 100.0);
    // Keep the image point under the anchor where it is, as far as the
    // scroll ranges allow.
    const double ratio = newZoom / oldZoom;
    h->setValue(int(std::lround(ratio * (h0 + anchor.x()) - anchor.x())));
    v->setValue(int(std::lround(ratio * (v0 + anchor.y()) - anchor.y())));
    emit zoomEvent(newZoom);
}

void ZelImageViewWidget::updateZoomActions()
{
    m_zoomIn->setEnabled(m_zoom < kMaxZoomPercentage);
    m_zoomOut->setEnabled(m_zoom > kMinZoomPercentage);
}

void ZelImageViewWidget::zoomInAt(const QPoint& anchor)
{
    const double z = m_zoom;
    const double step = z < 12.5 ? kFineStep : kCoarseStep;
    const double next = qMin(z + step - std::fmod(z, step), kMaxZoomPercentage);
    applyZoom(z, next, anchor);
    updateZoomActions();
}

void ZelImageViewWidget::zoomOutAt(const QPoint& anchor)
{
    const double z = m_zoom;
    const double step = z <= 12.5 ? kFineStep : kCoarseStep;
    const double r = std::fmod(z, step);
    const double next = qMax(r > 0.0 ? z - r : z - step, kMinZoomPercentage);
    applyZoom(z, next, anchor);
    updateZoomActions();
}

void ZelImageViewWidget::_onZoomIn()
{
    zoomInAt(cursorAnchor());
}

void ZelImageViewWidget::_onZoomOut()
{
    zoomOutAt(cursorAnchor());
}

void ZelImageViewWidget::_onResetZoom()
{
    m_zoom = 100.0;
    m_controller->setZoom(1.0);
    updateZoomActions();
    emit zoomEvent(m_zoom);
}

void ZelImageViewWidget::_onZoomFitToScreen()
{
    const QSize image = m_controller->imageSize(false);
    const QSize view = m_renderer->size();
    // Without an image size or a visible area there is nothing to fit.
    if (!image.isValid() || image.isEmpty() || view.isEmpty())
        return;
    const double f = qMin(double(view.width()) / image.width(), double(view.height()) / image.height()) * 100.0;
    const double z = qBound(kMinZoomPercentage, f - std::fmod(f, kFineStep), kMaxZoomPercentage);
    m_zoom = z;
    m_controller->setZoom(z / 100.0);
    updateZoomActions();
    emit zoomEvent(z);
}

void ZelImageViewWidget::_onViewerInitDefectPixelCorection(bool CorrectionEnabled, bool isCustomMap,
                                                           bool isParamlocked)
{
    m_defectEnable->setChecked(CorrectionEnabled);
    (isCustomMap ? m_defectCustomMap : m_defectFactoryMap)->setChecked(true);
    m_defectMenu->setEnabled(true);
    m_defectMapGroup->setEnabled(!isParamlocked);
    m_defectEnable->setEnabled(!isParamlocked);
    m_defectLoadMap->setEnabled(!isParamlocked);
}

void ZelImageViewWidget::_onViewerInitShadingCorection(bool CorrectionEnabled, int mapIndex, bool isParamlocked)
{
    m_shadingEnable->setChecked(CorrectionEnabled);
    if (mapIndex >= 0 && mapIndex < 3)
        m_shadingMap[mapIndex]->setChecked(true);
    m_shadingMenu->setEnabled(true);
    for (QAction* map : m_shadingMap)
        map->setEnabled(!isParamlocked);
    m_shadingEnable->setEnabled(!isParamlocked);
    m_shadingLoadMap->setEnabled(!isParamlocked);
}

void ZelImageViewWidget::_onViewerEnableColorCorrection(bool CorrectionEnabled)
{
    m_colorCorrection->setEnabled(CorrectionEnabled);
}

void ZelImageViewWidget::_onViewerEnableFileAccess(bool fileAccessEnabled)
{
    m_fileAccess->setEnabled(fileAccessEnabled);
}

void ZelImageViewWidget::_onViewerSelectCustomMap(bool checked)
{
    emit actionViewerSelectCustomMap(checked);
}

void ZelImageViewWidget::_onViewerSelectFactory(bool checked)
{
    emit actionViewerSelectFactory(checked);
}

void ZelImageViewWidget::_onViewerActionEnableCorrection(bool checked)
{
    emit actionViewerActionEnableCorrection(checked);
}

void ZelImageViewWidget::_onViewerSelectMap0(bool checked)
{
    emit actionViewerSelectMap0(checked);
}

void ZelImageViewWidget::_onViewerSelectMap1(bool checked)
{
    emit actionViewerSelectMap1(checked);
}

void ZelImageViewWidget::_onViewerSelectMap2(bool checked)
{
    emit actionViewerSelectMap2(checked);
}

void ZelImageViewWidget::_onViewerActionShadingEnableCorrection(bool checked)
{
    emit actionViewerActionShadingEnableCorrection(checked);
}

void ZelImageViewWidget::_onGridSize8(bool checked)
{
    if (checked)
        m_controller->setGridSize(8);
}

void ZelImageViewWidget::_onGridSize16(bool checked)
{
    if (checked)
        m_controller->setGridSize(16);
}

void ZelImageViewWidget::_onGridSize32(bool checked)
{
    if (checked)
        m_controller->setGridSize(32);
}

void ZelImageViewWidget::_onGridSize64(bool checked)
{
    if (checked)
        m_controller->setGridSize(64);
}

void ZelImageViewWidget::_onGridColorWhite(bool checked)
{
    if (checked)
        m_controller->setGridColor(0);
}

void ZelImageViewWidget::_onGridColorBlack(bool checked)
{
    if (checked)
        m_controller->setGridColor(1);
}

void ZelImageViewWidget::_onGridColorRed(bool checked)
{
    if (checked)
        m_controller->setGridColor(2);
}

void ZelImageViewWidget::_onGridColorBlue(bool checked)
{
    if (checked)
        m_controller->setGridColor(4);
}

void ZelImageViewWidget::_onGridColorGreen(bool checked)
{
    if (checked)
        m_controller->setGridColor(3);
}

void ZelImageViewWidget::_onGridLineEnable(bool checked)
{
    m_controller->setGridEnabled(checked);
    m_gridSizeGroup->setEnabled(checked);
    m_gridColorGroup->setEnabled(checked);
}

void ZelImageViewWidget::contextMenuEvent(QContextMenuEvent* event)
{
    m_mainMenu->exec(event->globalPos());
}

void ZelImageViewWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        switch (event->key()) {
        case Qt::Key_0:
            _onResetZoom();
            break;
        case Qt::Key_Equal:
        case Qt::Key_Plus:
            _onZoomIn();
            break;
        case Qt::Key_hyphen:
        case Qt::Key_Minus:
            _onZoomOut();
            break;
        default:
            break;
        }
    }
    QWidget::keyPressEvent(event);
}

void ZelImageViewWidget::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (event->modifiers() & Qt::ControlModifier) {
        // A purely horizontal turn is no zoom request.
        if (delta != 0) {
            const QPoint pos = m_renderer->mapFrom(this, event->position().toPoint());
            const QPoint anchor = m_renderer->rect().contains(pos) ? pos : m_renderer->rect().center();
            if (delta > 0)
                zoomInAt(anchor);
            else
                zoomOutAt(anchor);
        }
        event->accept();
        return;
    }
    ui->verticalScrollBar->setValue(ui->verticalScrollBar->value() - delta);
    QWidget::wheelEvent(event);
}

void ZelImageViewWidget::resizeEvent(QResizeEvent* event)
{
    m_controller->updateScrollBars();
    QWidget::resizeEvent(event);
}
