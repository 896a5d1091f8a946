// The camera window's tool side: tool windows, the map upload's progress and
// user set, image saving, and camera settings files.
#include "ZelCameraWindow.h"
#include "ZelCameraWindowBusy.h"

#include "ZelAppSettings.h"
#include "ZelCameraDataStream.h"
#include "ZelColorCorrection.h"
#include "ZelDefectPixelCorrection.h"
#include "ZelDialogs.h"
#include "ZelEventViewer.h"
#include "ZelFeatureManager.h"
#include "ZelFileAccess.h"
#include "ZelIOConfigWidget.h"
#include "ZelImageViewWidget.h"
#include "ZelLUTWidget.h"
#include "ZelLineStatusWidget.h"
#include "ZelNUShadingCorrection.h"
#include "ZelPixelHistogramWidget.h"
#include "ZelPropertyWidget.h"
#include "ZelSequencerWidget.h"
#include "ZelShadingCorrection.h"
#include "ZelStrobeControllerWidget.h"
#include "ZelThreadImageWriter.h"
#include "ZelUtil.h"

#include <QFileInfo>
#include <QProgressDialog>

namespace {

const QString directoryGroup = QStringLiteral("Directory");

QString storedFolder(const char* key)
{
    return ZelAppSettings::instance()->value(directoryGroup, QLatin1String(key), QVariant()).toString();
}

} // namespace

namespace {

template <class Tool>
QWidget* buildShadingTool(ZelCameraWindow* w, ZelCamera* camera, const QString& title, bool bigEndian)
{
    auto* tool = new Tool(camera->deviceFeatures, camera->remoteDeviceFeatures, title, bigEndian, w);
    QObject::connect(tool, &Tool::actionViewerUpdateProcessBar, w, &ZelCameraWindow::onProgressBarValueChanged);
    return tool;
}

} // namespace

// To add a tool: include its header and give it an entry here. The entry
// builds the tool with the window as parent and makes the tool's own
// connections; the window connects destroyed, offers the tool's menu
// entries and shows it.
const ZelCameraWindow::ToolHook* ZelCameraWindow::toolHook(ZelCameraTool tool)
{
    static const ToolHook hooks[] = {
        {ZelCameraTool::Lut,
         [](ZelCameraWindow* w) -> QWidget* {
             return new ZelLUTWidget(w->m_camera->remoteDeviceFeatures, w->m_title, w);
         }},
        {ZelCameraTool::LineStatus,
         [](ZelCameraWindow* w) -> QWidget* {
             return new ZelLineStatusWidget(w->m_camera->remoteDeviceFeatures, w->m_title, w);
         }},
        {ZelCameraTool::StrobeController,
         [](ZelCameraWindow* w) -> QWidget* {
             return new ZelStrobeControllerWidget(w->m_camera->remoteDeviceFeatures, w->m_title, w);
         }},
        {ZelCameraTool::IOConfig,
         [](ZelCameraWindow* w) -> QWidget* {
             auto* io = new ZelIOConfigWidget(w->m_camera->remoteDeviceFeatures, w->m_title, w);
             QObject::connect(io, &ZelIOConfigWidget::requestInvalidate, w, &ZelCameraWindow::_onRefreshClicked);
             return io;
         }},
        {ZelCameraTool::DefectPixelCorrection,
         [](ZelCameraWindow* w) -> QWidget* {
             auto* defect = new ZelDefectPixelCorrection(w->m_camera->deviceFeatures,
                                                         w->m_camera->remoteDeviceFeatures, w->m_title,
                                                         w->m_registerMode, w);
             defect->setBigEndian(w->m_bigEndian);
             connect(defect, &ZelDefectPixelCorrection::actionViewerUpdateProcessBar, w,
                     &ZelCameraWindow::onProgressBarValueChanged);
             return defect;
         }},
        {ZelCameraTool::ColorCorrection,
         [](ZelCameraWindow* w) -> QWidget* {
             // Built once per tool object, so one import connection each.
             auto* correction = new ZelColorCorrection(w->m_camera->remoteDeviceFeatures, w->m_title, w);
             connect(correction, &ZelColorCorrection::importLiveImg, w, &ZelCameraWindow::onUpdateCCMSourceImage);
             return correction;
         }},
        {ZelCameraTool::PixelHistogram,
         [](ZelCameraWindow* w) -> QWidget* { return new ZelPixelHistogramWidget(w->m_title, w); }},
        {ZelCameraTool::BlockShading,
         [](ZelCameraWindow* w) -> QWidget* {
             return buildShadingTool<ZelShadingCorrection>(w, w->m_camera, w->m_title, w->m_bigEndian);
         }},
        {ZelCameraTool::NUShading,
         [](ZelCameraWindow* w) -> QWidget* {
             return buildShadingTool<ZelNUShadingCorrection>(w, w->m_camera, w->m_title, w->m_bigEndian);
         }},
        {ZelCameraTool::Sequencer,
         [](ZelCameraWindow* w) -> QWidget* {
             auto* sequencer = new ZelSequencerWidget(w->m_camera->remoteDeviceFeatures, w->m_title, w);
             sequencer->installEventFilter(w);
             return sequencer;
         }},
        {ZelCameraTool::EventViewer,
         [](ZelCameraWindow* w) -> QWidget* {
             return new ZelEventViewer(w->m_camera->deviceHandle, w->m_camera->streamHandle, w->m_title, w);
         }},
        {ZelCameraTool::FileAccess,
         [](ZelCameraWindow* w) -> QWidget* {
             return new ZelFileAccess(w->m_camera->deviceFeatures, w->m_camera->remoteDeviceFeatures,
                                      w->m_camera->deviceId, w);
         }},
    };
    for (const ToolHook& hook : hooks) {
        if (hook.tool == tool)
            return &hook;
    }
    return nullptr;
}

