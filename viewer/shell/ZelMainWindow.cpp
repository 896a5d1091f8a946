#include "ZelMainWindow.h"

#include "ZelAppSettings.h"
#include "ZelBalloonTip.h"
#include "ZelCameraManager.h"
#include "ZelCameraWindowSeam.h"
#include "ZelDialogs.h"
#include "ZelDiscoveryWidget.h"
#include "ZelMainWindowTcpTarget.h"
#include "ZelSPSetting.h"
#include "ZelSdkLoader.h"
#include "ZelSoftwarePollingManager.h"
#include "ZelSoftwarePollingWidget.h"
#include "ZelTLManagerWidget.h"
#include "ZelTLSettingEntry.h"
#include "ZelTLSettingsFile.h"
#include "ZelTcpFeatureRouter.h"
#include "ZelTcpServerWidget.h"
#include "ZelTrace.h"
#include "ZelUtil.h"
#include "ZelWaitCursor.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QSet>
#include <QSignalBlocker>
#include <QStyleFactory>
#include <QTimer>
#include <QVBoxLayout>

quint32 gDebugLevel = 0;

namespace {

// Cleared by the first show of the process.
bool firstShow = true;

// The delay before the first show of the discovery window.
constexpr int discoveryFirstShowDelayMs = 500;

const char* const cameraInfoProperty = "CameraInfo";


// Menu items that reach the active camera window: item, its signal, the slot.
struct CameraWindowLink {
    const char* action;
    bool checked; // triggered(bool) to a slot with a bool
    const char* slot;
};
const CameraWindowLink cameraWindowLinks[] = {
    {"actionLUT_Widget", false, "onShowLutWidget()"},
    {"actionLine_Status_Visualizer", false, "onShowLineStatusWidget()"},
    {"actionStrobe_Controller", false, "onShowStrobeControllerWidget()"},
    {"actionSequencer", false, "onShowSequencerWidget()"},
    {"actionGenerateMap", false, "onShowDefectPixelCorrectionWidget()"},
    {"actionSaveMap", false, "onExportMap()"},
    {"actionLoadMap", false, "onImportMap()"},
    {"actionSelectCustom", true, "onSelectCustomMap(bool)"},
    {"actionSelectFactory", true, "onSelectFactoryMap(bool)"},
    {"actionenablcorrection", true, "onEnableCorrection(bool)"},
    {"actionGenerateShadingMap", false, "onShowShadingCorrectionWidget()"},
    {"actionLoadShadingMap", false, "onImportShadingMap()"},
    {"actionSelectMap0", true, "onSelectMap0(bool)"},
    {"actionSelectMap1", true, "onSelectMap1(bool)"},
    {"actionSelectMap2", true, "onSelectMap2(bool)"},
    {"actionEnableShadingCorrection", true, "onEnableShadingCorrection(bool)"},
    {"actionIO_Config", false, "onShowIOConfigWidget()"},
    {"actionPixel_Histogram", false, "onShowPixelHistogramWidget()"},
    {"actionEvent_Viewer", false, "onShowEventViewerWidget()"},
    {"actionColorCorrection", false, "onShowColorCorrectionWidget()"},
    {"actionFile_Access", false, "onShowFileAccess()"},
};

// The tool entries of the Assistants menu and the camera window's name of
// each tool.
struct ToolEntry {
    const char* action;
    const char* tool;
};
const ToolEntry toolEntries[] = {
    {"actionLUT_Widget", "LUT"},
    {"actionLine_Status_Visualizer", "LineStatus"},
    {"actionStrobe_Controller", "StrobeController"},
    {"actionSequencer", "Sequencer"},
    {"actionIO_Config", "IOConfig"},
    {"actionEvent_Viewer", "EventViewer"},
    {"actionPixel_Histogram", "PixelHistogram"},
    {"actionColorCorrection", "ColorCorrection"},
    {"actionFile_Access", "FileAccess"},
};

// The level items of the Log menu and their bits.
struct LogLevelItem {
    const char* action;
    quint32 bit;
};
const LogLevelItem logLevelItems[] = {
    {"actionLogError", 0x2},
    {"actionLogWarning", 0x4},
    {"actionLogInfo", 0x8},
    {"actionLogCamera", 0x10000000},
};

// Log files kept in the log folder, the new one included.
constexpr int keptLogFiles = 10;

const char* const autoSaveFormatItems[] = {"actionBMP", "actionPNG", "actionRAW"};

QString settingsText(const char* group, const char* key, const QString& defaultValue = QString())
{
    return ZelAppSettings::instance()->value(QLatin1String(group), QLatin1String(key), defaultValue).toString();
}

bool settingsFlag(const char* key)
{
    return ZelAppSettings::instance()->value(QStringLiteral("Settings"), QLatin1String(key), 0).toUInt() != 0;
}

void setSetting(const char* group, const char* key, const QVariant& value)
{
    ZelAppSettings::instance()->setValue(QLatin1String(group), QLatin1String(key), value);
}

QList<ORV_TL_INFO> tlInfos(const QList<ZelMainWindow::TLRecord>& records)
{
    QList<ORV_TL_INFO> infos;
    for (const ZelMainWindow::TLRecord& record : records)
        infos.append(record.info);
    return infos;
}

bool hasSlot(const QObject* object, const char* signature)
{
    return object->metaObject()->indexOfSlot(QMetaObject::normalizedSignature(signature).constData()) >= 0;
}

bool hasSignal(const QObject* object, const char* signature)
{
    return object->metaObject()->indexOfSignal(QMetaObject::normalizedSignature(signature).constData()) >= 0;
}

QString canonicalPath(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

} // namespace

ZelMainWindow::CommandLine ZelMainWindow::parseArguments(const QStringList& arguments)
{
    CommandLine line;
    line.windowsStyle = arguments.mid(1).contains(QStringLiteral("winStyle"));
    if (arguments.size() >= 3 && arguments.at(1) == QLatin1String("tcpP")) {
        bool ok = false;
        const qulonglong port = arguments.at(2).toULongLong(&ok, 10);
        // A port that does not fit is refused, never cut to another one.
        if (ok && port >= 1 && port <= 65535) {
            line.tcpPort = quint32(port);
        } else {
            const QByteArray text = arguments.at(2).toUtf8();
            ZelTrace(ZEL_TRACE_ERROR, "%s Failed! tcpP port:%s", "ZelMainWindow::init", text.constData());
        }
    }
    return line;
}

ZelMainWindow::ZelMainWindow(QWidget* parent)
    : QMainWindow(parent)
{
}

ZelMainWindow::~ZelMainWindow()
{
    if (!m_initialised)
        return;
    // No request may reach a camera that is going away.
    delete m_tcpServer;
    m_tcpServer = nullptr;
    delete m_tcpRouter;
    m_tcpRouter = nullptr;
    delete m_tcpTarget;
    m_tcpTarget = nullptr;
    // Cameras go with their sub-windows, while their managers still exist.
    closeCameraWindows();
    _disconnectSignals();
    delete m_discoveryWidget;
    m_discoveryWidget = nullptr;
    delete m_tlManagerWidget;
    m_tlManagerWidget = nullptr;
    delete m_pollingWidget;
    m_pollingWidget = nullptr;
    delete m_pollingManager;
    m_pollingManager = nullptr;
    qDeleteAll(m_cameraManagers);
    m_cameraManagers.clear();
    ZelSdkLoader::instance()->close();
}

bool ZelMainWindow::init(const QStringList& arguments)
{
    const CommandLine line = parseArguments(arguments);
    if (line.windowsStyle) {
        if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows")))
            QApplication::setStyle(style);
    }
    m_tcpPort = line.tcpPort;

    QString additionalSearchPath;
    QStringList enabledPaths;
    _readTLSettings(additionalSearchPath, enabledPaths);
    const QString searchPath = ZelUtil::GetGenTLSearchPath(additionalSearchPath);
    if (!ZelSdkLoader::instance()->init(searchPath))
        return false;
    m_loadedSearchPath = additionalSearchPath;
    m_appliedSearchPath = additionalSearchPath;
    m_appliedEnabledPaths = enabledPaths;

    QList<TLRecord> tlList;
    _getTLList(tlList);
    _createCameraManagers(tlList, enabledPaths);

    setupUi();
    menuBar()->setNativeMenuBar(false);
    _createToolWindows();
    _initLogMenu();
    _connectSignals();
    setWindowTitle(QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion());

    m_defectMapActions = new QActionGroup(this);
    m_defectMapActions->setExclusive(true);
    for (const char* name : {"actionSelectCustom", "actionSelectFactory"})
        m_defectMapActions->addAction(findChild<QAction*>(name));
    m_shadingMapActions = new QActionGroup(this);
    m_shadingMapActions->setExclusive(true);
    for (const char* name : {"actionSelectMap0", "actionSelectMap1", "actionSelectMap2"})
        m_shadingMapActions->addAction(findChild<QAction*>(name));

    m_initialised = true;
    return true;
}

void ZelMainWindow::setupUi()
{
    setObjectName(QStringLiteral("ZelMainWindow"));
    resize(800, 600);
    setCursor(Qt::ArrowCursor);
    setWindowIcon(QIcon(QStringLiteral(":/res/icon/ms-icon-144x144.png")));

    auto* centralWidget = new QWidget(this);
    centralWidget->setObjectName(QStringLiteral("centralWidget"));
    auto* verticalLayout = new QVBoxLayout(centralWidget);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(0);
    verticalLayout->setContentsMargins(0, 0, 0, 0);
    m_mdiArea = new QMdiArea(centralWidget);
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    m_mdiArea->viewport()->setCursor(Qt::ArrowCursor);
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalLayout->addWidget(m_mdiArea);
    setCentralWidget(centralWidget);

    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));
    bar->setGeometry(0, 0, 800, 21);
    bar->setCursor(Qt::ArrowCursor);

    auto item = [this](QMenu* menu, const QString& text, const char* name, bool checkable = false) {
        auto* action = new QAction(text, this);
        action->setObjectName(QLatin1String(name));
        action->setCheckable(checkable);
        menu->addAction(action);
        return action;
    };
    auto submenu = [](QMenu* parent, const QString& title, const char* name) {
        QMenu* menu = parent->addMenu(title);
        menu->setObjectName(QLatin1String(name));
        return menu;
    };
    auto topMenu = [bar](const QString& title, const char* name) {
        QMenu* menu = bar->addMenu(title);
        menu->setObjectName(QLatin1String(name));
        return menu;
    };

    QMenu* file = topMenu(tr("&File"), "menu_File");
    connect(item(file, tr("E&xit"), "actionE_xit"), &QAction::triggered, this, &QWidget::close);

    QMenu* settings = topMenu(tr("&Settings"), "menuSettings");
    QMenu* log = submenu(settings, tr("&Log"), "menuLogger");
    item(log, tr("Enable Log Tracing"), "actionEnable", true);
    log->addSeparator();
    item(log, tr("Error"), "actionLogError", true);
    item(log, tr("Warning"), "actionLogWarning", true);
    item(log, tr("Info"), "actionLogInfo", true);
    item(log, tr("Camera"), "actionLogCamera", true);
    log->addSeparator();
    item(log, tr("Enable Windbg"), "actionLogWindbg", true);
    item(log, tr("Enable File Logging"), "actionLogFile", true);
    log->addSeparator();
    item(log, tr("Set Log File Directory..."), "actionSet_Log_File_Directory");
    item(settings, tr("Software &Polling..."), "actionSoftware_Polling");
    settings->addSeparator();
    QMenu* autoSave = submenu(settings, tr("Auto Save Format"), "menuAuto_Save_Format");
    item(autoSave, tr("BMP"), "actionBMP", true);
    item(autoSave, tr("PNG"), "actionPNG", true);
    item(autoSave, tr("RAW"), "actionRAW", true);

    m_assistantsMenu = topMenu(tr("&Assistants"), "menuAssistants");
    QMenu* assistants = m_assistantsMenu;
    item(assistants, tr("LUT Widget..."), "actionLUT_Widget");
    item(assistants, tr("Line Status Visualizer..."), "actionLine_Status_Visualizer");
    item(assistants, tr("Strobe Controller..."), "actionStrobe_Controller");
    item(assistants, tr("Sequencer..."), "actionSequencer");
    item(assistants, tr("IO Config..."), "actionIO_Config");
    item(assistants, tr("Event Viewer..."), "actionEvent_Viewer");
    item(assistants, tr("Pixel Histogram..."), "actionPixel_Histogram");

    m_defectMenu = submenu(assistants, tr("Defect Pixel Correction"), "menueDefect_Pixel_correction");
    m_defectMenu->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_defectMenu->setTearOffEnabled(false);
    m_defectMenu->setAcceptDrops(true);
    QMenu* selectMap = submenu(m_defectMenu, tr("Select Map"), "menuSelect_Map");
    item(selectMap, tr("Custom Map"), "actionSelectCustom", true);
    item(selectMap, tr("Factory Map"), "actionSelectFactory", true);
    item(m_defectMenu, tr("Generate Map..."), "actionGenerateMap");
    QAction* loadMap = item(m_defectMenu, tr("Load Map..."), "actionLoadMap");
    loadMap->setIcon(QIcon(QStringLiteral(":/res/icon/loadsettings.ico")));
    loadMap->setIconText(tr("Load Map"));
    loadMap->setToolTip(tr("Load Map"));
    QAction* saveMap = item(m_defectMenu, tr("Save Map..."), "actionSaveMap");
    saveMap->setIcon(QIcon(QStringLiteral(":/res/icon/savesettings.ico")));
    item(m_defectMenu, tr("Enable Correction"), "actionenablcorrection", true);

    m_shadingMenu = submenu(assistants, tr("Shading Correction"), "menueShading_correction");
    m_shadingMenu->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_shadingMenu->setTearOffEnabled(false);
    QMenu* selectShading = submenu(m_shadingMenu, tr("Select Map"), "menuSelectShadingMap");
    item(selectShading, tr("Map 0"), "actionSelectMap0", true);
    item(selectShading, tr("Map 1"), "actionSelectMap1", true);
    item(selectShading, tr("Map 2"), "actionSelectMap2", true);
    item(m_shadingMenu, tr("Generate Map..."), "actionGenerateShadingMap");
    QAction* loadShading = item(m_shadingMenu, tr("Load Map..."), "actionLoadShadingMap");
    loadShading->setIcon(QIcon(QStringLiteral(":/res/icon/loadsettings.ico")));
    loadShading->setIconText(tr("Load Map..."));
    loadShading->setToolTip(tr("Load shading map"));
    item(m_shadingMenu, tr("Enable Correction"), "actionEnableShadingCorrection", true);

    item(assistants, tr("Color Correction"), "actionColorCorrection");
    item(assistants, tr("File Access Control"), "actionFile_Access");
}

