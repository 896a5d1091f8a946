#include "ZelCameraWindow.h"
#include "ZelCameraWindowBusy.h"

#include "ZelBalloonTip.h"
#include "ZelCameraDataStream.h"
#include "ZelDialogs.h"
#include "ZelEventManager.h"
#include "ZelFeatureData.h"
#include "ZelFeatureManager.h"
#include "ZelImageViewWidget.h"
#include "ZelPixelHistogramWidget.h"
#include "ZelPropertyWidget.h"
#include "ZelSdkMetaTypes.h"
#include "ZelThreadImageWriter.h"
#include "ZelTrace.h"
#include "ZelUtil.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDockWidget>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <limits>

namespace {

constexpr uint32_t defectPixelRevisionRegister = 0x10004040;
const char* const startFailedText = "StartAcquisition failed!";
// How often a deletion that waits for a dialog looks again.
constexpr int dialogRetryMs = 100;

// Images count as stopped after this many frame periods without one, and
// never sooner than the floor, which a busy GUI thread may take between two.
constexpr double stalledFramePeriods = 3.0;
constexpr int stalledFloorMs = 1000;

} // namespace

ZelCameraWindow::ZelCameraWindow(ZelCamera* camera, int accessMode, QWidget* parent)
    : QMainWindow(parent)
    , m_camera(camera)
{
    setAttribute(Qt::WA_DeleteOnClose);
    buildForm();
    // The view reports the cursor as soon as it gets an image size.
    buildStatusBar();

    m_connectionEvents = new ZelEventManager(camera->deviceHandle, ORV_EVENT_TYPE_DEVICE_CONNECTION, this);
    connect(m_connectionEvents, &ZelEventManager::triggered, this, &ZelCameraWindow::_onConnectionStatusChanged);
    m_connectionEvents->Enable();

    m_rateWatch = new QTimer(this);
    m_rateWatch->setSingleShot(true);
    connect(m_rateWatch, &QTimer::timeout, this, &ZelCameraWindow::_onImagesStalled);

    m_readOnly = !(accessMode == ORV_ACCESS_MODE_CONTROL || accessMode == ORV_ACCESS_MODE_EXCLUSIVE);
    m_stream = m_readOnly ? nullptr : camera->dataStream;
    connectView();
    if (m_stream) {
        m_view->setImageSize(m_stream->GetWidth(), m_stream->GetHeight());
        m_imageWriter = new ZelThreadImageWriter(this);
        m_imageWriter->start(QThread::InheritPriority);
        m_dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                            QDockWidget::DockWidgetFloatable);
        connect(m_stream, &ZelCameraDataStream::acquisitionError, this, &ZelCameraWindow::_onStreamError);
    } else {
        m_dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    }

    m_propertyWidget->setFeatureManagers(camera->remoteDeviceFeatures, camera->systemFeatures,
                                         camera->interfaceFeatures, camera->deviceFeatures,
                                         camera->streamFeatures, m_readOnly, camera->dataStream != nullptr);
    connectPropertyWidget();
    makeTitle();
    setWindowTitle(m_title);

    m_bigEndian = ZelUtil::RecordText(camera->GetDeviceInfo().tlType) != QLatin1String("U3V");
    probeDefectPixelCorrection();
    if (m_defectPixelSupported)
        onInitDefectPixelCorection();
    QVariant freeSize;
    m_fileAccessSupported = camera->remoteDeviceFeatures &&
                            camera->remoteDeviceFeatures->GetValue("FilesystemFreeSize", freeSize);
    emit enableFileAccess(m_fileAccessSupported);
    probeShading();
    m_colorCorrectionSupported = isColorCorrectionAvailable();
    offerTools();
}

ZelCameraWindow::~ZelCameraWindow()
{
    stopCapture();
    disconnectPropertyWidget();
    m_propertyWidget->releaseFeatureTrees();
    // Children deleted by the base classes must not call back into a window
    // that is half destroyed.
    for (QObject* child : children())
        disconnect(child, &QObject::destroyed, this, nullptr);
    delete m_connectionEvents;
    m_connectionEvents = nullptr;
    delete m_imageWriter;
    m_imageWriter = nullptr;
}