bool ZelCameraWindow::canOpen(ZelCameraTool tool)
{
    if (m_readOnly || !toolHook(tool))
        return false;
    switch (tool) {
    case ZelCameraTool::DefectPixelCorrection:
        return m_defectPixelSupported;
    case ZelCameraTool::BlockShading:
        return m_blockShadingSupported;
    case ZelCameraTool::NUShading:
        return m_nuShadingSupported;
    case ZelCameraTool::ColorCorrection:
        return m_colorCorrectionSupported;
    case ZelCameraTool::FileAccess:
        return m_fileAccessSupported;
    default:
        return true;
    }
}

void ZelCameraWindow::offerTools()
{
    for (int i = 0; i < zelCameraToolCount; ++i)
        m_view->setToolOffered(ZelCameraTool(i), canOpen(ZelCameraTool(i)));
}

QWidget* ZelCameraWindow::ensureTool(ZelCameraTool tool)
{
    QWidget*& window = m_tools[int(tool)];
    if (window || !canOpen(tool))
        return window;
    window = toolHook(tool)->build(this);
    if (window)
        connect(window, &QObject::destroyed, this, &ZelCameraWindow::_onAssistantWidgetDestroyed);
    return window;
}

void ZelCameraWindow::showTool(ZelCameraTool tool)
{
    if (!canOpen(tool))
        return;
    Busy busy(this);
    if (QWidget* window = ensureTool(tool)) {
        window->showNormal();
        window->activateWindow();
    }
}

void ZelCameraWindow::onShowLutWidget() { showTool(ZelCameraTool::Lut); }
void ZelCameraWindow::onShowLineStatusWidget() { showTool(ZelCameraTool::LineStatus); }
void ZelCameraWindow::onShowStrobeControllerWidget() { showTool(ZelCameraTool::StrobeController); }
void ZelCameraWindow::onShowSequencerWidget() { showTool(ZelCameraTool::Sequencer); }
void ZelCameraWindow::onShowIOConfigWidget() { showTool(ZelCameraTool::IOConfig); }
void ZelCameraWindow::onShowEventViewerWidget()
{
    if (!canOpen(ZelCameraTool::EventViewer))
        return;
    Busy busy(this);
    auto* viewer = qobject_cast<ZelEventViewer*>(ensureTool(ZelCameraTool::EventViewer));
    if (!viewer)
        return;
    // Asked at every call: such a stream delivers no acquisition events.
    QVariant info;
    if (m_camera->remoteDeviceFeatures && m_camera->remoteDeviceFeatures->GetValue("DeviceManufacturerInfo", info) &&
        info.toString().contains(QLatin1String("RDMA"), Qt::CaseInsensitive))
        viewer->setDataStreamEventsSupported(false);
    viewer->showNormal();
    viewer->activateWindow();
}
void ZelCameraWindow::onShowPixelHistogramWidget() { showTool(ZelCameraTool::PixelHistogram); }
void ZelCameraWindow::onShowFileAccess() { showTool(ZelCameraTool::FileAccess); }
void ZelCameraWindow::onShowColorCorrectionWidget() { showTool(ZelCameraTool::ColorCorrection); }

