// The IP tool's window: the GigE cameras found, the selected camera's
// adapter, device and current IP values, Force IP and Configure.
#ifndef MAINDIALOG_H
#define MAINDIALOG_H

#include "OrvDeviceInfo.h"
#include "ZelGenTLControl.h"

#include <QDialog>

namespace Ui {
class MainDialog;
}

class MainDialog : public QDialog
{
    Q_OBJECT
public:
    explicit MainDialog(QWidget* parent = nullptr);
    ~MainDialog() override;

    void showDeviceInfo(const OrvDeviceInfo& record);
    // The MAC address as "00-11-1C-F0-12-34".
    static QString macText(uint64_t mac);

private slots:
    void onCameraIndexChange(int index);
    void onRefreshCameraList();
    void onBtnForceIpAutoClicked();
    void onBtnForceIpManualClicked();
    void onBtnConfigureClicked();

private:
    bool currentRecord(OrvDeviceInfo* record) const;
    // Shows the camera's values as it reports them after a change and
    // stores them in its item; when it no longer answers, the whole list
    // is read again.
    void showNewValues(OrvDeviceInfo record);

    Ui::MainDialog* ui;
    ZelGenTLControl m_control;
};

#endif // MAINDIALOG_H