void ZelCameraWindow::buildForm()
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("ZelCameraWindow"));
    resize(800, 600);
    setCursor(Qt::ArrowCursor);
    setMouseTracking(false);
    setWindowIcon(QIcon(QStringLiteral(":/res/icon/ms-icon-144x144.png")));

    m_view = new ZelImageViewWidget(this);
    m_view->setObjectName(QStringLiteral("ViewerWidget"));
    setCentralWidget(m_view);

    m_dock = new QDockWidget(this);
    m_dock->setObjectName(QStringLiteral("dockWidget"));
    m_dock->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    m_dock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    m_propertyWidget = new ZelPropertyWidget(m_dock);
    m_propertyWidget->setObjectName(QStringLiteral("PropertyWidget"));
    m_dock->setWidget(m_propertyWidget);
    addDockWidget(Qt::LeftDockWidgetArea, m_dock);

    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->setLayoutDirection(Qt::RightToLeft);
    setStatusBar(bar);
    setWindowTitle(QStringLiteral("MainWindow"));
    m_dock->installEventFilter(this);
}

namespace {

// The status labels: first text, least width, and the longest text each
// must hold in the font in use.
struct StatusLabelSpec {
    const char* text;
    int width;
    const char* longest;
};
const StatusLabelSpec statusSpecs[] = {
    {"Image ID: ", 120, "Image ID: 4294967295"},
    {"Image Lost: ", 120, "Image Lost: 4294967295"},
    {"Timestamp: ", 230, "Timestamp: 18446744073709551615"},
    {"X", 60, "X: 99999"},
    {"Y", 60, "Y: 99999"},
    {"", 140, "RGB: R=255 G=255 B=255"},
    {"Camera FPS: ", 120, "Camera FPS: 9999.9"},
    {"Data Rate(MB/s)", 200, "Data Rate(MB/s): 9999.9999"},
    {"Zoom: 100%", 120, "Zoom: 10000.00%"},
};
enum { ImageIdSpec, ImageLostSpec, TimestampSpec, XSpec, YSpec, PixelSpec, FrameRateSpec, DataRateSpec, ZoomSpec };

} // namespace

void ZelCameraWindow::buildStatusBar()
{
    auto label = [this](const StatusLabelSpec& spec) {
        auto* l = new QLabel(QString::fromLatin1(spec.text), this);
        // Wide enough for its longest text in this system's fonts.
        const int needed = l->fontMetrics().horizontalAdvance(QString::fromLatin1(spec.longest)) + 6;
        l->setFixedWidth(std::max(spec.width, needed));
        l->setFixedHeight(20);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return l;
    };
    m_imageIdLabel = label(statusSpecs[ImageIdSpec]);
    m_imageLostLabel = label(statusSpecs[ImageLostSpec]);
    m_timestampLabel = label(statusSpecs[TimestampSpec]);
    m_xLabel = label(statusSpecs[XSpec]);
    m_yLabel = label(statusSpecs[YSpec]);
    m_pixelValueLabel = label(statusSpecs[PixelSpec]);
    m_frameRateLabel = label(statusSpecs[FrameRateSpec]);
    m_dataRateLabel = label(statusSpecs[DataRateSpec]);
    m_zoomLabel = label(statusSpecs[ZoomSpec]);
    m_spareLabel = new QLabel(this);
    m_spareLabel->setFixedHeight(20);

    QStatusBar* bar = statusBar();
    bar->addPermanentWidget(m_spareLabel, 1);
    for (QLabel* l : {m_zoomLabel, m_dataRateLabel, m_frameRateLabel, m_pixelValueLabel, m_yLabel, m_xLabel,
                      m_timestampLabel, m_imageLostLabel, m_imageIdLabel})
        bar->addPermanentWidget(l, 0);
}

QList<QLabel*> ZelCameraWindow::statusLabels() const
{
    return {m_imageIdLabel, m_imageLostLabel, m_timestampLabel, m_xLabel, m_yLabel,
            m_pixelValueLabel, m_frameRateLabel, m_dataRateLabel, m_zoomLabel};
}

