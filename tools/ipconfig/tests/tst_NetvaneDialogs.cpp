// The tool's windows on the simulated producer: the camera list, Force IP
// (automatic and manual) and Configure, with their message boxes.
#include "ConfigureDialog.h"
#include "MainDialog.h"
#include "ManualForceIPDialog.h"
#include "OrvSdk.h"
#include "ProducerRig.h"
#include "ZelDialogs.h"
#include "ZelIPWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <dlfcn.h>
#include <functional>

namespace {

const char* const kConfigured = "<p align='center'>Set IP Configuration Successful!<br>"
                                "Note: Camera needs to be restarted <br>for the settings to take effect<br></p>";

template <class T>
T* child(QWidget* parent, const char* name)
{
    T* w = parent->findChild<T*>(QLatin1String(name));
    if (!w)
        qFatal("no child %s", name);
    return w;
}

QString editorText(QWidget* parent, const char* name)
{
    return child<ZelIPWidget>(parent, name)->text();
}

void setEditor(QWidget* parent, const char* name, const QString& text)
{
    ZelIPWidget* editor = child<ZelIPWidget>(parent, name);
    editor->setText(text);
}

// Runs the action on the modal dialog of that type once it is open; closes
// it afterwards when the action left it open.
template <class D>
void whenOpen(std::function<void(D*)> action)
{
    QTimer::singleShot(0, [action] {
        D* dialog = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<D*>(w); d && d->isVisible())
                dialog = d;
        if (!dialog)
            qFatal("the dialog did not open");
        action(dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
}

// The boxes shown, one "icon|title|text" line each.
QString boxesShown(const ZelDialogs::Script& script)
{
    QStringList lines;
    for (const ZelDialogs::Request& r : script.requests()) {
        const char* icon = r.icon == QMessageBox::Information ? "information"
            : r.icon == QMessageBox::Critical                 ? "critical"
                                                              : "other";
        lines << QStringLiteral("%1|%2|%3").arg(QLatin1String(icon), r.title, r.text);
    }
    return lines.join(QLatin1Char('\n'));
}

// The box a dialog of this tool shows for that outcome, or none.
QString expectedBox(const QString& text, bool information)
{
    if (text.isEmpty())
        return QString();
    return QStringLiteral("%1|Netvane|%2").arg(information ? "information" : "critical", text);
}

// Empty when the producer got no call of that function and nothing was
// expected, or exactly one holding the expected arguments; else what it got.
QString sentMismatch(ProducerRig& rig, const QString& function, const QString& expected)
{
    const QStringList calls = rig.calls(function);
    const bool ok = expected.isEmpty() ? calls.isEmpty() : calls.size() == 1 && calls.first().contains(expected);
    return ok ? QString() : QStringLiteral("sent: [%1], expected: [%2]").arg(calls.join(" / "), expected);
}

enum Outcome { Rejected, StaysOpen, Accepted };

Outcome outcomeOf(QDialog& dialog)
{
    if (dialog.isVisible())
        return StaysOpen;
    return dialog.result() == QDialog::Accepted ? Accepted : Rejected;
}

// A viewer's camera SDK in this process (a world of its own) that shares the
// state file with the producer and holds one camera open.
class ViewerHolding
{
public:
    ViewerHolding(const QString& folder, const char* interfaceId, const char* deviceId)
    {
        QFile placeholder(folder + QStringLiteral("/orv_gev_tl.cti"));
        if (!placeholder.open(QIODevice::WriteOnly))
            return;
        placeholder.close();
        m_library = dlopen(SUITE_BIN_DIR "/libQuillan.so", RTLD_NOW | RTLD_LOCAL);
        if (!m_library)
            return;
        bind(m_init, "OrvLibInit");
        bind(m_close, "OrvLibClose");
        bind(m_deviceClose, "OrvDeviceClose");
        OrvLibSystemOpenFn systemOpen = nullptr;
        OrvSystemUpdateInterfaceListFn updateInterfaces = nullptr;
        OrvSystemInterfaceOpenFn interfaceOpen = nullptr;
        OrvInterfaceUpdateDeviceListFn updateDevices = nullptr;
        OrvInterfaceDeviceOpenFn deviceOpen = nullptr;
        bind(systemOpen, "OrvLibSystemOpen");
        bind(updateInterfaces, "OrvSystemUpdateInterfaceList");
        bind(interfaceOpen, "OrvSystemInterfaceOpen");
        bind(updateDevices, "OrvInterfaceUpdateDeviceList");
        bind(deviceOpen, "OrvInterfaceDeviceOpen");
        if (!m_init || !m_close || !m_deviceClose || !systemOpen || !updateInterfaces || !interfaceOpen
            || !updateDevices || !deviceOpen)
            return;
        const QByteArray path = QFile::encodeName(folder);
        m_initialised = m_init(path.constData(), "", "", "") == 0;
        ORV_SYSTEM_HANDLE system = 0;
        ORV_INTERFACE_HANDLE iface = 0;
        ORV_REMOTE_DEVICE_HANDLE remote = 0;
        m_holding = m_initialised && systemOpen(0, &system) == 0 && updateInterfaces(system, nullptr, 1000) == 0
            && interfaceOpen(system, interfaceId, &iface) == 0 && updateDevices(iface, nullptr, 3000) == 0
            && deviceOpen(iface, deviceId, ORV_ACCESS_MODE_CONTROL, &m_device, &remote) == 0;
    }
    ~ViewerHolding()
    {
        if (m_initialised)
            m_close();
        if (m_library)
            dlclose(m_library);
    }
    ViewerHolding(const ViewerHolding&) = delete;
    ViewerHolding& operator=(const ViewerHolding&) = delete;

    bool holding() const { return m_holding; }
    bool release()
    {
        m_holding = m_holding && m_deviceClose(m_device) != 0;
        return !m_holding;
    }

private:
    template <class F>
    void bind(F& f, const char* name)
    {
        f = reinterpret_cast<F>(dlsym(m_library, name));
    }

    void* m_library = nullptr;
    OrvLibInitFn m_init = nullptr;
    OrvLibCloseFn m_close = nullptr;
    OrvDeviceCloseFn m_deviceClose = nullptr;
    bool m_initialised = false;
    bool m_holding = false;
    ORV_DEVICE_HANDLE m_device = 0;
};

} // namespace

class TestNetvaneDialogs : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void mainDialogShowsTheCameras();
    void macText();
    void withoutProducerTheButtonsAreDisabled();
    void automaticForceIp();
    void automaticForceIpFails();
    void manualForceIp_data();
    void manualForceIp();
    void manualForceIpThroughTheMainDialog();
    void configure_data();
    void configure();
    void switchingPersistentOffSendsZeros();
    void configureThroughTheMainDialog();
    void configureUnableToConnect();
    void cameraOpenInTheViewerIsRefused();
};

void TestNetvaneDialogs::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("Netvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.5.8.2518"));
}