void ZelMainWindow::_getTLList(QList<TLRecord>& out)
{
    uint32_t count = 0;
    OrvLibSystemGetCount(&count);
    if (count == 0) {
        ZelTrace(ZEL_TRACE_ERROR, "%s GenTL cti not found!", "ZelMainWindow::_getTLList");
        return;
    }
    for (uint32_t index = 0; index < count; ++index) {
        TLRecord record;
        record.sdkIndex = int(index);
        memset(&record.info, 0, sizeof record.info);
        const int rc = OrvLibSystemGetInfo(index, &record.info);
        if (rc != ORV_SUCCESS) {
            ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvLibSystemGetInfo[%d]:%d", "ZelMainWindow::_getTLList", int(index), rc);
            continue;
        }
        out.append(record);
    }
}

bool ZelMainWindow::_readTLSettings(QString& additionalSearchPath, QStringList& enabledPaths)
{
    QString searchPath;
    QList<ZelTLSettingEntry> entries;
    if (!ZelTLSettingsFile::instance()->read(searchPath, entries))
        return false;
    additionalSearchPath = searchPath;
    for (const ZelTLSettingEntry& entry : entries) {
        if (entry.enabled)
            enabledPaths.append(entry.path);
    }
    return true;
}

QList<ZelCameraManager*> ZelMainWindow::createManagersFor(const QList<TLRecord>& tlList, const QStringList& enabledPaths)
{
    QList<ZelCameraManager*> managers;
    QSet<QString> taken; // producer files that have a manager
    for (const TLRecord& record : tlList) {
        const QString path = ZelUtil::RecordText(record.info.fullPath);
        const QString canonical = canonicalPath(path);
        bool enabled = false;
        for (const QString& entry : enabledPaths) {
            if (ZelUtil::EqualPath(path, entry) || (!canonical.isEmpty() && canonical == canonicalPath(entry))) {
                enabled = true;
                break;
            }
        }
        const QString identity = canonical.isEmpty() ? ZelUtil::NormalizePath(path) : canonical;
        if (!enabled || taken.contains(identity))
            continue;
        taken.insert(identity);
        managers.append(new ZelCameraManager(record.sdkIndex));
    }
    return managers;
}