void ZelCameraWindow::onShowColorCorrection()
{
    if (!canOpen(ZelCameraTool::ColorCorrection))
        return;
    ensureTool(ZelCameraTool::ColorCorrection);
    emit enableColorCorrection(m_colorCorrectionSupported);
}

void ZelCameraWindow::onUpdateCCMSourceImage()
{
    auto* correction = qobject_cast<ZelColorCorrection*>(m_tools[int(ZelCameraTool::ColorCorrection)]);
    ZelAcqBuffer* display = m_lastImage ? m_lastImage->GetDisplayBuffer() : nullptr;
    if (!correction || !display)
        return;
    ORV_BUFFER_INFO copy{};
    display->CopyImage(copy);
    if (copy.pixels)
        correction->setSourceImage(&copy);
}

void ZelCameraWindow::onShowDefectPixelCorrectionWidget()
{
    if (QWidget* window = m_tools[int(ZelCameraTool::DefectPixelCorrection)]) {
        Busy busy(this);
        window->showNormal();
        window->activateWindow();
    }
}

void ZelCameraWindow::onShowShadingCorrectionWidget()
{
    QWidget* window = m_tools[int(ZelCameraTool::NUShading)];
    if (!window)
        window = m_tools[int(ZelCameraTool::BlockShading)];
    if (window) {
        Busy busy(this);
        window->showNormal();
        window->activateWindow();
    }
}

void ZelCameraWindow::onShowDefectPixelCorrection()
{
    if (m_defectPixelSupported)
        onInitDefectPixelCorection();
}

void ZelCameraWindow::onShowShadingCorrection()
{
    onInitShadingCorection();
}

void ZelCameraWindow::onInitDefectPixelCorection()
{
    auto* defect = qobject_cast<ZelDefectPixelCorrection*>(ensureTool(ZelCameraTool::DefectPixelCorrection));
    if (!defect)
        return;
    bool enabled = false;
    defect->getCorrectionEnabled(enabled);
    QVariant select;
    const bool custom = defect->getMapSelect(select) && select.toLongLong() == 1;
    emit updateDefectPixelStatus(enabled, custom, defect->isParamLocked());
    ensureProgressDialog();
}

// ---- defect map commands ----

ZelDefectPixelCorrection* ZelCameraWindow::defectTool() const
{
    return qobject_cast<ZelDefectPixelCorrection*>(m_tools[int(ZelCameraTool::DefectPixelCorrection)]);
}

void ZelCameraWindow::onEnableCorrection(bool enabled)
{
    if (ZelDefectPixelCorrection* defect = defectTool()) {
        Busy busy(this);
        defect->setCorrectionEnabled(enabled);
    }
}

void ZelCameraWindow::onSelectCustomMap(bool enabled)
{
    ZelDefectPixelCorrection* defect = defectTool();
    if (defect && enabled) {
        Busy busy(this);
        defect->setMapSelect(QVariant(qint64(1)));
    }
}

void ZelCameraWindow::onSelectFactoryMap(bool enabled)
{
    ZelDefectPixelCorrection* defect = defectTool();
    if (defect && enabled) {
        Busy busy(this);
        defect->setMapSelect(QVariant(qint64(0)));
    }
}

void ZelCameraWindow::onImportMap()
{
    if (ZelDefectPixelCorrection* defect = defectTool()) {
        Busy busy(this);
        if (defect->importMap())
            defect->uploadMap();
    }
}

void ZelCameraWindow::onExportMap()
{
    ZelDefectPixelCorrection* defect = defectTool();
    if (!defect)
        return;
    bool saved = false;
    {
        Busy busy(this);
        saved = defect->downloadMap() && defect->exportMap();
    }
    if (saved)
        ZelDialogs::information(this, QStringLiteral("Save Map To File"), QStringLiteral("  Save Successful  "));
}

void ZelCameraWindow::onInitShadingCorection()
{
    const ZelCameraTool kind = m_nuShadingSupported ? ZelCameraTool::NUShading : ZelCameraTool::BlockShading;
    auto* tool = static_cast<ZelShadingTool*>(ensureTool(kind));
    if (!tool)
        return;
    bool enabled = false;
    tool->getCorrectionEnabled(&enabled);
    QVariant map;
    tool->getMapSelect(map);
    emit updateShadingStatus(enabled, map.toInt(), tool->isParamLocked());
    ensureProgressDialog();
}

ZelShadingTool* ZelCameraWindow::shadingTool() const
{
    if (QWidget* block = m_tools[int(ZelCameraTool::BlockShading)])
        return static_cast<ZelShadingTool*>(block);
    return static_cast<ZelShadingTool*>(m_tools[int(ZelCameraTool::NUShading)]);
}