void TestNetvaneDialogs::mainDialogShowsTheCameras()
{
    ProducerRig rig;
    QVERIFY(rig.ok());
    ZelDialogs::Script script;
    MainDialog dialog;
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Netvane 2.5.8.2518"));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
    QCOMPARE(dialog.size(), QSize(680, 450));
    auto* list = child<QComboBox>(&dialog, "cmbCameraList");
    QCOMPARE(list->count(), 7);
    QCOMPARE(list->itemText(0), QStringLiteral("GEV-G1-0001"));
    QCOMPARE(list->itemText(4), QStringLiteral("GEV-G5-0005"));
    QVERIFY(list->itemData(0, Qt::UserRole).canConvert<OrvDeviceInfo>());
    QCOMPARE(list->currentIndex(), 0);
    QVERIFY(child<QLabel>(&dialog, "txtDeviceStatusError")->isHidden());
    QCOMPARE(child<QLabel>(&dialog, "txtModel")->text(), QStringLiteral("SIM-G1280M"));
    QCOMPARE(child<QLabel>(&dialog, "txtManufacturer")->text(), QStringLiteral("NORRIK-Ombrel"));
    QCOMPARE(child<QLabel>(&dialog, "txtSN")->text(), QStringLiteral("0001"));
    QCOMPARE(child<QLabel>(&dialog, "txtMacAddress")->text(), QStringLiteral("00-11-1C-00-00-01"));
    QCOMPARE(child<QLabel>(&dialog, "txtNIIpAddress")->text(), QStringLiteral("192.168.1.10"));
    QCOMPARE(child<QLabel>(&dialog, "txtNISubnetMask")->text(), QStringLiteral("255.255.255.0"));
    QCOMPARE(editorText(&dialog, "txtCurrIpAddress"), QStringLiteral("192.168.1.101"));
    QCOMPARE(editorText(&dialog, "txtCurrSubnetMask"), QStringLiteral("255.255.255.0"));
    QVERIFY(!child<ZelIPWidget>(&dialog, "txtCurrIpAddress")->isEnabled());
    QVERIFY(child<QCheckBox>(&dialog, "chkCurrLLA")->isChecked());
    QVERIFY(!child<QCheckBox>(&dialog, "chkCurrPersistentIP")->isChecked());
    for (const char* name : {"btnAutomatic", "btnManual", "btnConfigure"})
        QVERIFY2(child<QPushButton>(&dialog, name)->isEnabled(), name);

    list->setCurrentIndex(4);
    QCOMPARE(child<QLabel>(&dialog, "txtNIIpAddress")->text(), QStringLiteral("10.0.0.10"));
    QCOMPARE(editorText(&dialog, "txtCurrIpAddress"), QStringLiteral("169.254.12.34"));

    // Refresh reads the list again, with the scenario's second listing.
    QVERIFY(rig.control("world.scenario duplicate-serial"));
    child<QToolButton>(&dialog, "btnRefreshList")->click();
    QCOMPARE(list->count(), 8);
    QCOMPARE(list->currentIndex(), 0);
    QCOMPARE(script.count(), 0);
}

