#include "ManualForceIPDialog.h"
#include "ui_ManualForceIPDialog.h"

#include "ZelDialogs.h"
#include "ZelGenTLControl.h"
#include "ZelIPAddress.h"

ManualForceIPDialog::ManualForceIPDialog(ZelGenTLControl* control, const OrvDeviceInfo& record, QWidget* parent)
    : QDialog(parent), ui(new Ui::ManualForceIPDialog), m_control(control), m_record(record)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->txtIpAddress->setText(ZelIPAddress::dotted(record.device.currentIp));
    ui->txtSubnetMask->setText(ZelIPAddress::dotted(record.device.currentMask));
    ui->txtGateway->setText(ZelIPAddress::dotted(record.device.currentGateway));
}

ManualForceIPDialog::~ManualForceIPDialog()
{
    delete ui;
}

void ManualForceIPDialog::accept()
{
    const OrvDevicePart& d = m_record.device;
    if (ui->txtIpAddress->text() == ZelIPAddress::dotted(d.currentIp)
        && ui->txtSubnetMask->text() == ZelIPAddress::dotted(d.currentMask)
        && ui->txtGateway->text() == ZelIPAddress::dotted(d.currentGateway)) {
        reject();
        return;
    }
    uint32_t ip = 0, mask = 0, gateway = 0;
    if (!ZelIPAddress::readEditors(this, ui->txtIpAddress, ui->txtSubnetMask, ui->txtGateway, &ip, &mask, &gateway))
        return;
    if (!m_control->ForceIP(m_record, ip, mask, gateway)) {
        ZelDialogs::critical(this, QStringLiteral("Netvane"), QStringLiteral("ForceIP Failed!"));
        return;
    }
    ZelDialogs::information(this, QStringLiteral("Netvane"), QStringLiteral("ForceIP Successful!"));
    QDialog::accept();
}