void ZelMainWindow::_createCameraManagers(const QList<TLRecord>& tlList, const QStringList& enabledPaths)
{
    qDeleteAll(m_cameraManagers);
    m_cameraManagers = createManagersFor(tlList, enabledPaths);
}

QString ZelMainWindow::pollingListPath() const
{
    return ZelAppSettings::instance()->configDir + QLatin1Char('/') + QLatin1String(kSPSettingFileName);
}

void ZelMainWindow::_createToolWindows()
{
    QList<TLRecord> tlList;
    _getTLList(tlList);
    m_tlManagerWidget = new ZelTLManagerWidget(tlInfos(tlList));
    m_discoveryWidget = new ZelDiscoveryWidget(m_cameraManagers);

    m_pollingManager = new ZelSoftwarePollingManager;
    m_pollingManager->Load(pollingListPath(), true);
    const bool pollingEnabled =
        ZelAppSettings::instance()->value(QStringLiteral("Settings"), QStringLiteral("SPEnabled"), 0).toUInt() != 0;
    m_pollingManager->SetEnable(pollingEnabled);
    m_pollingWidget = new ZelSoftwarePollingWidget(pollingEnabled, m_pollingManager->GetList());
    m_pollingWidget->installEventFilter(this);

    m_discoveryAction = menuBar()->addAction(tr("&Discovery"));
    if (m_tcpPort != 0) {
        m_tcpServerAction = menuBar()->addAction(tr("&TcpServer"));
        m_tcpServer = new ZelTcpServerWidget(int(m_tcpPort), nullptr);
        m_tcpTarget = new ZelMainWindowTcpTarget(this);
        m_tcpRouter = new ZelTcpFeatureRouter(m_tcpTarget);
        m_tcpRouter->attach(m_tcpServer);
        connect(m_tcpServerAction, &QAction::triggered, m_tcpServer, &QWidget::show);
    }

    m_logActions = new QActionGroup(this);
    m_logActions->setExclusive(false);
    for (const char* name : {"actionLogError", "actionLogWarning", "actionLogInfo", "actionLogCamera", "actionLogFile",
                             "actionLogWindbg"})
        m_logActions->addAction(findChild<QAction*>(name));

    m_assistantActions = new QActionGroup(this);
    m_assistantActions->setExclusive(false);
    for (const char* name : {"actionSaveMap", "actionLoadMap"})
        m_assistantActions->addAction(findChild<QAction*>(name));
    offerTools(nullptr);

    m_autoSaveFormatActions = new QActionGroup(this);
    m_autoSaveFormatActions->setExclusive(true);
    for (const char* name : {"actionBMP", "actionPNG", "actionRAW"})
        m_autoSaveFormatActions->addAction(findChild<QAction*>(name));
    m_autoSaveFormatActions->setEnabled(true);
}