QStringList ZelCameraWindow::statusTexts() const
{
    QStringList texts;
    for (const QLabel* l : statusLabels())
        texts << l->text();
    return texts;
}

QStringList ZelCameraWindow::longestStatusTexts()
{
    QStringList texts;
    for (const StatusLabelSpec& spec : statusSpecs)
        texts << QString::fromLatin1(spec.longest);
    return texts;
}

void ZelCameraWindow::connectView()
{
    connect(m_view, &ZelImageViewWidget::cursorPosChange, this, &ZelCameraWindow::_onUpdateStatusPos);
    connect(m_view, &ZelImageViewWidget::actionFeatureTreeShow, this, &ZelCameraWindow::_onShowFeatureTree);
    connect(m_view, &ZelImageViewWidget::actionViewerClose, this, &ZelCameraWindow::_onCloseRequested);
    connect(m_view, &ZelImageViewWidget::zoomEvent, this, &ZelCameraWindow::_onUpdateZoomPercentage);

    ZelImageViewWidget* v = m_view;
    connect(v, &ZelImageViewWidget::actionShowLUTWidget, this, &ZelCameraWindow::onShowLutWidget);
    connect(v, &ZelImageViewWidget::actionShowLineStatusWidget, this, &ZelCameraWindow::onShowLineStatusWidget);
    connect(v, &ZelImageViewWidget::actionShowStrobeControllerWidget, this,
            &ZelCameraWindow::onShowStrobeControllerWidget);
    connect(v, &ZelImageViewWidget::actionShowSequencerWidget, this, &ZelCameraWindow::onShowSequencerWidget);
    connect(v, &ZelImageViewWidget::actionShowIOConfigWidget, this, &ZelCameraWindow::onShowIOConfigWidget);
    connect(v, &ZelImageViewWidget::actionShowEventViewerWidget, this, &ZelCameraWindow::onShowEventViewerWidget);
    connect(v, &ZelImageViewWidget::actionShowPixelHistogramWidget, this,
            &ZelCameraWindow::onShowPixelHistogramWidget);
    connect(v, &ZelImageViewWidget::actionShowColorCorrectionWidget, this,
            &ZelCameraWindow::onShowColorCorrectionWidget);
    connect(v, &ZelImageViewWidget::actionShowFileAccess, this, &ZelCameraWindow::onShowFileAccess);
    connect(v, &ZelImageViewWidget::actionViewerInitDefectPixelCorrection, this,
            &ZelCameraWindow::onShowDefectPixelCorrection);
    connect(v, &ZelImageViewWidget::actionViewerInitShadingCorrection, this, &ZelCameraWindow::onShowShadingCorrection);
    connect(v, &ZelImageViewWidget::actionViewerInitColorCorrection, this, &ZelCameraWindow::onShowColorCorrection);
    connect(v, &ZelImageViewWidget::actionViewerActionGenerateMap, this,
            &ZelCameraWindow::onShowDefectPixelCorrectionWidget);
    connect(v, &ZelImageViewWidget::actionViewerActionsLoadMap, this, &ZelCameraWindow::onImportMap);
    connect(v, &ZelImageViewWidget::actionViewerActionsSaveMap, this, &ZelCameraWindow::onExportMap);
    connect(v, &ZelImageViewWidget::actionViewerSelectCustomMap, this, &ZelCameraWindow::onSelectCustomMap);
    connect(v, &ZelImageViewWidget::actionViewerSelectFactory, this, &ZelCameraWindow::onSelectFactoryMap);
    connect(v, &ZelImageViewWidget::actionViewerActionEnableCorrection, this, &ZelCameraWindow::onEnableCorrection);
    connect(v, &ZelImageViewWidget::actionViewerActionGenerateShadingMap, this,
            &ZelCameraWindow::onShowShadingCorrectionWidget);
    connect(v, &ZelImageViewWidget::actionViewerActionsLoadShadingMap, this, &ZelCameraWindow::onImportShadingMap);
    connect(v, &ZelImageViewWidget::actionViewerSelectMap0, this, &ZelCameraWindow::onSelectMap0);
    connect(v, &ZelImageViewWidget::actionViewerSelectMap1, this, &ZelCameraWindow::onSelectMap1);
    connect(v, &ZelImageViewWidget::actionViewerSelectMap2, this, &ZelCameraWindow::onSelectMap2);
    connect(v, &ZelImageViewWidget::actionViewerActionShadingEnableCorrection, this,
            &ZelCameraWindow::onEnableShadingCorrection);
    // The view's state slots are its own (private): connected by name.
    connect(this, SIGNAL(updateDefectPixelStatus(bool, bool, bool)), v,
            SLOT(_onViewerInitDefectPixelCorection(bool, bool, bool)));
    connect(this, SIGNAL(updateShadingStatus(bool, int, bool)), v, SLOT(_onViewerInitShadingCorection(bool, int, bool)));
    connect(this, SIGNAL(enableColorCorrection(bool)), v, SLOT(_onViewerEnableColorCorrection(bool)));
}

