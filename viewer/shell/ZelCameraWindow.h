#ifndef ZELCAMERAWINDOW_H
#define ZELCAMERAWINDOW_H

#include "OrvSdk.h"
#include "ZelAcqBuffer.h"
#include "ZelCamera.h"
#include "ZelCameraTool.h"

#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <QVariant>

#include <functional>

class QDockWidget;
class QLabel;
class QProgressDialog;
class QTimer;
class ZelDefectPixelCorrection;
class QTcpSocket;
class ZelCameraDataStream;
class ZelEventManager;
class ZelImageViewWidget;
class ZelPropertyWidget;
class ZelShadingTool;
class ZelThreadImageWriter;

// The window of one open camera: live image, feature panel in a dock and a
// row of status labels. Deletes itself when closed, when the view asks for
// it, when the camera's connection is lost and after a device reset; never
// while one of its own camera calls is running.
class ZelCameraWindow : public QMainWindow
{
    Q_OBJECT

public:
    // accessMode: the device access the camera was opened with; 3 (control)
    // and 4 (exclusive) drive the data stream, anything else is read-only.
    ZelCameraWindow(ZelCamera* camera, int accessMode, QWidget* parent = nullptr);
    ~ZelCameraWindow() override;

    bool isDefectPixelCorrectionSupported() const { return m_defectPixelSupported; }
    bool isShadingSupported();
    bool isNUShadingSupported();
    bool isColorCorrectionAvailable();
    bool isFileAccessSupported() const { return m_fileAccessSupported; }
    ZelPropertyWidget* propertyWidget() const { return m_propertyWidget; }

    bool isReadOnly() const { return m_readOnly; }
    ZelCamera* camera() const { return m_camera; }
    ZelImageViewWidget* imageView() const { return m_view; }
    QDockWidget* dock() const { return m_dock; }
    bool isBigEndian() const { return m_bigEndian; }
    bool isRegisterMode() const { return m_registerMode; }
    // The status labels, left to right: image ID, image lost, timestamp, X,
    // Y, pixel value, frame rate, data rate, zoom; their texts; and the
    // longest text each is made to hold.
    QList<QLabel*> statusLabels() const;
    QStringList statusTexts() const;
    static QStringList longestStatusTexts();

    bool eventFilter(QObject* watched, QEvent* event) override;

    // Whether the window can open the tool: the viewer has it and the camera
    // supports it. The menus offer a tool only then.
    bool canOpen(ZelCameraTool tool);
    // The open tool window, or null.
    QWidget* tool(ZelCameraTool tool) const { return m_tools[int(tool)]; }
    QProgressDialog* progressDialog() const { return m_progressDialog; }
    const QString& title() const { return m_title; }

    // Stores the camera's settings in the active user set (user set 1 when
    // the default set is active); the result of the last step.
    bool saveUserSet();
    // Whether the camera has user sets to store settings in.
    bool hasUserSets() const;

public slots:
    void onShowLutWidget();
    void onShowLineStatusWidget();
    void onShowStrobeControllerWidget();
    void onShowSequencerWidget();
    void onShowIOConfigWidget();
    void onShowEventViewerWidget();
    void onShowPixelHistogramWidget();
    void onShowFileAccess();
    void onShowColorCorrectionWidget();
    void onShowColorCorrection();
    // Hands a copy of the displayed image to the colour correction window.
    void onUpdateCCMSourceImage();
    void onShowDefectPixelCorrectionWidget();
    void onShowShadingCorrectionWidget();
    void onShowDefectPixelCorrection();
    void onShowShadingCorrection();
    void onInitDefectPixelCorection();
    void onInitShadingCorection();
    void onProgressBarValueChanged(bool done, int value);
    // Defect map commands of the view's and the main window's menus.
    void onEnableCorrection(bool enabled);
    void onSelectCustomMap(bool enabled);
    void onSelectFactoryMap(bool enabled);
    void onImportMap();
    void onExportMap();
    // Shading map commands of the view's and the main window's menus.
    void onEnableShadingCorrection(bool enabled);
    void onSelectMap0(bool enabled);
    void onSelectMap1(bool enabled);
    void onSelectMap2(bool enabled);
    void onImportShadingMap();

signals:
    void updateDefectPixelStatus(bool enabled, bool customMap, bool locked);
    void updateShadingStatus(bool enabled, int map, bool locked);
    void discoverButtonClicked();
    void enableColorCorrection(bool enabled);
    void enableFileAccess(bool enabled);
    void tcpSetFeatureValue(QTcpSocket* socket, QString featureName, QVariant value);
    void tcpGetFeatureValue(QTcpSocket* socket, QString featureName);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void _onAcquisitionError(int error);
    void _onUpdateFrameRate(QString frameRate);
    void _onUpdateDataRate(QString dataRate);
    void _onUpdateImageLost(QString numImageLost);
    void _onUpdateStatusPos(QPoint pos);
    void _onUpdateZoomPercentage(double zoomPercentage);
    void _onSnap();
    void _onStartCapture();
    void _onStopCapture();
    void _onShowFeatureTree();
    void _onNewImageRecieved(ZelAcqBufferPtr buffer);
    void _onConnectionStatusChanged(int eventType, QVariant info);
    void _onDeviceResetClicked();
    void _onRefreshClicked();
    void _onStreamError(int error);
    void _onImagesStalled();
    void _onCloseRequested();
    void _onAssistantWidgetDestroyed(QObject* tool);
    void _onSaveImage();
    void _onImageSaveCompleted(int status, QString fileName);
    void _onSaveSettings();
    void _onLoadSettings();

private:
    class Busy;
    friend class Busy;

