#ifndef ZELMAINWINDOW_H
#define ZELMAINWINDOW_H

#include "ZelCameraInfo.h"

#include <QList>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

class QAction;
class QActionGroup;
class QMdiArea;
class QMenu;
class QMenuBar;
class ZelCameraManager;
class ZelDiscoveryWidget;
class ZelSoftwarePollingManager;
class ZelSoftwarePollingWidget;
class ZelTcpFeatureRouter;
class ZelTcpFeatureTarget;
class ZelTcpServerWidget;
class ZelTLManagerWidget;

// The level mask of the Log menu; the SDK logger gets it while tracing is on.
extern quint32 gDebugLevel;

// The viewer's main window: menus over an MDI area with one sub-window per
// open camera. Owns the camera managers (one per enabled transport layer),
// the tool windows and, on the shell side, the SDK's lifetime.
class ZelMainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // What the command line asks for.
    struct CommandLine {
        bool windowsStyle = false;
        quint32 tcpPort = 0;
    };
    static CommandLine parseArguments(const QStringList& arguments);

    // A transport layer the SDK reported, with its own SDK index.
    struct TLRecord {
        int sdkIndex = 0;
        ORV_TL_INFO info;
    };

    explicit ZelMainWindow(QWidget* parent = nullptr);
    ~ZelMainWindow() override;

    // Start-up; false when the SDK cannot be loaded and initialised.
    bool init(const QStringList& arguments);

    QList<ZelCameraManager*> cameraManagers() const { return m_cameraManagers; }
    ZelDiscoveryWidget* discoveryWidget() const { return m_discoveryWidget; }
    ZelSoftwarePollingManager* pollingManager() const { return m_pollingManager; }
    ZelSoftwarePollingWidget* pollingWidget() const { return m_pollingWidget; }
    QMdiArea* mdiArea() const { return m_mdiArea; }
    quint32 tcpPort() const { return m_tcpPort; }
    QMdiSubWindow* activeCameraSubWindow() const { return m_activeSubWindow; }
    ZelTcpServerWidget* tcpServer() const { return m_tcpServer; }
    ZelTLManagerWidget* tlManagerWidget() const { return m_tlManagerWidget; }

    // The sub-window of an open camera (key compared ignoring case), or null.
    QMdiSubWindow* _findSubWindow(const QString& cameraKey) const;
    ZelCameraManager* _findCameraManager(ORV_SYSTEM_HANDLE system, const QString& tlType) const;

    // The managers for the enabled producer paths among the reported
    // transport layers, each producer once.
    static QList<ZelCameraManager*> createManagersFor(const QList<TLRecord>& tlList, const QStringList& enabledPaths);

public slots:
    void onCameraSelected(ZelCameraInfo cameraInfo);
    void onApplyTLSettings();
    void onRevertTLSettings();
    bool onReloadSDK(QString additionalSearchPath);
    // The active camera window's correction state, shown in the submenus.
    void onUpdateDefectPixelCorectionStatus(bool enablecorrection, bool isCustomMap, bool isParamlocked);
    void onUpdateShadingStatus(bool enablecorrection, int mapindex, bool isParamlock);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private slots:
    void _onAssistantMenuAboutToShow();
    void _onSubWindowActivated(QMdiSubWindow* subWindow);
    void _onEnableSoftwarePolling(bool enable);
    void _onEnableLogToggled(bool bEnable);
    void _onLogSettingsToggled(bool bEnable);
    void _onLogSettingsSetDirectory();
    void _onAutoSaveSettingsChecked(bool bChecked);
    void _onExportSPSettings(bool bEnable);
    void _onImportSPSettings(bool bEnable);

private:
    void setupUi();
    void _getTLList(QList<TLRecord>& out);
    bool _readTLSettings(QString& additionalSearchPath, QStringList& enabledPaths);
    void _createCameraManagers(const QList<TLRecord>& tlList, const QStringList& enabledPaths);
    void _createToolWindows();
    void _initLogMenu();
    // Starts or stops the SDK's file output into a new file of the folder;
    // false when the SDK refused it.
    bool switchFileLogging(bool on, const QString& folder);
    // The critical box for a log file the logger would not create.
    void showLogFileRefused(const QString& folder);
    // Ends every camera and discovery before the managers or the SDK change.
    void closeCamerasAndStopDiscovery();
    void restartDiscovery();
    // Closes the SDK and initialises it again with the search path made from
    // the additional one; the managers are gone afterwards.
    bool reloadSdk(const QString& additionalSearchPath);
    // Managers for the enabled producers of the SDK as it is loaded now.
    void rebuildCameraManagers(const QStringList& enabledPaths);
    // Managers and discovery for a selection, the SDK loaded again first when
    // asked or when it runs on another search path; the last applied
    // selection when this one cannot be loaded.
    void restoreTransportLayers(const QString& searchPath, const QStringList& enabledPaths, bool reload);
    void reportOpenCameraCount();
    void _connectSignals();
    void _disconnectSignals();
    bool _openCameraWindow(const ZelCameraInfo& info);
    void _closeCamera(const ZelCameraInfo& info);
    // Closes every camera sub-window and completes its deletion now.
    void closeCameraWindows();
    // Offers each tool entry of the Assistants menu that the camera window
    // can open; none without a window.
    void offerTools(QWidget* window);
    // Connects or disconnects the assistant actions to a camera window.
    void wireCameraWindow(QWidget* window, bool connectIt);
    QString pollingListPath() const;
    void savePollingList();

    QMdiArea* m_mdiArea = nullptr;
    QMenu* m_assistantsMenu = nullptr;
    QMenu* m_defectMenu = nullptr;
    QMenu* m_shadingMenu = nullptr;
    QActionGroup* m_assistantActions = nullptr;
    QActionGroup* m_logActions = nullptr;
    QActionGroup* m_defectMapActions = nullptr;
    QActionGroup* m_autoSaveFormatActions = nullptr;
    QActionGroup* m_shadingMapActions = nullptr;
    QAction* m_discoveryAction = nullptr;
    QAction* m_tcpServerAction = nullptr;
    ZelTcpServerWidget* m_tcpServer = nullptr;
    ZelTcpFeatureTarget* m_tcpTarget = nullptr;
    ZelTcpFeatureRouter* m_tcpRouter = nullptr;
    ZelSoftwarePollingWidget* m_pollingWidget = nullptr;
    ZelSoftwarePollingManager* m_pollingManager = nullptr;
    ZelDiscoveryWidget* m_discoveryWidget = nullptr;
    ZelTLManagerWidget* m_tlManagerWidget = nullptr;
    QList<ZelCameraManager*> m_cameraManagers;
    QPointer<QMdiSubWindow> m_activeSubWindow;
    // Camera sub-windows not yet destroyed, closed ones included.
    QList<QPointer<QObject>> m_cameraSubWindows;
    bool m_initialised = false;
    quint32 m_tcpPort = 0;
    // The additional search path the SDK was last initialised with.
    QString m_loadedSearchPath;
    // The selection last applied successfully.
    QString m_appliedSearchPath;
    QStringList m_appliedEnabledPaths;
};

#endif // ZELMAINWINDOW_H