void ZelMainWindow::_connectSignals()
{
    connect(m_discoveryWidget, &ZelDiscoveryWidget::cameraSelected, this, &ZelMainWindow::onCameraSelected);
    connect(m_pollingWidget, &ZelSoftwarePollingWidget::entryAdded, m_pollingManager,
            [this](ZelSoftwarePollingItemInfo info) { m_pollingManager->Add(info); });
    connect(m_pollingWidget, &ZelSoftwarePollingWidget::entryRemoved, m_pollingManager,
            [this](QString name) { m_pollingManager->Remove(name); });
    connect(m_pollingWidget, &ZelSoftwarePollingWidget::entryUpdated, m_pollingManager,
            [this](ZelSoftwarePollingItemInfo info) { m_pollingManager->Update(info); });
    connect(m_pollingWidget, &ZelSoftwarePollingWidget::enable, this, &ZelMainWindow::_onEnableSoftwarePolling);
    connect(m_discoveryAction, &QAction::triggered, m_discoveryWidget, &QWidget::show);
    connect(findChild<QAction*>("actionSoftware_Polling"), &QAction::triggered, m_pollingWidget, &QWidget::show);
    connect(m_assistantsMenu, &QMenu::aboutToShow, this, &ZelMainWindow::_onAssistantMenuAboutToShow);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &ZelMainWindow::_onSubWindowActivated);
    connect(m_pollingWidget, &ZelSoftwarePollingWidget::importActionTriggered, this,
            &ZelMainWindow::_onImportSPSettings);
    connect(m_pollingWidget, &ZelSoftwarePollingWidget::exportActionTriggered, this,
            &ZelMainWindow::_onExportSPSettings);

    connect(findChild<QAction*>("actionEnable"), &QAction::toggled, this, &ZelMainWindow::_onEnableLogToggled);
    for (QAction* action : m_logActions->actions())
        connect(action, &QAction::toggled, this, &ZelMainWindow::_onLogSettingsToggled);
    connect(findChild<QAction*>("actionSet_Log_File_Directory"), &QAction::triggered, this,
            &ZelMainWindow::_onLogSettingsSetDirectory);
    for (QAction* action : m_autoSaveFormatActions->actions())
        connect(action, &QAction::triggered, this, &ZelMainWindow::_onAutoSaveSettingsChecked);

    connect(m_discoveryWidget, &ZelDiscoveryWidget::actionShowTLManagerWidget, m_tlManagerWidget, &QWidget::show);
    connect(m_tlManagerWidget, &ZelTLManagerWidget::reload, this, &ZelMainWindow::onReloadSDK);
    connect(m_tlManagerWidget, &ZelTLManagerWidget::applySettings, this, &ZelMainWindow::onApplyTLSettings);
    connect(m_tlManagerWidget, &ZelTLManagerWidget::revertSettings, this, &ZelMainWindow::onRevertTLSettings);
}

void ZelMainWindow::_disconnectSignals()
{
    if (m_discoveryWidget)
        disconnect(m_discoveryWidget, nullptr, this, nullptr);
    if (m_pollingWidget) {
        disconnect(m_pollingWidget, nullptr, this, nullptr);
        disconnect(m_pollingWidget, nullptr, m_pollingManager, nullptr);
    }
    if (m_mdiArea)
        disconnect(m_mdiArea, nullptr, this, nullptr);
    if (m_tlManagerWidget)
        disconnect(m_tlManagerWidget, nullptr, this, nullptr);
}