    // Deletes the window once no camera call runs and no dialog is open, from
    // the event loop, after the loop that asked for it has returned.
    void deleteWhenFree();

    void buildForm();
    void buildStatusBar();
    void connectView();
    void connectPropertyWidget();
    void disconnectPropertyWidget();
    void makeTitle();
    void probeDefectPixelCorrection();
    void probeShading();
    bool startStream();
    void connectStream();
    void disconnectStream();
    void stopCapture();
    void showStartFailure();
    void updatePixelValue(const QPoint& pos);
    void clearLastImage();
    // Expects the next image within a few frame periods of the last.
    void watchImageRate();
    void offerTools();
    // How the window builds one tool and makes the tool's own connections.
    struct ToolHook {
        ZelCameraTool tool;
        QWidget* (*build)(ZelCameraWindow* window);
    };
    // The hook of a tool the viewer has; null for one it does not have yet.
    static const ToolHook* toolHook(ZelCameraTool tool);
    // The tool, built and connected when missing; null when it cannot be.
    QWidget* ensureTool(ZelCameraTool tool);
    void showTool(ZelCameraTool tool);
    void ensureProgressDialog();
    ZelDefectPixelCorrection* defectTool() const;
    // The block shading tool when it exists, else the non-uniform one.
    ZelShadingTool* shadingTool() const;
    void selectShadingMap(int map, bool enabled);
    void storeFolder(const char* key, const QString& folder, const QString& chosenFile);
    // Runs a settings-file call of the camera under the wait cursor, with
    // the remote device's invalidation signals off.
    bool withoutInvalidation(const std::function<bool()>& settingsCall);

    ZelImageViewWidget* m_view = nullptr;
    QDockWidget* m_dock = nullptr;
    ZelPropertyWidget* m_propertyWidget = nullptr;
    ZelCamera* m_camera = nullptr;

    QLabel* m_imageIdLabel = nullptr;
    QLabel* m_imageLostLabel = nullptr;
    QLabel* m_timestampLabel = nullptr;
    QLabel* m_xLabel = nullptr;
    QLabel* m_yLabel = nullptr;
    QLabel* m_pixelValueLabel = nullptr;
    QLabel* m_frameRateLabel = nullptr;
    QLabel* m_zoomLabel = nullptr;
    QLabel* m_dataRateLabel = nullptr;
    QPoint m_lastCursorPos{-1, -1};
    QLabel* m_spareLabel = nullptr;

    ZelCameraDataStream* m_stream = nullptr;
    // The stream buffer of the last image and a copy of its display record,
    // taken together when the image arrived; cleared by each start, which
    // frees the display buffers.
    ZelAcqBufferPtr m_lastImage = nullptr;
    ORV_BUFFER_INFO m_lastDisplay{};
    QString m_title;
    QWidget* m_tools[zelCameraToolCount] = {};
    QProgressDialog* m_progressDialog = nullptr;

    ZelThreadImageWriter* m_imageWriter = nullptr;
    ZelEventManager* m_connectionEvents = nullptr;
    QList<QMetaObject::Connection> m_panelConnections;
    QList<QMetaObject::Connection> m_streamConnections;

    bool m_readOnly = true;
    bool m_firstImagePending = false;
    bool m_disconnected = false;  // the disconnect notice was given
    bool m_streamErrorShown = false; // the stream's error notice of this start
    // Fires when images stop coming while the stream runs.
    QTimer* m_rateWatch = nullptr;
    double m_framePeriodMs = 0;   // of the last reported rate; 0 unknown
    bool m_imagesStalled = false; // the rates show that none arrive
    int m_busy = 0;               // running camera calls; deletion waits
    bool m_deletePending = false;
    qint64 m_bitDepth = 0;
    qint64 m_width = 0;
    qint64 m_height = 0;
    bool m_bigEndian = false;
    bool m_registerMode = false;
    bool m_defectPixelSupported = false;
    bool m_blockShadingSupported = false;
    bool m_nuShadingSupported = false;
    bool m_colorCorrectionSupported = false;
    bool m_fileAccessSupported = false;
};

#endif // ZELCAMERAWINDOW_H
