#include "ZelDiscoverTreeItem.h"
#include "ZelDiscoverTreeModel.h"
#include "ZelDiscoveryTreeView.h"
#include "ZelStartup.h"

#include <QFont>
#include <QPixmap>
#include <QtTest>

namespace {

ZelCameraInfo camera(const char* vendor, const char* interfaceId, const char* deviceId, int status = 1,
                     const char* deviceSubnet = "", const char* interfaceSubnet = "")
{
    ZelCameraInfo info = {};
    qstrncpy(info.tlInfo.vendor, vendor, sizeof info.tlInfo.vendor);
    qstrncpy(info.tlInfo.name, "orv_gev_tl.cti", sizeof info.tlInfo.name);
    qstrncpy(info.interfaceInfo.id, interfaceId, sizeof info.interfaceInfo.id);
    qstrncpy(info.interfaceInfo.subnet, interfaceSubnet, sizeof info.interfaceInfo.subnet);
    qstrncpy(info.deviceInfo.id, deviceId, sizeof info.deviceInfo.id);
    qstrncpy(info.deviceInfo.model, "SIM-G640M", sizeof info.deviceInfo.model);
    qstrncpy(info.deviceInfo.tlType, "GEV", sizeof info.deviceInfo.tlType);
    qstrncpy(info.deviceInfo.serialNumber, "0001", sizeof info.deviceInfo.serialNumber);
    qstrncpy(info.deviceInfo.version, "3.2.1", sizeof info.deviceInfo.version);
    qstrncpy(info.deviceInfo.subnet, deviceSubnet, sizeof info.deviceInfo.subnet);
    info.deviceInfo.accessStatus = status;
    return info;
}

QStringList rowTexts(const QStandardItemModel& model)
{
    QStringList texts;
    for (int group = 0; group < model.rowCount(); ++group) {
        texts << model.item(group)->text();
        for (int row = 0; row < model.item(group)->rowCount(); ++row)
            texts << "  " + model.item(group)->child(row)->data(ZelDiscoverTreeItem::CameraKeyRole).toString();
    }
    return texts;
}

} // namespace

class TestZelDiscoveryTree : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ZelStartup::registerMetaTypes(); }

    void cameraRowByStatus_data();
    void cameraRowByStatus();
    void detailRows();
    void fieldsWithoutTerminator();
    void groupsFollowVendors();
    void removeCamera();
    void viewPicksFirstModelOfType();
};

void TestZelDiscoveryTree::cameraRowByStatus_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("deviceSubnet");
    QTest::addColumn<QString>("interfaceSubnet");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<QString>("toolTip");

    const QString mismatch = "Device subnet does not match the connected interface.Please use Netvane tool to configure";
    QTest::newRow("ready") << 1 << "" << "" << "SIM-G640M (Ready)" << "status_access"
                           << "Device is available for read/write access";
    QTest::newRow("read-only") << 2 << "" << "" << "SIM-G640M (Read-Only)" << "status_readonly"
                               << "Device is available for read only access";
    QTest::newRow("held elsewhere") << 3 << "192.168.1.0" << "192.168.1.0" << "SIM-G640M (Not Accessible)"
                                    << "status_no_access" << "Device is opened exclusively by another application";
    QTest::newRow("canonical form") << 3 << "192.168.001.000" << "192.168.1.0" << "SIM-G640M (Not Accessible)"
                                    << "status_no_access" << "Device is opened exclusively by another application";
    QTest::newRow("wrong subnet") << 3 << "169.254.0.0" << "10.0.0.0" << "SIM-G640M (Not Accessible)"
                                  << "status_no_access" << mismatch;
    QTest::newRow("unparsable subnet") << 3 << "no address" << "10.0.0.0" << "SIM-G640M (Not Accessible)"
                                       << "status_no_access" << mismatch;
    QTest::newRow("unparsable, interface without subnet") << 3 << "no address" << "" << "SIM-G640M (Not Accessible)"
                                                          << "status_no_access"
                                                          << "Device is opened exclusively by another application";
    QTest::newRow("already opened") << 0x1000 << "" << "" << "SIM-G640M (Already Opened!)" << "status_access"
                                    << "Device is already opened";
    QTest::newRow("zero") << 0 << "" << "" << "SIM-G640M (Unknown)" << "status_unknown"
                          << "Device Access status is Unkown";
    QTest::newRow("four") << 4 << "" << "" << "SIM-G640M (Unknown)" << "status_unknown"
                          << "Device Access status is Unkown";
}