void TestNetvaneDialogs::macText()
{
    QCOMPARE(MainDialog::macText(0x00111CF01234ull), QStringLiteral("00-11-1C-F0-12-34"));
    QCOMPARE(MainDialog::macText(0xFFFF0A0B0C0D0E0Full), QStringLiteral("0A-0B-0C-0D-0E-0F"));
    QCOMPARE(MainDialog::macText(0), QStringLiteral("00-00-00-00-00-00"));
}

void TestNetvaneDialogs::withoutProducerTheButtonsAreDisabled()
{
    QTemporaryDir empty;
    qputenv("NORRIK_TLGIGE_BIN_32", empty.path().toUtf8());
    ZelDialogs::Script script;
    MainDialog dialog;
    QCOMPARE(child<QComboBox>(&dialog, "cmbCameraList")->count(), 0);
    for (const char* name : {"btnAutomatic", "btnManual", "btnConfigure"})
        QVERIFY2(!child<QPushButton>(&dialog, name)->isEnabled(), name);
    QCOMPARE(script.count(), 0);
}

void TestNetvaneDialogs::automaticForceIp()
{
    ProducerRig rig;
    QVERIFY(rig.ok());
    ZelDialogs::Script script;
    MainDialog dialog;
    auto* list = child<QComboBox>(&dialog, "cmbCameraList");
    list->setCurrentIndex(4);
    child<QPushButton>(&dialog, "btnAutomatic")->click();
    QCOMPARE(boxesShown(script), QStringLiteral("information|ForceIP automatic|ForceIP Successful!"));
    // The values the producer reports afterwards, shown and stored.
    QCOMPARE(editorText(&dialog, "txtCurrIpAddress"), QStringLiteral("10.0.0.100"));
    QCOMPARE(editorText(&dialog, "txtCurrSubnetMask"), QStringLiteral("255.0.0.0"));
    QCOMPARE(editorText(&dialog, "txtCurrGateway"), QStringLiteral("0.0.0.0"));
    OrvDeviceInfo stored = list->itemData(4, Qt::UserRole).value<OrvDeviceInfo>();
    QCOMPARE(stored.device.currentIp, 0x0A000064u);
    QCOMPARE(stored.device.accessStatus, 1u);
    QCOMPARE(list->currentIndex(), 4);

    // When the camera answers none of the re-reads, the whole list is read
    // again and the same camera stays selected, with its new values.
    list->setCurrentIndex(6);
    QVERIFY(rig.control("call.fail IFGetDeviceInfo -1010 count=13"));
    child<QPushButton>(&dialog, "btnAutomatic")->click();
    QCOMPARE(script.count(), 2);
    QCOMPARE(list->count(), 7);
    QCOMPARE(list->currentText(), QStringLiteral("GEV-G7-0007"));
    QCOMPARE(editorText(&dialog, "txtCurrIpAddress"), QStringLiteral("10.0.0.101"));
}

