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

    // The sub-window of an open camera (key compared ignoring case), or null.
    QMdiSubWindow* _findSubWindow(const QString& cameraKey) const;
    ZelCameraManager* _findCameraManager(ORV_SYSTEM_HANDLE system, const QString& tlType) const;

    // The managers for the enabled producer paths among the reported
    // transport layers, each producer once.
    static QList<ZelCameraManager*> createManagersFor(const QList<TLRecord>& tlList, const QStringList& enabledPaths);

public slots:
    void onCameraSelected(ZelCameraInfo cameraInfo);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private slots:
    void _onAssistantMenuAboutToShow();
    void _onSubWindowActivated(QMdiSubWindow* subWindow);
    void _onEnableSoftwarePolling(bool enable);

private:
    void setupUi();
    void _getTLList(QList<TLRecord>& out);
    bool _readTLSettings(QString& additionalSearchPath, QStringList& enabledPaths);
    void _createCameraManagers(const QList<TLRecord>& tlList, const QStringList& enabledPaths);
    void _createToolWindows();
    void _connectSignals();
    void _disconnectSignals();
    bool _openCameraWindow(const ZelCameraInfo& info);
    void _closeCamera(const ZelCameraInfo& info);
    // Closes every camera sub-window and completes its deletion now.
    void closeCameraWindows();
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
    ZelSoftwarePollingWidget* m_pollingWidget = nullptr;
    ZelSoftwarePollingManager* m_pollingManager = nullptr;
    ZelDiscoveryWidget* m_discoveryWidget = nullptr;
    QList<ZelCameraManager*> m_cameraManagers;
    QPointer<QMdiSubWindow> m_activeSubWindow;
    // Camera sub-windows not yet destroyed, closed ones included.
    QList<QPointer<QMdiSubWindow>> m_cameraSubWindows;
    bool m_initialised = false;
    quint32 m_tcpPort = 0;
};

#endif // ZELMAINWINDOW_H
