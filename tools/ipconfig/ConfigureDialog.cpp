#include "ConfigureDialog.h"
#include "ui_ConfigureDialog.h"

#include "ZelDialogs.h"
#include "ZelGenTLControl.h"
#include "ZelIPAddress.h"

ConfigureDialog::ConfigureDialog(ZelGenTLControl* control, const OrvDeviceInfo& record, QWidget* parent)
    : QDialog(parent), ui(new Ui::ConfigureDialog), m_control(control), m_record(record)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    showPersistentValues();
    const uint32_t flags = record.device.ipFlags;
    ui->chkPersistentIP->setChecked(flags & OrvIpFlagPersistent);
    onChkPersistentIpCheck(flags & OrvIpFlagPersistent);
    ui->chkDHCP->setChecked(flags & OrvIpFlagDhcp);
    ui->chkLLA->setChecked(flags & OrvIpFlagLla);
    connect(ui->chkPersistentIP, &QCheckBox::toggled, this, &ConfigureDialog::onChkPersistentIpCheck);
    connect(ui->btnUseCurrentIPSettings, &QPushButton::clicked, this,
            &ConfigureDialog::onUseCurrentIPSettingsClicked);
}

ConfigureDialog::~ConfigureDialog()
{
    delete ui;
}

void ConfigureDialog::showPersistentValues()
{
    ui->txtPersistIPAddress->setText(ZelIPAddress::dotted(m_record.device.persistentIp));
    ui->txtPersistSubnetMask->setText(ZelIPAddress::dotted(m_record.device.persistentMask));
    ui->txtPersistGateway->setText(ZelIPAddress::dotted(m_record.device.persistentGateway));
}

void ConfigureDialog::onChkPersistentIpCheck(bool on)
{
    for (QWidget* w : {static_cast<QWidget*>(ui->btnUseCurrentIPSettings), static_cast<QWidget*>(ui->txtPersistIPAddress),
                       static_cast<QWidget*>(ui->txtPersistSubnetMask), static_cast<QWidget*>(ui->txtPersistGateway)})
        w->setEnabled(on);
    if (!on)
        showPersistentValues();
}

void ConfigureDialog::onUseCurrentIPSettingsClicked()
{
    ui->txtPersistIPAddress->setText(ZelIPAddress::dotted(m_record.device.currentIp));
    ui->txtPersistSubnetMask->setText(ZelIPAddress::dotted(m_record.device.currentMask));
    ui->txtPersistGateway->setText(ZelIPAddress::dotted(m_record.device.currentGateway));
}

bool ConfigureDialog::isSettingsChanged() const
{
    const OrvDevicePart& d = m_record.device;
    return ui->txtPersistIPAddress->text() != ZelIPAddress::dotted(d.persistentIp)
        || ui->txtPersistSubnetMask->text() != ZelIPAddress::dotted(d.persistentMask)
        || ui->txtPersistGateway->text() != ZelIPAddress::dotted(d.persistentGateway)
        || ui->chkPersistentIP->isChecked() != bool(d.ipFlags & OrvIpFlagPersistent)
        || ui->chkDHCP->isChecked() != bool(d.ipFlags & OrvIpFlagDhcp)
        || ui->chkLLA->isChecked() != bool(d.ipFlags & OrvIpFlagLla);
}

void ConfigureDialog::accept()
{
    if (!isSettingsChanged()) {
        reject();
        return;
    }
    const bool dhcp = ui->chkDHCP->isChecked();
    const bool persistent = ui->chkPersistentIP->isChecked();
    uint32_t ip = 0, mask = 0, gateway = 0;
    if (persistent
        && !ZelIPAddress::readEditors(this, ui->txtPersistIPAddress, ui->txtPersistSubnetMask,
                                      ui->txtPersistGateway, &ip, &mask, &gateway))
        return;
    if (!m_control->SetIPConfig(m_record, dhcp, persistent, ip, mask, gateway)) {
        ZelDialogs::critical(this, QStringLiteral("Netvane"), QStringLiteral("Set IP Configuration failed!"));
        return;
    }
    ZelDialogs::information(this, QStringLiteral("Netvane"),
                            QStringLiteral("<p align='center'>Set IP Configuration Successful!<br>"
                                           "Note: Camera needs to be restarted <br>for the settings to take effect<br></p>"));
    QDialog::accept();
}