void TestNetvaneDialogs::automaticForceIpFails()
{
    ProducerRig rig;
    QVERIFY(rig.ok());
    ZelDialogs::Script script;
    MainDialog dialog;
    child<QComboBox>(&dialog, "cmbCameraList")->setCurrentIndex(3); // G4, held elsewhere
    child<QPushButton>(&dialog, "btnAutomatic")->click();
    QCOMPARE(boxesShown(script), expectedBox(QStringLiteral("ForceIP Failed!"), false));
    QCOMPARE(editorText(&dialog, "txtCurrIpAddress"), QStringLiteral("192.168.1.104"));
}

void TestNetvaneDialogs::manualForceIp_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<uint>("gateway"); // the current gateway the dialog shows
    QTest::addColumn<bool>("refuses");  // the producer refuses the call
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("sent");

    const QString none;
    QTest::newRow("unchanged") << "169.254.12.34" << "255.255.0.0" << 0u << false << none << int(Rejected) << none;
    QTest::newRow("accepted") << "10.0.0.50" << "255.0.0.0" << 0u << false << "ForceIP Successful!"
                              << int(Accepted) << "ip=\"10.0.0.50\", mask=\"255.0.0.0\", gateway=\"0.0.0.0\"";
    QTest::newRow("producer refuses") << "10.0.0.50" << "255.0.0.0" << 0u << true << "ForceIP Failed!"
                                      << int(StaysOpen) << "ip=\"10.0.0.50\"";
    QTest::newRow("empty field") << "10..0.50" << "255.0.0.0" << 0u << false << "Invalid IP" << int(StaysOpen)
                                 << none;
    QTest::newRow("all zero is not automatic") << "0.0.0.0" << "0.0.0.0" << 0u << false << "Invalid IP"
                                               << int(StaysOpen) << none;
    QTest::newRow("loopback") << "127.0.0.1" << "255.0.0.0" << 0u << false << "Invalid IP" << int(StaysOpen)
                              << none;
    QTest::newRow("multicast") << "239.1.1.1" << "255.0.0.0" << 0u << false << "Invalid IP" << int(StaysOpen)
                               << none;
    QTest::newRow("network address") << "10.0.0.0" << "255.0.0.0" << 0u << false << "Invalid IP"
                                     << int(StaysOpen) << none;
    QTest::newRow("subnet broadcast") << "10.255.255.255" << "255.0.0.0" << 0u << false << "Invalid IP"
                                      << int(StaysOpen) << none;
    QTest::newRow("mask with holes") << "10.0.0.50" << "255.0.255.0" << 0u << false << "Invalid subnet"
                                     << int(StaysOpen) << none;
    QTest::newRow("empty mask") << "10.0.0.50" << "255.0..0" << 0u << false << "Invalid subnet"
                                << int(StaysOpen) << none;
    QTest::newRow("gateway outside the new subnet") << "10.0.0.50" << "255.0.0.0" << 0xA9FE0001u << false
                                                    << "Invalid gateWay" << int(StaysOpen) << none;
    QTest::newRow("gateway inside") << "169.254.12.40" << "255.255.0.0" << 0xA9FE0001u << false
                                    << "ForceIP Successful!" << int(Accepted) << "gateway=\"169.254.0.1\"";
}

void TestNetvaneDialogs::manualForceIp()
{
    QFETCH(QString, ip);
    QFETCH(QString, mask);
    QFETCH(uint, gateway);
    QFETCH(bool, refuses);
    QFETCH(QString, box);
    QFETCH(int, outcome);
    QFETCH(QString, sent);

    ProducerRig rig;
    QVERIFY(rig.ok());
    ZelGenTLControl control;
    QVERIFY(control.Open());
    OrvDeviceInfo g5 = recordOf(control, "GEV-G5-0005");
    g5.device.currentGateway = gateway;
    QVERIFY(rig.control("log.calls on"));
    if (refuses)
        QVERIFY(rig.control("call.fail OrvForceIPConfig -1001"));

    ZelDialogs::Script script;
    ManualForceIPDialog dialog(&control, g5);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Force IP Manual..."));
    QCOMPARE(editorText(&dialog, "txtIpAddress"), QStringLiteral("169.254.12.34"));
    QVERIFY(!child<ZelIPWidget>(&dialog, "txtGateway")->isEnabled());
    dialog.show();
    setEditor(&dialog, "txtIpAddress", ip);
    setEditor(&dialog, "txtSubnetMask", mask);
    dialog.accept();

    QCOMPARE(int(outcomeOf(dialog)), outcome);
    QCOMPARE(boxesShown(script), expectedBox(box, outcome == Accepted));
    const QString mismatch = sentMismatch(rig, QStringLiteral("OrvForceIPConfig"), sent);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    if (outcome == StaysOpen) {
        // The operator's entry stays for a correction.
        ZelIPWidget typed;
        typed.setText(ip);
        QCOMPARE(editorText(&dialog, "txtIpAddress"), typed.text());
    }
}

