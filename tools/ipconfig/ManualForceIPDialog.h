// Enters a temporary IP address and subnet mask for one camera.
#ifndef MANUALFORCEIPDIALOG_H
#define MANUALFORCEIPDIALOG_H

#include "OrvDeviceInfo.h"

#include <QDialog>

class ZelGenTLControl;

namespace Ui {
class ManualForceIPDialog;
}

class ManualForceIPDialog : public QDialog
{
    Q_OBJECT
public:
    ManualForceIPDialog(ZelGenTLControl* control, const OrvDeviceInfo& record, QWidget* parent = nullptr);
    ~ManualForceIPDialog() override;

public slots:
    void accept() override;

private:
    Ui::ManualForceIPDialog* ui;
    ZelGenTLControl* m_control;
    OrvDeviceInfo m_record;
};

#endif // MANUALFORCEIPDIALOG_H