void ZelMainWindow::_onEnableSoftwarePolling(bool enable)
{
    m_pollingManager->SetEnable(enable);
    ZelAppSettings::instance()->setValue(QStringLiteral("Settings"), QStringLiteral("SPEnabled"), enable ? 1u : 0u);
}

void ZelMainWindow::savePollingList()
{
    if (m_pollingManager)
        m_pollingManager->Save(pollingListPath());
}

void ZelMainWindow::closeCameraWindows()
{
    if (m_mdiArea)
        m_mdiArea->closeAllSubWindows();
    // Closed sub-windows delete themselves later; finish that now, so that no
    // camera outlives its manager or the SDK.
    const QList<QPointer<QObject>> remaining = m_cameraSubWindows;
    for (const QPointer<QObject>& sub : remaining)
        delete sub.data();
    m_cameraSubWindows.clear();
}

bool ZelMainWindow::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Close:
        if (m_initialised) {
            closeCameraWindows();
            if (m_pollingWidget)
                m_pollingWidget->close();
            if (m_tcpServer)
                m_tcpServer->close();
            if (m_discoveryWidget)
                m_discoveryWidget->hide();
        }
        break;
    case QEvent::Move:
    case QEvent::Resize:
        if (ZelBalloonTip::isBalloonVisible())
            ZelBalloonTip::hideBalloon();
        break;
    default:
        break;
    }
    return QMainWindow::event(event);
}

bool ZelMainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pollingWidget && event->type() == QEvent::Close)
        savePollingList();
    return false;
}

void ZelMainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (firstShow) {
        firstShow = false;
        // Shown once the main window is up, without blocking the GUI thread.
        QPointer<ZelDiscoveryWidget> discovery = m_discoveryWidget;
        QTimer::singleShot(discoveryFirstShowDelayMs, this, [discovery] {
            if (discovery)
                discovery->show();
        });
    }
}

void ZelMainWindow::onCameraSelected(ZelCameraInfo cameraInfo)
{
    const QString tlType = ZelUtil::RecordText(cameraInfo.deviceInfo.tlType);
    const QString vendor = ZelUtil::RecordText(cameraInfo.deviceInfo.vendor);
    if (tlType.compare(QLatin1String("CL"), Qt::CaseInsensitive) == 0
        && QStringLiteral("NORRIK-Ombrel").contains(vendor, Qt::CaseInsensitive)
        && ZelUtil::RecordText(cameraInfo.deviceInfo.version) == QLatin1String("1.0.0")) {
        ZelDialogs::information(m_discoveryWidget, tr("OpenCamera"),
                                tr("Unsupported Version. Please update your device firmware!"), QMessageBox::Ok);
        return;
    }
    m_discoveryWidget->hide();

    const QString key = cameraInfo.cameraKey();
    if (QMdiSubWindow* sub = _findSubWindow(key)) {
        if (sub->isMinimized())
            sub->showNormal();
        m_mdiArea->setActiveSubWindow(sub);
        return;
    }

    bool opened = false;
    {
        ZelWaitCursor wait;
        opened = _openCameraWindow(cameraInfo);
    }
    if (!opened) {
        ZelDialogs::critical(this, tr("OpenCamera"), tr("Open Camera failed!"), QMessageBox::Ok);
        m_discoveryWidget->removeCamera(key);
        m_discoveryWidget->show();
    }
}

bool ZelMainWindow::_openCameraWindow(const ZelCameraInfo& info)
{
    ZelCameraManager* manager = _findCameraManager(info.hSystem, ZelUtil::RecordText(info.tlInfo.tlType));
    if (!manager)
        return false;
    const int accessMode = info.deviceInfo.accessStatus == ORV_ACCESS_STATUS_READ_ONLY ? 2 : 3;
    ZelCamera* camera = manager->OpenCamera(info, accessMode);
    if (!camera)
        return false;

    QWidget* window = ZelCameraWindowSeam::create(camera, accessMode, nullptr);
    QMdiSubWindow* sub = m_mdiArea->addSubWindow(window);
    if (hasSignal(window, "discoverButtonClicked()"))
        connect(window, SIGNAL(discoverButtonClicked()), m_discoveryWidget, SLOT(show()));
    // A camera window that deletes itself takes its sub-window along; queued,
    // so a sub-window that is being destroyed itself is never closed.
    connect(window, &QObject::destroyed, sub, &QWidget::close, Qt::QueuedConnection);
    if (QObject* receiver = ZelCameraWindowSeam::invalidateReceiver(window))
        connect(m_pollingManager, SIGNAL(requestInvalidate(QString, QString)), receiver,
                SLOT(OnInvalidateRequested(QString, QString)));
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setProperty(cameraInfoProperty, QVariant::fromValue(info));
    // The camera closes when its sub-window is destroyed, however that happens.
    // Its camera window goes first: nothing of it may outlive the camera.
    const ZelCameraInfo record = info;
    const QPointer<QWidget> cameraWindow = window;
    // Kept as a plain QObject: by the time destroyed() arrives the
    // sub-window is no longer one.
    QObject* const subObject = sub;
    connect(sub, &QObject::destroyed, this, [this, record, cameraWindow, subObject] {
        delete cameraWindow.data();
        _closeCamera(record);
        for (int i = m_cameraSubWindows.size() - 1; i >= 0; --i) {
            QObject* entry = m_cameraSubWindows.at(i).data();
            if (!entry || entry == subObject)
                m_cameraSubWindows.removeAt(i);
        }
        reportOpenCameraCount();
    });
    m_cameraSubWindows.removeAll(nullptr);
    m_cameraSubWindows.append(sub);
    sub->setMinimumSize(800, 600);
    sub->showMaximized();
    reportOpenCameraCount();
    return true;
}