void TestNetvaneDialogs::manualForceIpThroughTheMainDialog()
{
    ProducerRig rig;
    QVERIFY(rig.ok());
    ZelDialogs::Script script;
    MainDialog dialog;
    auto* list = child<QComboBox>(&dialog, "cmbCameraList");
    list->setCurrentIndex(4);
    whenOpen<ManualForceIPDialog>([](ManualForceIPDialog* manual) {
        setEditor(manual, "txtIpAddress", QStringLiteral("10.0.0.77"));
        setEditor(manual, "txtSubnetMask", QStringLiteral("255.0.0.0"));
        manual->accept();
    });
    child<QPushButton>(&dialog, "btnManual")->click();
    QCOMPARE(script.count(), 1);
    QCOMPARE(script.last().text, QStringLiteral("ForceIP Successful!"));
    QCOMPARE(editorText(&dialog, "txtCurrIpAddress"), QStringLiteral("10.0.0.77"));
    QCOMPARE(list->itemData(4, Qt::UserRole).value<OrvDeviceInfo>().device.currentIp, 0x0A00004Du);

    // Cancelled: nothing changes.
    whenOpen<ManualForceIPDialog>([](ManualForceIPDialog* manual) {
        setEditor(manual, "txtIpAddress", QStringLiteral("10.0.0.78"));
        manual->reject();
    });
    child<QPushButton>(&dialog, "btnManual")->click();
    QCOMPARE(script.count(), 1);
    QCOMPARE(editorText(&dialog, "txtCurrIpAddress"), QStringLiteral("10.0.0.77"));
}

void TestNetvaneDialogs::configure_data()
{
    QTest::addColumn<bool>("persistent");
    QTest::addColumn<bool>("dhcp");
    QTest::addColumn<QStringList>("values"); // ip, mask, gateway typed
    QTest::addColumn<bool>("refuses");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("sent");

    const QString none;
    const QStringList zeros{"0.0.0.0", "0.0.0.0", "0.0.0.0"};
    const QStringList good{"192.168.1.50", "255.255.255.0", "192.168.1.1"};
    QTest::newRow("unchanged") << false << false << zeros << false << none << int(Rejected) << none;
    QTest::newRow("DHCP only") << false << true << zeros << false << kConfigured << int(Accepted)
                               << "dhcp=true, persistentIp=false, ip=\"0.0.0.0\", mask=\"0.0.0.0\", gateway=\"0.0.0.0\"";
    QTest::newRow("persistent address") << true << false << good << false << kConfigured << int(Accepted)
        << "dhcp=false, persistentIp=true, ip=\"192.168.1.50\", mask=\"255.255.255.0\", gateway=\"192.168.1.1\"";
    QTest::newRow("producer refuses") << true << false << good << true << "Set IP Configuration failed!"
                                      << int(StaysOpen) << "persistentIp=true";
    QTest::newRow("persistent on, still zero") << true << false << zeros << false << "Invalid IP"
                                               << int(StaysOpen) << none;
    QTest::newRow("empty field") << true << false << QStringList{"192.168..50", "255.255.255.0", "0.0.0.0"}
                                 << false << "Invalid IP" << int(StaysOpen) << none;
    QTest::newRow("mask with holes") << true << false << QStringList{"192.168.1.50", "255.0.255.0", "0.0.0.0"}
                                     << false << "Invalid subnet" << int(StaysOpen) << none;
    QTest::newRow("gateway elsewhere") << true << true << QStringList{"192.168.1.50", "255.255.255.0", "10.0.0.1"}
                                       << false << "Invalid gateWay" << int(StaysOpen) << none;
}