void TestZelDiscoveryTree::cameraRowByStatus()
{
    QFETCH(int, status);
    QFETCH(QString, deviceSubnet);
    QFETCH(QString, interfaceSubnet);
    QFETCH(QString, text);
    QFETCH(QString, icon);
    QFETCH(QString, toolTip);

    const ZelCameraInfo info = camera("NORRIK-OMBREL GmbH", "gev-if-0", "GEV-G4-0004", status,
                                      deviceSubnet.toLatin1().constData(), interfaceSubnet.toLatin1().constData());
    ZelDiscoverTreeItem item(info);
    QCOMPARE(item.text(), text);
    QCOMPARE(item.toolTip(), toolTip);
    QCOMPARE(ZelDiscoverTreeItem::statusOf(info).icon, ":/res/icon/" + icon + ".png");
    // The icon is the resource image itself.
    const QPixmap pixmap = item.data(Qt::DecorationRole).value<QPixmap>();
    QVERIFY(!pixmap.isNull());
    // Compared premultiplied: un-premultiplying rounds differently on different CPUs.
    QCOMPARE(pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
             QImage(":/res/icon/" + icon + ".png").convertToFormat(QImage::Format_ARGB32_Premultiplied));
    QVERIFY(item.font().bold());
    QCOMPARE(item.flags(), Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    QCOMPARE(item.data(ZelDiscoverTreeItem::NodeKindRole).toString(), QString("DeviceModelNode"));
    QCOMPARE(item.data(ZelDiscoverTreeItem::CameraKeyRole).toString(), QString("gev-if-0/GEV-G4-0004"));
    const ZelCameraInfo stored = item.data(ZelDiscoverTreeItem::CameraInfoRole).value<ZelCameraInfo>();
    QCOMPARE(memcmp(&stored, &info, sizeof info), 0);
}

void TestZelDiscoveryTree::detailRows()
{
    ZelDiscoverTreeItem item(camera("NORRIK-OMBREL GmbH", "gev-if-0", "GEV-G1-0001"));
    QCOMPARE(item.rowCount(), 5);
    const QStringList expected = {"Type: GEV", "Serial: 0001", "Version: 3.2.1", "Interface Id: gev-if-0",
                                  "Transport Layer: orv_gev_tl.cti"};
    for (int row = 0; row < 5; ++row) {
        QStandardItem* detail = item.child(row);
        QCOMPARE(detail->text(), expected.at(row));
        QVERIFY(!detail->font().bold());
        QCOMPARE(detail->flags(), Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        QCOMPARE(detail->data(ZelDiscoverTreeItem::NodeKindRole).toString(), QString("DeviceInfoNode"));
        QVERIFY(detail->data(ZelDiscoverTreeItem::CameraInfoRole).canConvert<ZelCameraInfo>());
        QVERIFY(!detail->data(ZelDiscoverTreeItem::CameraKeyRole).isValid());
    }
}

void TestZelDiscoveryTree::fieldsWithoutTerminator()
{
    ZelCameraInfo info = camera("V", "if", "dev");
    memset(info.deviceInfo.model, 'M', sizeof info.deviceInfo.model);
    memset(info.tlInfo.vendor, 'V', sizeof info.tlInfo.vendor);
    ZelDiscoverTreeModel model("GEV");
    model.addCameras({info});
    QCOMPARE(model.item(0)->text(), QString(512, 'V'));
    QCOMPARE(model.item(0)->child(0)->text(), QString(512, 'M') + " (Ready)");
}

void TestZelDiscoveryTree::groupsFollowVendors()
{
    ZelDiscoverTreeModel model("GEV");
    QCOMPARE(model.columnCount(), 1);
    model.addCameras({camera("B Vendor", "if-0", "b1"), camera("A Vendor", "if-0", "a1"),
                      camera("B Vendor", "if-1", "b2")});
    QCOMPARE(rowTexts(model), QStringList({"B Vendor", "  if-0/b1", "  if-1/b2", "A Vendor", "  if-0/a1"}));
    QStandardItem* group = model.item(0);
    QVERIFY(group->font().bold());
    QCOMPARE(group->flags(), Qt::ItemIsEnabled);
}

void TestZelDiscoveryTree::removeCamera()
{
    ZelDiscoverTreeModel model("GEV");
    model.addCameras({camera("B", "if-0", "b1"), camera("A", "if-0", "a1"), camera("B", "if-0", "b1"),
                      camera("B", "if-1", "b2")});
    model.removeCamera("if-0/B1"); // case-sensitive: nothing goes
    QCOMPARE(model.rowCount(), 2);
    model.removeCamera("if-0/b1"); // both rows of that key
    QCOMPARE(rowTexts(model), QStringList({"B", "  if-1/b2", "A", "  if-0/a1"}));
    model.removeCamera("if-0/a1"); // the only camera of its vendor takes the group along
    QCOMPARE(rowTexts(model), QStringList({"B", "  if-1/b2"}));
    model.removeCamera("unknown/key");
    QCOMPARE(rowTexts(model), QStringList({"B", "  if-1/b2"}));
}

void TestZelDiscoveryTree::viewPicksFirstModelOfType()
{
    ZelDiscoveryTreeView view;
    QVERIFY(view.isHeaderHidden());
    view.createModels({"GEV", "U3V", "gev"});
    QVERIFY(view.isEmpty("GEV"));
    QVERIFY(view.isEmpty("CXP")); // no such model
    view.setCameras("gev", {camera("V", "if-0", "g1")});
    QVERIFY(!view.isEmpty("GEV"));
    view.showModel("Gev");
    QCOMPARE(view.model(), view.findModel("GEV"));
    QCOMPARE(view.model()->rowCount(), 1);
    QVERIFY(view.isExpanded(view.model()->index(0, 0)));

    // A type without a model changes no rows.
    view.setCameras("CXP", {camera("V", "if-0", "x1")});
    QCOMPARE(view.model()->rowCount(), 1);
    view.showModel("CXP");
    QCOMPARE(view.model(), view.findModel("GEV"));

    // Refilled as a whole.
    view.setCameras("GEV", {camera("V", "if-0", "g2"), camera("W", "if-0", "g3")});
    QCOMPARE(view.model()->rowCount(), 2);
    view.removeCamera("GEV", "if-0/g2");
    QCOMPARE(view.model()->rowCount(), 1);

    view.createModels({});
    QVERIFY(view.model() == nullptr);
    QVERIFY(view.isEmpty("GEV"));
}

QTEST_MAIN(TestZelDiscoveryTree)
#include "tst_ZelDiscoveryTree.moc"
