#ifndef ZELIMAGEVIEWWIDGET_H
#define ZELIMAGEVIEWWIDGET_H

#include <QPoint>
#include <QRect>
#include <QWidget>

#include "OrvSdk.h"
#include "ZelCameraTool.h"

class QAction;
class QActionGroup;
class QMenu;
class ZelImageViewController;
class ZelImageViewRendererPainter;

namespace Ui {
class ZelImageViewWidget;
}

// The live image of a camera window: the renderer framed by two scroll bars
// and a message label, with zoom, grid lines, the cursor position readout
// and the camera window's context menu, whose commands leave as signals.
class ZelImageViewWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ZelImageViewWidget(QWidget* parent = nullptr);
    ~ZelImageViewWidget() override;

    // The record's pixels must stay valid until the next setImage or
    // setImageSize: the view keeps only the pointer.
    void setImage(const ORV_BUFFER_INFO& info);
    // The image size before streaming starts; drops the image shown so far.
    void setImageSize(int width, int height);
    QRect viewRect() const;
    // Offers the tool's entry of the Assistant menu, or greys it out. The
    // correction tools' menus follow their status slots instead.
    void setToolOffered(ZelCameraTool tool, bool offered);

    double zoomPercentage() const { return m_zoom; }
    ZelImageViewController* controller() const { return m_controller; }
    ZelImageViewRendererPainter* renderer() const { return m_renderer; }

    static constexpr double kMinZoomPercentage = 1.25;
    static constexpr double kMaxZoomPercentage = 10000.0;

signals:
    void cursorPosChange(QPoint cursorPos);
    void actionFeatureTreeShow();
    void actionViewerClose();
    void actionShowLUTWidget();
    void actionShowLineStatusWidget();
    void actionShowStrobeControllerWidget();
    void actionShowSequencerWidget();
    void actionShowIOConfigWidget();
    void zoomEvent(double zoomPercentage);
    void actionViewerActionsLoadMap();
    void actionViewerActionsSaveMap();
    void actionViewerActionGenerateMap();
    void actionViewerInitDefectPixelCorrection();
    void actionViewerSelectCustomMap(bool checked);
    void actionViewerSelectFactory(bool checked);
    void actionViewerActionEnableCorrection(bool checked);
    void actionViewerActionsLoadShadingMap();
    void actionViewerActionGenerateShadingMap();
    void actionViewerInitShadingCorrection();
    void actionViewerInitColorCorrection();
    void actionViewerSelectMap0(bool checked);
    void actionViewerSelectMap1(bool checked);
    void actionViewerSelectMap2(bool checked);
    void actionViewerActionShadingEnableCorrection(bool checked);
    void actionShowEventViewerWidget();
    void actionShowPixelHistogramWidget();
    void actionShowColorCorrectionWidget();
    void actionShowFileAccess();

private slots:
    void _onZoomIn();
    void _onZoomOut();
    void _onResetZoom();
    void _onZoomFitToScreen();
    void _onViewerInitDefectPixelCorection(bool CorrectionEnabled, bool isCustomMap, bool isParamlocked);
    void _onViewerInitShadingCorection(bool CorrectionEnabled, int mapIndex, bool isParamlocked);
    void _onViewerEnableColorCorrection(bool CorrectionEnabled);
    void _onViewerEnableFileAccess(bool fileAccessEnabled);
    void _onViewerSelectCustomMap(bool checked);
    void _onViewerSelectFactory(bool checked);
    void _onViewerActionEnableCorrection(bool checked);
    void _onViewerSelectMap0(bool checked);
    void _onViewerSelectMap1(bool checked);
    void _onViewerSelectMap2(bool checked);
    void _onViewerActionShadingEnableCorrection(bool checked);
    void _onGridSize8(bool checked);
    void _onGridSize16(bool checked);
    void _onGridSize32(bool checked);
    void _onGridSize64(bool checked);
    void _onGridColorWhite(bool checked);
    void _onGridColorBlack(bool checked);
    void _onGridColorRed(bool checked);
    void _onGridColorBlue(bool checked);
    void _onGridColorGreen(bool checked);
    void _onGridLineEnable(bool checked);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildContextMenu();
    QMenu* addStyledMenu(QMenu* parent, const QString& title);
    void zoomInAt(const QPoint& anchor);
    void zoomOutAt(const QPoint& anchor);
    void applyZoom(double oldZoom, double newZoom, const QPoint& anchor);
    void updateZoomActions();
    QPoint cursorAnchor() const;

    double m_zoom = 100.0;
    QMenu* m_mainMenu = nullptr;
    QAction* m_zoomIn = nullptr;
    QAction* m_zoomOut = nullptr;
    QAction* m_defectCustomMap = nullptr;
    QAction* m_defectFactoryMap = nullptr;
    QAction* m_defectLoadMap = nullptr;
    QAction* m_defectEnable = nullptr;
    QActionGroup* m_defectMapGroup = nullptr;
    QMenu* m_defectMenu = nullptr;
    QActionGroup* m_shadingMapGroup = nullptr;
    QMenu* m_shadingMenu = nullptr;
    QAction* m_shadingMap[3] = {nullptr, nullptr, nullptr};
    QAction* m_shadingEnable = nullptr;
    QAction* m_shadingLoadMap = nullptr;
    QAction* m_colorCorrection = nullptr;
    QAction* m_fileAccess = nullptr;
    QAction* m_toolActions[zelCameraToolCount] = {};
    QActionGroup* m_gridSizeGroup = nullptr;
    QActionGroup* m_gridColorGroup = nullptr;
    ZelImageViewController* m_controller = nullptr;
    ZelImageViewRendererPainter* m_renderer = nullptr;
    Ui::ZelImageViewWidget* ui = nullptr;
};

#endif