void TestNetvaneDialogs::configure()
{
    QFETCH(bool, persistent);
    QFETCH(bool, dhcp);
    QFETCH(QStringList, values);
    QFETCH(bool, refuses);
    QFETCH(QString, box);
    QFETCH(int, outcome);
    QFETCH(QString, sent);

    ProducerRig rig;
    QVERIFY(rig.ok());
    ZelGenTLControl control;
    QVERIFY(control.Open());
    OrvDeviceInfo g1 = recordOf(control, "GEV-G1-0001");
    QVERIFY(control.OpenDevice(g1));
    QVERIFY(rig.control("log.calls on"));
    if (refuses)
        QVERIFY(rig.control("call.fail OrvSetIPConfig -1001"));
    {
        ZelDialogs::Script script;
        ConfigureDialog dialog(&control, g1);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Configure Persistent IP Settings"));
        QVERIFY(!child<QCheckBox>(&dialog, "chkPersistentIP")->isChecked());
        QVERIFY(!child<ZelIPWidget>(&dialog, "txtPersistIPAddress")->isEnabled());
        QVERIFY(child<QCheckBox>(&dialog, "chkLLA")->isChecked());
        QVERIFY(!child<QCheckBox>(&dialog, "chkLLA")->isEnabled());
        dialog.show();
        child<QCheckBox>(&dialog, "chkPersistentIP")->setChecked(persistent);
        QCOMPARE(child<ZelIPWidget>(&dialog, "txtPersistIPAddress")->isEnabled(), persistent);
        child<QCheckBox>(&dialog, "chkDHCP")->setChecked(dhcp);
        if (persistent) {
            setEditor(&dialog, "txtPersistIPAddress", values[0]);
            setEditor(&dialog, "txtPersistSubnetMask", values[1]);
            setEditor(&dialog, "txtPersistGateway", values[2]);
        }
        dialog.accept();
        QCOMPARE(int(outcomeOf(dialog)), outcome);
        QCOMPARE(boxesShown(script), expectedBox(box, outcome == Accepted));
    }
    const QString mismatch = sentMismatch(rig, QStringLiteral("OrvSetIPConfig"), sent);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    control.CloseDevice(g1);
}

void TestNetvaneDialogs::switchingPersistentOffSendsZeros()
{
    ProducerRig rig;
    QVERIFY(rig.ok());
    ZelGenTLControl control;
    QVERIFY(control.Open());
    OrvDeviceInfo g1 = recordOf(control, "GEV-G1-0001");
    QVERIFY(control.OpenDevice(g1));
    QVERIFY(control.SetIPConfig(g1, false, true, 0xC0A80150u, 0xFFFFFF00u, 0xC0A80101u));
    control.CloseDevice(g1);
    QVERIFY(control.OpenDevice(g1));
    QVERIFY(rig.control("log.calls on"));

    ZelDialogs::Script script;
    ConfigureDialog dialog(&control, g1);
    dialog.show();
    auto* persistent = child<QCheckBox>(&dialog, "chkPersistentIP");
    QVERIFY(persistent->isChecked());
    QVERIFY(child<QPushButton>(&dialog, "btnUseCurrentIPSettings")->isEnabled());
    QCOMPARE(editorText(&dialog, "txtPersistIPAddress"), QStringLiteral("192.168.1.80"));
    QCOMPARE(editorText(&dialog, "txtPersistGateway"), QStringLiteral("192.168.1.1"));

    child<QPushButton>(&dialog, "btnUseCurrentIPSettings")->click();
    QCOMPARE(editorText(&dialog, "txtPersistIPAddress"), QStringLiteral("192.168.1.101"));
    QCOMPARE(editorText(&dialog, "txtPersistGateway"), QStringLiteral("0.0.0.0"));
    persistent->setChecked(false);
    QCOMPARE(editorText(&dialog, "txtPersistIPAddress"), QStringLiteral("192.168.1.80"));
    QCOMPARE(editorText(&dialog, "txtPersistGateway"), QStringLiteral("192.168.1.1"));
    QVERIFY(!child<ZelIPWidget>(&dialog, "txtPersistIPAddress")->isEnabled());
    QVERIFY(!child<QPushButton>(&dialog, "btnUseCurrentIPSettings")->isEnabled());
    child<QCheckBox>(&dialog, "chkDHCP")->setChecked(true);
    dialog.accept();
    QCOMPARE(int(outcomeOf(dialog)), int(Accepted));
    const QString mismatch = sentMismatch(
        rig, QStringLiteral("OrvSetIPConfig"),
        QStringLiteral("dhcp=true, persistentIp=false, ip=\"0.0.0.0\", mask=\"0.0.0.0\", gateway=\"0.0.0.0\""));
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    control.CloseDevice(g1);
}