void ZelCameraWindow::connectPropertyWidget()
{
    ZelPropertyWidget* p = m_propertyWidget;
    m_panelConnections = {
        connect(p, &ZelPropertyWidget::startButtonClicked, this, &ZelCameraWindow::_onStartCapture),
        connect(p, &ZelPropertyWidget::stopButtonClicked, this, &ZelCameraWindow::_onStopCapture),
        connect(p, &ZelPropertyWidget::snapButtonClicked, this, &ZelCameraWindow::_onSnap),
        connect(p, &ZelPropertyWidget::discoverButtonClicked, this, &ZelCameraWindow::discoverButtonClicked),
        connect(p, &ZelPropertyWidget::deviceResetCommandExecute, this, &ZelCameraWindow::_onDeviceResetClicked),
        connect(p, &ZelPropertyWidget::ButtonRefresh, this, &ZelCameraWindow::_onRefreshClicked),
        connect(p, &ZelPropertyWidget::saveSettingsButtonClicked, this, &ZelCameraWindow::_onSaveSettings),
        connect(p, &ZelPropertyWidget::loadSettingsButtonClicked, this, &ZelCameraWindow::_onLoadSettings),
    };
    if (m_imageWriter) {
        m_panelConnections << connect(p, &ZelPropertyWidget::saveButtonClicked, this, &ZelCameraWindow::_onSaveImage)
                           << connect(m_imageWriter, &ZelThreadImageWriter::imageWriteComplete, this,
                                      &ZelCameraWindow::_onImageSaveCompleted);
    }
    if (m_stream) {
        m_panelConnections << connect(p, &ZelPropertyWidget::autoSaveEnable, m_stream,
                                      &ZelCameraDataStream::onEnableAutoSave)
                           << connect(m_stream, &ZelCameraDataStream::imageSaved, p,
                                      &ZelPropertyWidget::OnImageSaveComplete);
    }
}

void ZelCameraWindow::disconnectPropertyWidget()
{
    for (const QMetaObject::Connection& c : m_panelConnections)
        disconnect(c);
    m_panelConnections.clear();
}

void ZelCameraWindow::makeTitle()
{
    const ORV_DEVICE_INFO info = m_camera->GetDeviceInfo();
    const QString model = ZelUtil::RecordText(info.model);
    m_title.clear();
    if (model.isEmpty())
        return;
    m_title = model;
    const QString serial = ZelUtil::RecordText(info.serialNumber);
    if (!serial.isEmpty())
        m_title += QStringLiteral(" - ") + serial;
    const QString manufacturer = m_camera->GetManufacturerInfo();
    if (!manufacturer.isEmpty())
        m_title += QStringLiteral(" - ") + manufacturer;
}

void ZelCameraWindow::probeDefectPixelCorrection()
{
    ZelFeatureManager* remote = m_camera->remoteDeviceFeatures;
    if (!remote)
        return;
    bool throughFeatures = false;
    QVariant revision;
    if (remote->GetValue("DefectPixelCorrection_Revision", revision) && revision.toLongLong() >= 3)
        throughFeatures = true;
    m_registerMode = !throughFeatures;

    bool throughRegisters = false;
    QVariant vendor;
    if (!remote->GetValue("DeviceVendorName", vendor))
        vendor = QString();
    if (QStringLiteral("NORRIK-Ombrel").contains(vendor.toString()) && m_camera->deviceFeatures) {
        quint32 word = 0;
        size_t length = sizeof word;
        if (m_camera->deviceFeatures->GetRegister(defectPixelRevisionRegister, &word, &length)) {
            if (m_bigEndian)
                word = qbswap(word);
            throughRegisters = word >= 3;
        }
    }
    m_defectPixelSupported = throughFeatures || throughRegisters;
}