void ZelMainWindow::_closeCamera(const ZelCameraInfo& info)
{
    ZelCameraManager* manager = _findCameraManager(info.hSystem, ZelUtil::RecordText(info.tlInfo.tlType));
    if (!manager)
        return;
    ZelWaitCursor wait;
    manager->CloseCamera(info.cameraKey());
}

ZelCameraManager* ZelMainWindow::_findCameraManager(ORV_SYSTEM_HANDLE system, const QString& tlType) const
{
    for (ZelCameraManager* manager : m_cameraManagers) {
        if (manager->hSystem == system && manager->TLType().compare(tlType, Qt::CaseInsensitive) == 0)
            return manager;
    }
    return nullptr;
}

QMdiSubWindow* ZelMainWindow::_findSubWindow(const QString& cameraKey) const
{
    for (QMdiSubWindow* sub : m_mdiArea->subWindowList()) {
        const QVariant info = sub->property(cameraInfoProperty);
        if (info.canConvert<ZelCameraInfo>()
            && info.value<ZelCameraInfo>().cameraKey().compare(cameraKey, Qt::CaseInsensitive) == 0)
            return sub;
    }
    return nullptr;
}

void ZelMainWindow::wireCameraWindow(QWidget* window, bool connectIt)
{
    for (const CameraWindowLink& link : cameraWindowLinks) {
        if (!hasSlot(window, link.slot))
            continue;
        QAction* action = findChild<QAction*>(QLatin1String(link.action));
        const QByteArray slot = QByteArray("1") + link.slot;
        const char* signal = link.checked ? SIGNAL(triggered(bool)) : SIGNAL(triggered());
        if (connectIt)
            connect(action, signal, window, slot.constData(), Qt::UniqueConnection);
        else
            disconnect(action, signal, window, slot.constData());
    }
    // The correction submenus show the state the window reports.
    const struct {
        const char* signal;
        const char* slot;
    } statusLinks[] = {
        {SIGNAL(updateDefectPixelStatus(bool, bool, bool)), SLOT(onUpdateDefectPixelCorectionStatus(bool, bool, bool))},
        {SIGNAL(updateShadingStatus(bool, int, bool)), SLOT(onUpdateShadingStatus(bool, int, bool))},
    };
    for (const auto& link : statusLinks) {
        // The macros' leading code digit is not part of the signature.
        if (!hasSignal(window, link.signal + 1))
            continue;
        if (connectIt)
            connect(window, link.signal, this, link.slot, Qt::UniqueConnection);
        else
            disconnect(window, link.signal, this, link.slot);
    }
}

void ZelMainWindow::onUpdateDefectPixelCorectionStatus(bool enablecorrection, bool isCustomMap, bool isParamlocked)
{
    QAction* custom = findChild<QAction*>(QStringLiteral("actionSelectCustom"));
    QAction* factory = findChild<QAction*>(QStringLiteral("actionSelectFactory"));
    QAction* enable = findChild<QAction*>(QStringLiteral("actionenablcorrection"));
    enable->setChecked(enablecorrection);
    (isCustomMap ? custom : factory)->setChecked(true);
    for (QAction* action : {custom, factory, enable, findChild<QAction*>(QStringLiteral("actionLoadMap"))})
        action->setEnabled(!isParamlocked);
}

void ZelMainWindow::onUpdateShadingStatus(bool enablecorrection, int mapindex, bool isParamlock)
{
    QAction* enable = findChild<QAction*>(QStringLiteral("actionEnableShadingCorrection"));
    enable->setChecked(enablecorrection);
    const QList<QAction*> maps = m_shadingMapActions->actions();
    if (mapindex >= 0 && mapindex < maps.size()) {
        maps.at(mapindex)->setChecked(true);
    } else if (QAction* checked = m_shadingMapActions->checkedAction()) {
        // No map of the list: none is checked.
        m_shadingMapActions->setExclusive(false);
        checked->setChecked(false);
        m_shadingMapActions->setExclusive(true);
    }
    for (QAction* action : maps)
        action->setEnabled(!isParamlock);
    enable->setEnabled(!isParamlock);
    findChild<QAction*>(QStringLiteral("actionLoadShadingMap"))->setEnabled(!isParamlock);
}

void ZelMainWindow::_onSubWindowActivated(QMdiSubWindow* subWindow)
{
    if (subWindow == m_activeSubWindow)
        return;
    if (m_activeSubWindow && m_activeSubWindow->widget()
        && !ZelCameraWindowSeam::isReadOnly(m_activeSubWindow->widget()))
        wireCameraWindow(m_activeSubWindow->widget(), false);
    if (subWindow) {
        QWidget* window = subWindow->widget();
        const bool writable = window && !ZelCameraWindowSeam::isReadOnly(window);
        m_assistantActions->setEnabled(writable);
        offerTools(writable ? window : nullptr);
        if (writable)
            wireCameraWindow(window, true);
    }
    m_activeSubWindow = subWindow;
}

void ZelMainWindow::offerTools(QWidget* window)
{
    for (const ToolEntry& entry : toolEntries) {
        findChild<QAction*>(QLatin1String(entry.action))
            ->setEnabled(window && ZelCameraWindowSeam::canOpen(window, QLatin1String(entry.tool)));
    }
}

