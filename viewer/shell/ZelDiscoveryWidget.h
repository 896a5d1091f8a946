#ifndef ZELDISCOVERYWIDGET_H
#define ZELDISCOVERYWIDGET_H

#include "ZelCameraInfo.h"

#include <QList>
#include <QMap>
#include <QModelIndex>
#include <QString>
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;
class ZelCameraManager;
class ZelDiscoveryController;
class ZelDiscoveryTreeView;

// The window in which the operator picks a camera: a transport-layer type
// list, the discovered cameras of that type, and for Camera Link a port list
// with a probe. Discovery threads run only while the window is shown.
class ZelDiscoveryWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ZelDiscoveryWidget(const QList<ZelCameraManager*>& managers, QWidget* parent = nullptr);
    ~ZelDiscoveryWidget() override;

    // Builds the tree models and the controller over new managers; with
    // probeAll every manager's interfaces are listed at once.
    void init(const QList<ZelCameraManager*>& managers, bool probeAll);
    // Drops the models and the controller (before the managers go).
    void reset();
    // Takes a camera that failed to open out of the shown type's tree.
    void removeCamera(const QString& cameraKey);

    ZelDiscoveryController* discoveryController() const { return controller; }

    // The program started by "IP Config Tool..." on Linux, and its argument.
    static const char* ipToolLauncher() { return "pkexec"; }
    static const char* ipToolProgram() { return "Netvane-x86_64"; }

signals:
    void cameraSelected(ZelCameraInfo cameraInfo);
    void actionShowTLManagerWidget();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private slots:
    void on_treeViewDiscover_doubleClicked(QModelIndex index);
    void on_btnOk_clicked();
    void on_btnCLProbeDevice_clicked();
    void on_cmbCLPortID_currentIndexChanged(QString text);
    void on_treeViewDiscover_clicked(QModelIndex index);
    void on_btnRefresh_clicked();
    void _onCameraTypeChange(int index);
    void _onDiscoveredCameraChanged(QString tlType, ZelCameraInfoList cameraInfoList);
    void _onShowIPConfigTool();
    void _onSelectionChanged();
    void _onTreeCurrentMovedByKey(QModelIndex index);

private:
    struct Ui;

    void setupUi();
    // Shows the tree of the type list's entry; returns its type.
    QString showType(int index);
    void fillCameraTypes(const QList<ZelCameraManager*>& managers);
    void fillCLPorts(const ZelInterfaceInfoList& interfaces);
    void discoverNow(ZelCameraManager* manager, ZelInterfaceInfoList& interfaces);
    void stopWatchedDiscovery(const QList<ZelCameraManager*>& managers);
    void listEveryManager();
    // Shows the tree or the "No Camera Discovered" label for the type.
    void showTreeState(const QString& tlType);
    void applyCameras(const QString& tlType, const ZelCameraInfoList& cameras);
    bool treeHasSelection() const;
    // The camera row of a camera or detail row; invalid for a group row.
    static QModelIndex cameraRowOf(const QModelIndex& index);
    // Selects the camera row with its detail rows, in one change.
    void selectCamera(const QModelIndex& cameraRow);
    QString selectedType() const;

    Ui* ui;
    ZelDiscoveryController* controller = nullptr;
    // Reports of the shown type that came while a camera was selected.
    QMap<QString, ZelCameraInfoList> m_pendingReports;
    // Set while the type list is refilled: its index changes save nothing.
    bool m_fillingTypes = false;
};

#endif // ZELDISCOVERYWIDGET_H