void ZelCameraWindow::probeShading()
{
    m_nuShadingSupported = isNUShadingSupported();
    m_blockShadingSupported = !m_nuShadingSupported && isShadingSupported();
}

bool ZelCameraWindow::isShadingSupported()
{
    QVariant value;
    return m_camera->remoteDeviceFeatures && m_camera->remoteDeviceFeatures->GetValue("Shading_MapSelect", value);
}

bool ZelCameraWindow::isNUShadingSupported()
{
    QVariant value;
    if (!m_camera->remoteDeviceFeatures || !m_camera->remoteDeviceFeatures->GetValue("Shading_Revision", value))
        return false;
    return value.toLongLong() == 4;
}

bool ZelCameraWindow::isColorCorrectionAvailable()
{
    ZelFeatureData data;
    if (!m_camera->remoteDeviceFeatures || !m_camera->remoteDeviceFeatures->GetData("ColorTransformationControl", data))
        return false;
    return data.info.isAvailable != 0;
}

bool ZelCameraWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (ZelBalloonTip::isBalloonVisible() && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        ZelBalloonTip::hideBalloon();
    return QMainWindow::eventFilter(watched, event);
}

bool ZelCameraWindow::event(QEvent* event)
{
    // Deletion waits for the running camera call, and for every open dialog:
    // a dialog's event loop runs below callers that may still use this
    // window (a panel slot, a tree edit), and a dialog of the window would
    // be deleted under its own loop.
    if (event->type() == QEvent::DeferredDelete && (m_busy > 0 || ZelDialogs::openCount() > 0)) {
        m_deletePending = true;
        if (m_busy == 0)
            QTimer::singleShot(dialogRetryMs, this, &ZelCameraWindow::deleteWhenFree);
        return true;
    }
    return QMainWindow::event(event);
}

void ZelCameraWindow::deleteWhenFree()
{
    m_deletePending = true;
    // Qt keeps one deferred delete per object: once one was refused above, a
    // further deleteLater() of this window is dropped whenever other events
    // for it wait, and the window would stay. A new object's deferred delete
    // carries the deletion instead, with the same rule for the loop level.
    auto* carrier = new QObject;
    connect(carrier, &QObject::destroyed, this, [this] {
        if (m_busy > 0)
            return; // the running call's end asks again
        if (ZelDialogs::openCount() > 0) {
            QTimer::singleShot(dialogRetryMs, this, &ZelCameraWindow::deleteWhenFree);
            return;
        }
        delete this;
    });
    carrier->deleteLater();
}

