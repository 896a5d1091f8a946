#include "MainDialog.h"
#include "ui_MainDialog.h"

#include "ConfigureDialog.h"
#include "ManualForceIPDialog.h"
#include "ZelDialogs.h"
#include "ZelIPAddress.h"

#include <QCoreApplication>

MainDialog::MainDialog(QWidget* parent) : QDialog(parent), ui(new Ui::MainDialog)
{
    qRegisterMetaType<OrvDeviceInfo>("OrvDeviceInfo");
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setWindowTitle(QCoreApplication::applicationName().left(10) + QLatin1Char(' ')
                   + QCoreApplication::applicationVersion());
    connect(ui->cmbCameraList, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainDialog::onCameraIndexChange);
    connect(ui->btnRefreshList, &QToolButton::clicked, this, &MainDialog::onRefreshCameraList);
    connect(ui->btnAutomatic, &QPushButton::clicked, this, &MainDialog::onBtnForceIpAutoClicked);
    connect(ui->btnManual, &QPushButton::clicked, this, &MainDialog::onBtnForceIpManualClicked);
    connect(ui->btnConfigure, &QPushButton::clicked, this, &MainDialog::onBtnConfigureClicked);
    ui->txtDeviceStatusError->hide();
    m_control.Open();
    onRefreshCameraList();
}

MainDialog::~MainDialog()
{
    m_control.Close();
    delete ui;
}

QString MainDialog::macText(uint64_t mac)
{
    QStringList pairs;
    for (int shift = 40; shift >= 0; shift -= 8)
        pairs << QStringLiteral("%1").arg(uint((mac >> shift) & 0xFF), 2, 16, QLatin1Char('0'));
    return pairs.join(QLatin1Char('-')).toUpper();
}

void MainDialog::showDeviceInfo(const OrvDeviceInfo& record)
{
    const OrvDevicePart& d = record.device;
    auto text = [](const char* field) { return QString::fromLatin1(field, int(qstrnlen(field, OrvTextSize))); };
    ui->txtModel->setText(text(d.model));
    ui->txtManufacturer->setText(text(d.vendor));
    ui->txtSN->setText(text(d.serialNumber));
    ui->txtUserId->setText(text(d.userDefinedName));
    ui->txtFirmware->setText(text(d.version));
    ui->txtMacAddress->setText(macText(d.mac));
    ui->chkCurrPersistentIP->setChecked(d.ipFlags & OrvIpFlagPersistent);
    ui->chkCurrDHCP->setChecked(d.ipFlags & OrvIpFlagDhcp);
    ui->chkCurrLLA->setChecked(d.ipFlags & OrvIpFlagLla);
    ui->txtCurrIpAddress->setText(ZelIPAddress::dotted(d.currentIp));
    ui->txtCurrSubnetMask->setText(ZelIPAddress::dotted(d.currentMask));
    ui->txtCurrGateway->setText(ZelIPAddress::dotted(d.currentGateway));
    ui->txtNIIpAddress->setText(text(record.iface.adapterIp));
    ui->txtNISubnetMask->setText(text(record.iface.adapterMask));
}

bool MainDialog::currentRecord(OrvDeviceInfo* record) const
{
    QVariant data = ui->cmbCameraList->currentData(Qt::UserRole);
    if (!data.canConvert<OrvDeviceInfo>())
        return false;
    *record = data.value<OrvDeviceInfo>();
    return true;
}

void MainDialog::onCameraIndexChange(int)
{
    OrvDeviceInfo record;
    if (currentRecord(&record))
        showDeviceInfo(record);
}

void MainDialog::onRefreshCameraList()
{
    ui->cmbCameraList->clear();
    QList<OrvDeviceInfo> records;
    m_control.ListDevices(records);
    const bool any = !records.isEmpty();
    ui->btnAutomatic->setEnabled(any);
    ui->btnManual->setEnabled(any);
    ui->btnConfigure->setEnabled(any);
    for (const OrvDeviceInfo& record : qAsConst(records))
        ui->cmbCameraList->addItem(QIcon(),
                                   QString::fromLatin1(record.device.deviceId,
                                                       int(qstrnlen(record.device.deviceId, OrvTextSize))),
                                   QVariant::fromValue(record));
}

void MainDialog::showNewValues(OrvDeviceInfo record)
{
    if (m_control.UpdateDeviceInfo(record.iface.interfaceHandle, record.device.deviceId, record.device)) {
        showDeviceInfo(record);
        ui->cmbCameraList->setItemData(ui->cmbCameraList->currentIndex(), QVariant::fromValue(record),
                                       Qt::UserRole);
        return;
    }
    const QString id = ui->cmbCameraList->currentText();
    onRefreshCameraList();
    int index = ui->cmbCameraList->findText(id);
    if (index >= 0)
        ui->cmbCameraList->setCurrentIndex(index);
}

void MainDialog::onBtnForceIpAutoClicked()
{
    OrvDeviceInfo record;
    if (!currentRecord(&record))
        return;
    if (!m_control.ForceIP(record, 0, 0, 0)) {
        ZelDialogs::critical(this, QStringLiteral("Netvane"), QStringLiteral("ForceIP Failed!"));
        return;
    }
    ZelDialogs::information(this, QStringLiteral("ForceIP automatic"), QStringLiteral("ForceIP Successful!"));
    showNewValues(record);
}

void MainDialog::onBtnForceIpManualClicked()
{
    OrvDeviceInfo record;
    if (!currentRecord(&record))
        return;
    ManualForceIPDialog dialog(&m_control, record, this);
    if (dialog.exec() == QDialog::Accepted)
        showNewValues(record);
}

void MainDialog::onBtnConfigureClicked()
{
    OrvDeviceInfo record;
    if (!currentRecord(&record))
        return;
    if (!m_control.OpenDevice(record)) {
        ZelDialogs::critical(this, QStringLiteral("Netvane"), QStringLiteral("Unable to Connect"));
        return;
    }
    int result;
    {
        ConfigureDialog dialog(&m_control, record, this);
        result = dialog.exec();
    }
    m_control.CloseDevice(record);
    if (result == QDialog::Accepted)
        showNewValues(record);
}