void ZelCameraWindow::onEnableShadingCorrection(bool enabled)
{
    if (ZelShadingTool* tool = shadingTool()) {
        Busy busy(this);
        tool->setCorrectionEnabled(enabled);
    }
}

void ZelCameraWindow::selectShadingMap(int map, bool enabled)
{
    ZelShadingTool* tool = shadingTool();
    if (!tool || !enabled)
        return;
    Busy busy(this);
    tool->setMapSelect(QVariant(map));
}

void ZelCameraWindow::onSelectMap0(bool enabled) { selectShadingMap(0, enabled); }
void ZelCameraWindow::onSelectMap1(bool enabled) { selectShadingMap(1, enabled); }
void ZelCameraWindow::onSelectMap2(bool enabled) { selectShadingMap(2, enabled); }

void ZelCameraWindow::onImportShadingMap()
{
    if (auto* nonUniform = static_cast<ZelNUShadingCorrection*>(m_tools[int(ZelCameraTool::NUShading)])) {
        // A failed load has told the operator what is wrong with the file.
        Busy busy(this);
        if (nonUniform->LoadMap())
            nonUniform->upload_shading_map();
        return;
    }
    if (auto* block = static_cast<ZelShadingCorrection*>(m_tools[int(ZelCameraTool::BlockShading)])) {
        Busy busy(this);
        if (block->importMap())
            block->uploadMap();
    }
}

void ZelCameraWindow::_onAssistantWidgetDestroyed(QObject* tool)
{
    for (int i = 0; i < zelCameraToolCount; ++i) {
        if (static_cast<QObject*>(m_tools[i]) != tool)
            continue;
        m_tools[i] = nullptr;
        // The editor wrote the table behind the tree's back.
        if (ZelCameraTool(i) == ZelCameraTool::Lut)
            m_propertyWidget->refreshCurrentTree();
        return;
    }
}

// ---- map upload and user set ----

void ZelCameraWindow::ensureProgressDialog()
{
    if (m_progressDialog)
        return;
    m_progressDialog = new QProgressDialog(m_view);
    m_progressDialog->setWindowFlags(m_progressDialog->windowFlags() & ~Qt::WindowContextHelpButtonHint);
    m_progressDialog->setWindowModality(Qt::WindowModal);
    m_progressDialog->setWindowTitle(QStringLiteral("Uploading Map..."));
    m_progressDialog->setLabelText(QStringLiteral("Uploading....."));
    m_progressDialog->setCancelButton(nullptr);
    m_progressDialog->setRange(0, 100);
    m_progressDialog->setMinimumDuration(0);
    m_progressDialog->cancel();
}

void ZelCameraWindow::onProgressBarValueChanged(bool done, int value)
{
    ensureProgressDialog();
    if (!done) {
        m_progressDialog->setValue(value);
        return;
    }
    m_progressDialog->setLabelText(QStringLiteral(" upload to Camera finished (Save Current  Settings) "));
    // Without user sets there is nothing to store the map in.
    if (hasUserSets()) {
        const QMessageBox::StandardButton answer = ZelDialogs::message(
            QMessageBox::NoIcon, nullptr, QStringLiteral("Upload Map To Camera"),
            QStringLiteral("Upload Map Successful:  do you want to store the map and current camera settings to the "
                           "active User Set ? ( if <Default User Set> is active the changes will be stored in <User "
                           "Set 1> )"),
            QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::Yes)
            saveUserSet();
    }
    // The answer may have closed the window's camera meanwhile.
    if (m_progressDialog) {
        m_progressDialog->setLabelText(QStringLiteral(" Upload Map To Camera...... "));
        m_progressDialog->cancel();
    }
}

bool ZelCameraWindow::hasUserSets() const
{
    QVariant selector;
    ZelFeatureManager* remote = m_camera->remoteDeviceFeatures;
    return remote && remote->GetValue("UserSetSelector", selector);
}