void ZelCameraWindow::closeEvent(QCloseEvent* event)
{
    if (m_busy > 0) {
        m_deletePending = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void ZelCameraWindow::_onCloseRequested()
{
    if (m_busy > 0)
        m_deletePending = true;
    else
        deleteWhenFree();
}

void ZelCameraWindow::_onConnectionStatusChanged(int eventType, QVariant info)
{
    if (eventType != ORV_EVENT_TYPE_DEVICE_CONNECTION || m_disconnected)
        return;
    // Only a real connection record can close the window.
    if (info.userType() != qMetaTypeId<ORV_EVENT_DEVICE_CONNECTION_DATA>())
        return;
    const auto record = info.value<ORV_EVENT_DEVICE_CONNECTION_DATA>();
    if (record.connectionState != 0 && record.connectionState != 3)
        return;
    m_disconnected = true;
    Busy busy(this, false);
    stopCapture(); // also ends a snap that waits for an image
    for (QMessageBox* box : findChildren<QMessageBox*>())
        box->done(QMessageBox::Cancel);
    ZelDialogs::critical(this, m_camera->deviceId, QStringLiteral("<p align='center'>Camera Disconnected!<br>"));
    m_deletePending = true;
}

void ZelCameraWindow::_onDeviceResetClicked()
{
    Busy busy(this, false);
    stopCapture();
    ZelDialogs::information(this, QStringLiteral("Device Reset"),
                            QStringLiteral("<p align='center'>Camera will reboot<br>"
                                           "Please Wait Shortly and discover it again<br></p>"));
    m_deletePending = true;
}

// ---- acquisition ----

bool ZelCameraWindow::startStream()
{
    if (m_stream->IsStarted())
        return false;
    m_propertyWidget->setSaveEnabled(false);
    // The view drops its image before the start frees the display buffers.
    m_view->setImageSize(m_stream->GetWidth(), m_stream->GetHeight());
    m_imageLostLabel->setText(QStringLiteral("Image Lost: "));
    // Rates of an earlier run say nothing about this one.
    m_frameRateLabel->setText(QString::fromLatin1(statusSpecs[FrameRateSpec].text));
    m_dataRateLabel->setText(QString::fromLatin1(statusSpecs[DataRateSpec].text));
    m_rateWatch->stop();
    m_framePeriodMs = 0;
    m_imagesStalled = false;
    clearLastImage();
    m_streamErrorShown = false;
    connectStream();
    if (!m_stream->StartAcquisition(quint64(-1))) {
        disconnectStream();
        return false;
    }
    ZelFeatureData pixelSize;
    if (m_camera->remoteDeviceFeatures && m_camera->remoteDeviceFeatures->GetData("PixelSize", pixelSize) &&
        pixelSize.info.enumIndex >= 0 && pixelSize.info.enumIndex < pixelSize.info.enumCount &&
        pixelSize.info.enumIndex < pixelSize.entries.size()) {
        static const struct { const char* name; qint64 bits; } depths[] = {
            {"Bpp8", 8}, {"Bpp10", 10}, {"Bpp12", 12}, {"Bpp16", 16}};
        const QString entry = pixelSize.entries.at(pixelSize.info.enumIndex);
        for (const auto& depth : depths) {
            if (entry == QLatin1String(depth.name))
                m_bitDepth = depth.bits;
        }
    }
    m_firstImagePending = true;
    m_propertyWidget->refreshCurrentTree();
    return true;
}

void ZelCameraWindow::connectStream()
{
    m_streamConnections = {
        connect(m_stream, &ZelCameraDataStream::imageReady, this, &ZelCameraWindow::_onNewImageRecieved),
        connect(m_stream, &ZelCameraDataStream::dataRateReady, this, &ZelCameraWindow::_onUpdateDataRate),
        connect(m_stream, &ZelCameraDataStream::frameRateReady, this, &ZelCameraWindow::_onUpdateFrameRate),
        connect(m_stream, &ZelCameraDataStream::imageLost, this, &ZelCameraWindow::_onUpdateImageLost),
    };
}

void ZelCameraWindow::disconnectStream()
{
    for (const QMetaObject::Connection& c : m_streamConnections)
        disconnect(c);
    m_streamConnections.clear();
}

void ZelCameraWindow::showStartFailure()
{
    ZelDialogs::critical(this, QString(), QString::fromLatin1(startFailedText));
}

void ZelCameraWindow::_onStartCapture()
{
    if (!m_stream)
        return;
    Busy busy(this);
    if (!m_stream->IsStarted() && !startStream()) {
        showStartFailure();
        return;
    }
    if (!m_stream->AcquisitionStart()) {
        // The stream stays as it is; the panel keeps its state.
        showStartFailure();
        return;
    }
    m_propertyWidget->setAcquisitionState(1);
}

void ZelCameraWindow::_onSnap()
{
    if (!m_stream)
        return;
    Busy busy(this);
    bool startedHere = false;
    if (!m_stream->IsStarted()) {
        if (!startStream()) {
            showStartFailure();
            return;
        }
        startedHere = true;
    }
    if (m_stream->Snap()) {
        m_propertyWidget->setAcquisitionState(2);
        return;
    }
    // No image: the panel must still match the stream.
    if (startedHere && m_stream->IsStarted())
        stopCapture();
    m_propertyWidget->setAcquisitionState(m_stream->IsStarted() ? 2 : 0);
}

void ZelCameraWindow::_onStopCapture()
{
    if (!m_stream || !m_stream->IsStarted())
        return;
    Busy busy(this);
    stopCapture();
}

void ZelCameraWindow::stopCapture()
{
    if (!m_stream || !m_stream->IsStarted())
        return;
    disconnectStream();
    m_rateWatch->stop();
    m_stream->StopAcquisition();
    m_propertyWidget->setAcquisitionState(0);
    m_propertyWidget->refreshCurrentTree();
}

void ZelCameraWindow::clearLastImage()
{
    m_lastImage = nullptr;
    m_lastDisplay = ORV_BUFFER_INFO{};
}

void ZelCameraWindow::_onNewImageRecieved(ZelAcqBufferPtr buffer)
{
    // Posted before a stop: its buffers may be gone.
    if (!m_stream || !m_stream->IsStarted())
        return;
    if (!buffer) {
        m_view->setImage(ORV_BUFFER_INFO{});
        return;
    }
    ZelAcqBuffer* display = buffer->GetDisplayBuffer();
    if (!display)
        return;
    // Identifier, timestamp and pixels all of this one image.
    const ORV_BUFFER_INFO own = buffer->GetInfo();
    m_lastImage = buffer;
    m_lastDisplay = display->GetInfo();
    if (m_firstImagePending) {
        if (qint64(m_lastDisplay.width) != m_width || qint64(m_lastDisplay.height) != m_height)
            m_view->setImageSize(int(m_lastDisplay.width), int(m_lastDisplay.height));
        m_propertyWidget->setSaveEnabled(true);
        m_width = m_lastDisplay.width;
        m_height = m_lastDisplay.height;
        m_firstImagePending = false;
    }
    m_view->setImage(m_lastDisplay);
    if (m_imagesStalled) {
        // Images again: the rate is unknown until the stream reports it.
        m_imagesStalled = false;
        m_frameRateLabel->setText(QString::fromLatin1(statusSpecs[FrameRateSpec].text));
        m_dataRateLabel->setText(QString::fromLatin1(statusSpecs[DataRateSpec].text));
    }
    watchImageRate();
    if (auto* histogram = qobject_cast<ZelPixelHistogramWidget*>(m_tools[int(ZelCameraTool::PixelHistogram)]))
        histogram->updateImage(m_lastDisplay, m_bitDepth);
    m_imageIdLabel->setText(QStringLiteral("Image ID: ") + QString::number(quint64(own.imageId)));
    m_timestampLabel->setText(QStringLiteral("Timestamp: ") + QString::number(quint64(own.timestamp)));
    if (m_view->viewRect().contains(m_view->mapFromGlobal(QCursor::pos())))
        updatePixelValue(m_lastCursorPos);
}

void ZelCameraWindow::_onUpdateFrameRate(QString frameRate)
{
    m_frameRateLabel->setText(QStringLiteral("Camera FPS: ") + frameRate);
    const double rate = frameRate.toDouble();
    m_framePeriodMs = rate > 0 ? 1000.0 / rate : 0;
    m_imagesStalled = false;
    watchImageRate();
}

void ZelCameraWindow::_onUpdateDataRate(QString dataRate)
{
    m_dataRateLabel->setText(QStringLiteral("Data Rate(MB/s): ") + dataRate);
}

void ZelCameraWindow::watchImageRate()
{
    if (m_framePeriodMs <= 0)
        return;
    const double wait = qMax(double(stalledFloorMs), stalledFramePeriods * m_framePeriodMs);
    m_rateWatch->start(int(qMin(wait, double(std::numeric_limits<int>::max()))));
}

void ZelCameraWindow::_onImagesStalled()
{
    if (!m_stream || !m_stream->IsStarted())
        return;
    m_imagesStalled = true;
    m_frameRateLabel->setText(QStringLiteral("Camera FPS: ") + QString::number(0.0, 'f', 1));
    m_dataRateLabel->setText(QStringLiteral("Data Rate(MB/s): ") + QString::number(0.0, 'f', 4));
}

void ZelCameraWindow::_onUpdateImageLost(QString numImageLost)
{
    m_imageLostLabel->setText(QStringLiteral("Image Lost: ") + numImageLost);
}

void ZelCameraWindow::_onUpdateZoomPercentage(double zoomPercentage)
{
    m_zoomLabel->setText(QStringLiteral("Zoom: ") + QString::number(zoomPercentage, 'f', 2) + QLatin1Char('%'));
}

void ZelCameraWindow::_onUpdateStatusPos(QPoint pos)
{
    m_lastCursorPos = pos;
    if (pos.x() == -1 || pos.y() == -1) {
        m_xLabel->clear();
        m_yLabel->clear();
        m_pixelValueLabel->clear();
        return;
    }
    m_xLabel->setText(QStringLiteral("X: ") + QString::number(pos.x()));
    m_yLabel->setText(QStringLiteral("Y: ") + QString::number(pos.y()));
    updatePixelValue(pos);
}

void ZelCameraWindow::updatePixelValue(const QPoint& pos)
{
    const ORV_BUFFER_INFO& info = m_lastDisplay;
    if (!m_lastImage || !info.pixels || pos.x() < 0 || pos.y() < 0)
        return;
    if (quint64(pos.x()) >= info.width || quint64(pos.y()) >= info.height)
        return;
    const quint64 n = quint64(pos.y()) * info.width + quint64(pos.x());
    if (ZelUtil::IsColorFormat(info.pixelType)) {
        const auto* bgr = static_cast<const uint8_t*>(info.pixels) + n * 4;
        m_pixelValueLabel->setText(QStringLiteral("RGB: R=%1 G=%2 B=%3").arg(bgr[2]).arg(bgr[1]).arg(bgr[0]));
        return;
    }
    const int bits = ZelUtil::GetBitsPerPixel(info.pixelType);
    quint64 value;
    if ((bits == 12 || bits == 16) && info.secondBlock) {
        const quint16 word = static_cast<const quint16*>(info.secondBlock)[n];
        value = bits == 12 ? quint64(word >> 4) : quint64(word);
    } else {
        value = static_cast<const uint8_t*>(info.pixels)[n];
    }
    m_pixelValueLabel->setText(QStringLiteral("Mono: ") + QString::number(value));
}

void ZelCameraWindow::_onShowFeatureTree()
{
    if (m_dock->isHidden())
        m_dock->show();
    else if (m_dock->isFloating())
        m_dock->setFloating(false);
}

void ZelCameraWindow::_onRefreshClicked()
{
    ZelFeatureManager* remote = m_camera->remoteDeviceFeatures;
    if (!remote) {
        m_propertyWidget->refreshCurrentTree();
        return;
    }
    // A running stream keeps its transport-layer lock.
    if (m_stream && m_stream->IsStarted()) {
        m_propertyWidget->refreshCurrentTree();
        return;
    }
    QVariant locked(qint64(0));
    if (!remote->GetValue("TLParamsLocked", locked))
        locked = qint64(0);
    const bool wasLocked = locked.toULongLong() == 1;
    if (wasLocked)
        remote->SetValue("TLParamsLocked", QVariant(qint64(0)));
    m_propertyWidget->refreshCurrentTree();
    if (wasLocked)
        remote->SetValue("TLParamsLocked", QVariant(qint64(1)));
}

void ZelCameraWindow::_onStreamError(int error)
{
    if (m_disconnected || !m_stream || !m_stream->IsStarted())
        return;
    // A wait that ran out is no fault: long exposures, low frame rates and
    // triggers all leave the producer's wait without an image.
    if (error == ORV_ERROR_TIMEOUT)
        return;
    // One notice per start, however many waits failed before the stop.
    if (m_streamErrorShown)
        return;
    m_streamErrorShown = true;
    _onAcquisitionError(error);
}

void ZelCameraWindow::_onAcquisitionError(int error)
{
    Busy busy(this, false);
    stopCapture();
    ZelDialogs::critical(this, QString(),
                         QStringLiteral("<p align='center'>Acquisition Error!<br>%1<br></p>").arg(error));
}