void ZelMainWindow::_onAssistantMenuAboutToShow()
{
    QMdiSubWindow* current = m_mdiArea->currentSubWindow();
    QWidget* window = current ? current->widget() : nullptr;
    // A read-only camera window gets no tools.
    if (window && ZelCameraWindowSeam::isReadOnly(window))
        window = nullptr;
    offerTools(window);
    m_assistantActions->setEnabled(window != nullptr);
    const bool defect = window && ZelCameraWindowSeam::canOpen(window, QStringLiteral("DefectPixelCorrection"));
    const bool shading = window && (ZelCameraWindowSeam::canOpen(window, QStringLiteral("BlockShading")) ||
                                    ZelCameraWindowSeam::canOpen(window, QStringLiteral("NUShading")));
    m_defectMenu->setEnabled(defect);
    m_shadingMenu->setEnabled(shading);
    if (defect)
        QMetaObject::invokeMethod(window, "onInitDefectPixelCorection");
    if (shading)
        QMetaObject::invokeMethod(window, "onInitShadingCorection");
}

void ZelMainWindow::reportOpenCameraCount()
{
    if (!m_tlManagerWidget)
        return;
    int count = 0;
    for (const QPointer<QObject>& sub : m_cameraSubWindows) {
        if (sub)
            ++count;
    }
    m_tlManagerWidget->setOpenCameraCount(quint16(count));
}

void ZelMainWindow::_initLogMenu()
{
    findChild<QAction*>("actionEnable")->setChecked(false);
    findChild<QAction*>("actionLogWindbg")->setChecked(settingsFlag("WinDbg"));
    findChild<QAction*>("actionLogFile")->setChecked(settingsFlag("FileLogging"));

    const QString format = settingsText("Settings", "AutoSaveFormat", QStringLiteral("BMP"));
    QAction* formatItem = findChild<QAction*>("actionPNG");
    for (const char* name : autoSaveFormatItems) {
        QAction* action = findChild<QAction*>(name);
        if (action->text().compare(format, Qt::CaseInsensitive) == 0)
            formatItem = action;
    }
    formatItem->setChecked(true);

    gDebugLevel = ZelAppSettings::instance()->value(QStringLiteral("Settings"), QStringLiteral("DebugLevel"), 0).toUInt();
    for (const LogLevelItem& item : logLevelItems)
        findChild<QAction*>(item.action)->setChecked((gDebugLevel & item.bit) != 0);

    // Tracing starts off at every start; the level mask and the file output
    // of the logger are left as they are.
    JotwellEnableWindbg(false);
    m_logActions->setEnabled(false);
}

bool ZelMainWindow::switchFileLogging(bool on, const QString& folder)
{
    if (folder.isEmpty())
        return !on;
    ZelUtil::ExpireLogFiles(folder, keptLogFiles);
    const QString path = folder + QLatin1Char('/') + ZelUtil::FormatLogFileName(QString(), folder);
    const int rc = JotwellEnableFileLogging(on, QFile::encodeName(path).constData());
    if (rc != ORV_SUCCESS) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! JotwellEnableFileLogging:%d", "ZelMainWindow::switchFileLogging", rc);
        return false;
    }
    return true;
}

void ZelMainWindow::showLogFileRefused(const QString& folder)
{
    ZelDialogs::critical(this, tr("Enable File Logging"),
                         tr("The log file could not be created in %1").arg(QDir::toNativeSeparators(folder)),
                         QMessageBox::Ok);
}

void ZelMainWindow::_onEnableLogToggled(bool bEnable)
{
    JotwellSetGlobalDebugLevel(bEnable ? gDebugLevel : 0);
    if (findChild<QAction*>("actionLogFile")->isChecked()) {
        const QString folder = settingsText("Directory", "LogFileDir");
        if (!switchFileLogging(bEnable, folder) && bEnable)
            showLogFileRefused(folder);
    }
    if (findChild<QAction*>("actionLogWindbg")->isChecked())
        JotwellEnableWindbg(bEnable);
    setSetting("Settings", "LogEnabled", bEnable ? 1u : 0u);
    m_logActions->setEnabled(bEnable);
}

void ZelMainWindow::_onLogSettingsToggled(bool bEnable)
{
    QObject* item = sender();
    // The logger follows the switches only while tracing is on; the marks
    // are kept either way.
    const bool tracing = findChild<QAction*>("actionEnable")->isChecked();
    for (const LogLevelItem& level : logLevelItems) {
        if (item != findChild<QAction*>(level.action))
            continue;
        if (bEnable)
            gDebugLevel |= level.bit;
        else
            gDebugLevel &= ~level.bit;
        if (tracing)
            JotwellSetGlobalDebugLevel(gDebugLevel);
        setSetting("Settings", "DebugLevel", gDebugLevel);
        return;
    }
    if (item == findChild<QAction*>("actionLogFile")) {
        const QString folder = settingsText("Directory", "LogFileDir");
        if (tracing && !switchFileLogging(bEnable, folder) && bEnable) {
            // The mark shows what the logger does.
            QSignalBlocker blocker(item);
            qobject_cast<QAction*>(item)->setChecked(false);
            showLogFileRefused(folder);
            return;
        }
        setSetting("Settings", "FileLogging", bEnable ? 1u : 0u);
    } else if (item == findChild<QAction*>("actionLogWindbg")) {
        if (tracing)
            JotwellEnableWindbg(bEnable);
        setSetting("Settings", "WinDbg", bEnable ? 1u : 0u);
    }
}

void ZelMainWindow::_onLogSettingsSetDirectory()
{
    const QString stored = settingsText("Directory", "LogFileDir");
    const QString folder = ZelDialogs::getExistingDirectory(this, tr("Open Directory"), stored,
                                                            QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty() || ZelUtil::EqualPath(folder, stored))
        return;
    if (!ZelUtil::TestDirWritable(folder)) {
        ZelDialogs::critical(this, tr("Set log directory"),
                             QStringLiteral("<p align='center'>This folder requires<br>")
                                 + QStringLiteral("administrator permission <br> to create files<br></p>"),
                             QMessageBox::Ok);
        return;
    }
    // A running file output moves to the new folder; otherwise the folder is
    // used the next time file output is switched on.
    const bool fileOutput =
        findChild<QAction*>("actionEnable")->isChecked() && findChild<QAction*>("actionLogFile")->isChecked();
    if (fileOutput && !switchFileLogging(true, folder)) {
        switchFileLogging(true, stored);
        ZelDialogs::critical(this, tr("Set log directory"),
                             QStringLiteral("<p align='center'>The log file could not be created<br>in this folder<br></p>"),
                             QMessageBox::Ok);
        return;
    }
    setSetting("Directory", "LogFileDir", folder);
    ZelDialogs::information(this, tr("Set Log Directory"), tr("Log Directory Changed Successfully!"), QMessageBox::Ok);
}