bool ZelCameraWindow::saveUserSet()
{
    ZelFeatureManager* remote = m_camera->remoteDeviceFeatures;
    if (!remote)
        return false;
    QVariant selector;
    const bool known = remote->GetValue("UserSetSelector", selector);
    remote->SetValue("GevHeartbeatTimeout", QVariant(qint64(30000)));
    bool saved = false;
    if (known) {
        if (selector.toLongLong() != 0) {
            saved = remote->SetValue("UserSetSave", QVariant(qint64(1)));
        } else {
            // The default set cannot be written: user set 1 takes the settings.
            saved = remote->SetValueEnum("UserSetSelector", "UserSet1") &&
                    remote->SetValue("UserSetSave", QVariant(qint64(1))) &&
                    remote->SetValue("UserSetLoad", QVariant(qint64(0)));
        }
        if (saved)
            ZelDialogs::information(this, QStringLiteral("User Set Control    "),
                                    QStringLiteral("   Save Setting successful     "));
        else
            ZelDialogs::critical(this, QStringLiteral("User Set Control    "), QStringLiteral("Save Setting failed!"));
    }
    remote->SetValue("GevHeartbeatTimeout", QVariant(qint64(3000)));
    return saved;
}

// ---- image and settings files ----

void ZelCameraWindow::storeFolder(const char* key, const QString& folder, const QString& chosenFile)
{
    const QString chosen = QFileInfo(chosenFile).absolutePath();
    if (chosen != folder)
        ZelAppSettings::instance()->setValue(directoryGroup, QLatin1String(key), chosen);
}

void ZelCameraWindow::_onSaveImage()
{
    // Without an image (a start frees the last one) there is nothing to save.
    if (!m_imageWriter || !m_lastImage)
        return;
    m_imageWriter->writeImage(m_lastImage->GetInfo(), false);
    const QString folder = storedFolder("SaveImageDir");
    const QString name = ZelDialogs::getSaveFileName(nullptr, QStringLiteral("Save image"), folder,
                                                     QStringLiteral("BMP (*.BMP);;PNG (*.PNG);;RAW (*.RAW)"));
    if (name.isNull()) {
        m_imageWriter->clearQueue();
        return;
    }
    m_propertyWidget->setSaveEnabled(false);
    m_imageWriter->setFileName(name);
    storeFolder("SaveImageDir", folder, name);
}

void ZelCameraWindow::_onImageSaveCompleted(int status, QString fileName)
{
    Q_UNUSED(fileName)
    if (status != 0)
        ZelDialogs::critical(m_propertyWidget, QStringLiteral("Save Image"), QStringLiteral("Save Failed!"));
    else
        ZelDialogs::information(m_propertyWidget, QStringLiteral("Save Image"), QStringLiteral("Save Successful!"));
    m_propertyWidget->setSaveEnabled(true);
}

bool ZelCameraWindow::withoutInvalidation(const std::function<bool()>& settingsCall)
{
    // The file holds every feature: the SDK's invalidation reports of the
    // call are not passed on one by one.
    Busy busy(this);
    ZelFeatureManager* remote = m_camera->remoteDeviceFeatures;
    if (remote)
        remote->EnableInvalidation(false);
    const bool done = settingsCall();
    if (remote)
        remote->EnableInvalidation(true);
    return done;
}

void ZelCameraWindow::_onSaveSettings()
{
    const QString folder = storedFolder("SettingsFileDir");
    const ORV_DEVICE_INFO info = m_camera->GetDeviceInfo();
    const QString proposal = folder + QLatin1Char('/') + ZelUtil::RecordText(info.model) + QLatin1Char('_') +
                             ZelUtil::RecordText(info.tlType) + QLatin1Char('_') + ZelUtil::RecordText(info.version);
    const QString name =
        ZelDialogs::getSaveFileName(nullptr, QStringLiteral("Save Settings"), proposal, QStringLiteral("txt (*.txt)"));
    if (name.isNull())
        return;
    const bool saved = withoutInvalidation([&] { return m_camera->SaveSettings(name); });
    if (saved)
        ZelDialogs::information(m_propertyWidget, QStringLiteral("Save Settings"), QStringLiteral("Save Successful!"));
    else
        ZelDialogs::critical(m_propertyWidget, QStringLiteral("Save Settings"), QStringLiteral("Save Failed!"));
    storeFolder("SettingsFileDir", folder, name);
}

void ZelCameraWindow::_onLoadSettings()
{
    const QString folder = storedFolder("SettingsFileDir");
    const QString name =
        ZelDialogs::getOpenFileName(nullptr, QStringLiteral("Load Settings"), folder, QStringLiteral("txt (*.txt)"));
    if (name.isNull())
        return;
    const bool loaded = withoutInvalidation([&] { return m_camera->LoadSettings(name); });
    // The load's reports were held back: the tree reads its features once.
    // A failed load may have applied some lines all the same.
    m_propertyWidget->refreshCurrentTree();
    ZelDialogs::information(m_propertyWidget, QStringLiteral("Load Settings"),
                            loaded ? QStringLiteral("Load Successful!") : QStringLiteral("Load Failed!"));
}