void TestNetvaneDialogs::configureThroughTheMainDialog()
{
    ProducerRig rig;
    QVERIFY(rig.ok());
    ZelDialogs::Script script;
    MainDialog dialog;
    QVERIFY(!child<QCheckBox>(&dialog, "chkCurrDHCP")->isChecked());
    whenOpen<ConfigureDialog>([](ConfigureDialog* configure) {
        child<QCheckBox>(configure, "chkDHCP")->setChecked(true);
        configure->accept();
    });
    child<QPushButton>(&dialog, "btnConfigure")->click();
    QCOMPARE(script.count(), 1);
    QCOMPARE(script.last().text, QString::fromLatin1(kConfigured));
    // The camera's new flags are read again and shown.
    QVERIFY(child<QCheckBox>(&dialog, "chkCurrDHCP")->isChecked());
    // The device was closed again: it opens for the next Configure.
    whenOpen<ConfigureDialog>([](ConfigureDialog* configure) {
        QVERIFY(child<QCheckBox>(configure, "chkDHCP")->isChecked());
        configure->reject();
    });
    child<QPushButton>(&dialog, "btnConfigure")->click();
    QCOMPARE(script.count(), 1);
}

void TestNetvaneDialogs::configureUnableToConnect()
{
    ProducerRig rig;
    QVERIFY(rig.ok());
    ZelDialogs::Script script;
    MainDialog dialog;
    auto* list = child<QComboBox>(&dialog, "cmbCameraList");
    list->setCurrentIndex(3); // G4, held by another application
    child<QPushButton>(&dialog, "btnConfigure")->click();
    QCOMPARE(boxesShown(script), expectedBox(QStringLiteral("Unable to Connect"), false));
    list->setCurrentIndex(0);
    QVERIFY(rig.control("call.fail IFOpenDevice -1005"));
    child<QPushButton>(&dialog, "btnConfigure")->click();
    QCOMPARE(script.count(), 2);
    QCOMPARE(script.last().text, QStringLiteral("Unable to Connect"));
}

void TestNetvaneDialogs::cameraOpenInTheViewerIsRefused()
{
    ProducerRig rig;
    QVERIFY(rig.ok());
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    qputenv("QUILLAN_SIM_STATE", QFile::encodeName(folder.filePath(QStringLiteral("state.txt"))));
    {
        ViewerHolding viewer(folder.path(), "gev-if-0", "GEV-G1-0001");
        QVERIFY(viewer.holding());

        ZelDialogs::Script script;
        MainDialog dialog;
        auto* list = child<QComboBox>(&dialog, "cmbCameraList");
        QCOMPARE(list->itemText(0), QStringLiteral("GEV-G1-0001"));
        list->setCurrentIndex(0);
        const QString before = editorText(&dialog, "txtCurrIpAddress");

        child<QPushButton>(&dialog, "btnAutomatic")->click();
        QCOMPARE(boxesShown(script), expectedBox(QStringLiteral("ForceIP Failed!"), false));
        bool stayedOpen = false;
        whenOpen<ManualForceIPDialog>([&stayedOpen](ManualForceIPDialog* manual) {
            setEditor(manual, "txtIpAddress", QStringLiteral("192.168.1.77"));
            manual->accept();
            stayedOpen = manual->isVisible();
        });
        child<QPushButton>(&dialog, "btnManual")->click();
        QVERIFY(stayedOpen);
        child<QPushButton>(&dialog, "btnConfigure")->click();
        QCOMPARE(script.count(), 3);
        QCOMPARE(script.requests().at(1).text, QStringLiteral("ForceIP Failed!"));
        QCOMPARE(script.last().text, QStringLiteral("Unable to Connect"));
        QCOMPARE(editorText(&dialog, "txtCurrIpAddress"), before);

        // Once the viewer has closed the camera, the tool may change it.
        QVERIFY(viewer.release());
        child<QPushButton>(&dialog, "btnAutomatic")->click();
        QCOMPARE(script.count(), 4);
        QCOMPARE(script.last().text, QStringLiteral("ForceIP Successful!"));
        QCOMPARE(editorText(&dialog, "txtCurrIpAddress"), QStringLiteral("192.168.1.100"));
    }
    qunsetenv("QUILLAN_SIM_STATE");
}

QTEST_MAIN(TestNetvaneDialogs)
#include "tst_NetvaneDialogs.moc"