void ZelMainWindow::_onAutoSaveSettingsChecked(bool bChecked)
{
    auto* item = qobject_cast<QAction*>(sender());
    if (!bChecked || !item || !m_autoSaveFormatActions->actions().contains(item))
        return;
    setSetting("Settings", "AutoSaveFormat", item->text());
}

void ZelMainWindow::_onExportSPSettings(bool)
{
    const QString folder = settingsText("Directory", "SPSettingsFileDir");
    const QString file =
        ZelDialogs::getSaveFileName(nullptr, tr("Export Settings"), folder, tr("spsetting (*.spsetting)"));
    if (file.isEmpty())
        return;
    if (m_pollingManager->Save(file))
        ZelDialogs::information(m_pollingWidget, tr("Export Settings"), tr("Export Successful!"), QMessageBox::Ok);
    else
        ZelDialogs::critical(m_pollingWidget, tr("Export Settings"), tr("Export Failed!"), QMessageBox::Ok);
    const QString fileFolder = QFileInfo(file).absolutePath();
    if (fileFolder != folder)
        setSetting("Directory", "SPSettingsFileDir", fileFolder);
}

void ZelMainWindow::_onImportSPSettings(bool)
{
    const QString folder = settingsText("Directory", "SPSettingsFileDir");
    const QString file =
        ZelDialogs::getOpenFileName(nullptr, tr("Import Settings"), folder, tr("spsetting (*.spsetting)"));
    if (file.isEmpty())
        return;
    if (m_pollingManager->Load(file, true)) {
        m_pollingWidget->setEntries(m_pollingManager->GetList());
        ZelDialogs::information(m_pollingWidget, tr("Import Settings"), tr("Import Successful!"), QMessageBox::Ok);
    } else {
        ZelDialogs::critical(m_pollingWidget, tr("Import Settings"), tr("Import Failed!"), QMessageBox::Ok);
    }
}

void ZelMainWindow::closeCamerasAndStopDiscovery()
{
    // Each camera sub-window reports the new count as it goes.
    closeCameraWindows();
    if (m_discoveryWidget)
        m_discoveryWidget->reset();
}

void ZelMainWindow::restartDiscovery()
{
    if (m_discoveryWidget)
        m_discoveryWidget->init(m_cameraManagers, true);
}

bool ZelMainWindow::reloadSdk(const QString& additionalSearchPath)
{
    qDeleteAll(m_cameraManagers);
    m_cameraManagers.clear();
    ZelSdkLoader* sdk = ZelSdkLoader::instance();
    sdk->close();
    if (!sdk->init(ZelUtil::GetGenTLSearchPath(additionalSearchPath)))
        return false;
    m_loadedSearchPath = additionalSearchPath;
    if (m_tlManagerWidget) {
        QList<TLRecord> tlList;
        _getTLList(tlList);
        m_tlManagerWidget->setTLList(tlInfos(tlList));
    }
    return true;
}

void ZelMainWindow::rebuildCameraManagers(const QStringList& enabledPaths)
{
    QList<TLRecord> tlList;
    _getTLList(tlList);
    _createCameraManagers(tlList, enabledPaths);
}

void ZelMainWindow::restoreTransportLayers(const QString& searchPath, const QStringList& enabledPaths, bool reload)
{
    QStringList enabled = enabledPaths;
    bool loaded = !reload && ZelSdkLoader::instance()->isInitialised() && m_loadedSearchPath == searchPath;
    if (!loaded) {
        loaded = reloadSdk(searchPath);
        // The selection that ran before is better than none.
        if (!loaded) {
            loaded = reloadSdk(m_appliedSearchPath);
            enabled = m_appliedEnabledPaths;
        }
    }
    if (!loaded) {
        qDeleteAll(m_cameraManagers);
        m_cameraManagers.clear();
        return;
    }
    rebuildCameraManagers(enabled);
    m_appliedSearchPath = m_loadedSearchPath;
    m_appliedEnabledPaths = enabled;
    restartDiscovery();
}

bool ZelMainWindow::onReloadSDK(QString additionalSearchPath)
{
    closeCamerasAndStopDiscovery();
    return reloadSdk(additionalSearchPath);
}

void ZelMainWindow::onRevertTLSettings()
{
    QString searchPath;
    QStringList enabledPaths;
    if (!_readTLSettings(searchPath, enabledPaths)) {
        searchPath = m_appliedSearchPath;
        enabledPaths = m_appliedEnabledPaths;
    }
    closeCamerasAndStopDiscovery();
    // Always loaded again: a reload may have left the SDK on another path.
    restoreTransportLayers(searchPath, enabledPaths, true);
}

void ZelMainWindow::onApplyTLSettings()
{
    QString searchPath;
    QStringList enabledPaths;
    if (!_readTLSettings(searchPath, enabledPaths)) {
        const bool running = ZelSdkLoader::instance()->isInitialised() && m_loadedSearchPath == m_appliedSearchPath
            && !m_cameraManagers.isEmpty();
        if (running)
            return;
        searchPath = m_appliedSearchPath;
        enabledPaths = m_appliedEnabledPaths;
    }
    closeCamerasAndStopDiscovery();
    restoreTransportLayers(searchPath, enabledPaths, false);
}
