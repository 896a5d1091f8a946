// Sets a camera's persistent IP configuration and its DHCP use.
#ifndef CONFIGUREDIALOG_H
#define CONFIGUREDIALOG_H

#include "OrvDeviceInfo.h"

#include <QDialog>

class ZelGenTLControl;

namespace Ui {
class ConfigureDialog;
}

class ConfigureDialog : public QDialog
{
    Q_OBJECT
public:
    // The record holds the opened device's handle and persistent values.
    ConfigureDialog(ZelGenTLControl* control, const OrvDeviceInfo& record, QWidget* parent = nullptr);
    ~ConfigureDialog() override;

    bool isSettingsChanged() const;

public slots:
    void accept() override;

private slots:
    void onChkPersistentIpCheck(bool on);
    void onUseCurrentIPSettingsClicked();

private:
    void showPersistentValues();

    Ui::ConfigureDialog* ui;
    ZelGenTLControl* m_control;
    OrvDeviceInfo m_record;
};

#endif // CONFIGUREDIALOG_H
