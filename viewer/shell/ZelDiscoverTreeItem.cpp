#include "ZelDiscoverTreeItem.h"

#include "ZelUtil.h"

#include <QFont>
#include <QHostAddress>
#include <QImage>
#include <QPixmap>
#include <QVariant>

namespace {

QStandardItem* detailRow(const QString& text, const QVariant& info)
{
    auto* row = new QStandardItem(text);
    row->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    row->setData(QStringLiteral("DeviceInfoNode"), ZelDiscoverTreeItem::NodeKindRole);
    row->setData(info, ZelDiscoverTreeItem::CameraInfoRole);
    return row;
}

// Tool tip of a camera that cannot be opened: held elsewhere when it sits in
// its interface's subnet, otherwise a subnet mismatch.
QString notAccessibleToolTip(const ZelCameraInfo& info)
{
    const QString deviceSubnet = ZelUtil::RecordText(info.deviceInfo.subnet);
    QHostAddress address;
    const QString canonical = address.setAddress(deviceSubnet) ? address.toString() : QString();
    if (canonical == ZelUtil::RecordText(info.interfaceInfo.subnet))
        return QStringLiteral("Device is opened exclusively by another application");
    return QStringLiteral("Device subnet does not match the connected interface.")
        + QStringLiteral("Please use Netvane tool to configure");
}

} // namespace

ZelDiscoverTreeItem::Status ZelDiscoverTreeItem::statusOf(const ZelCameraInfo& info)
{
    const QString text = ZelCameraInfo::accessStatusText(info.deviceInfo.accessStatus);
    switch (info.deviceInfo.accessStatus) {
    case ORV_ACCESS_STATUS_READY:
        return {text, QStringLiteral(":/res/icon/status_access.png"),
                QStringLiteral("Device is available for read/write access")};
    case ORV_ACCESS_STATUS_READ_ONLY:
        return {text, QStringLiteral(":/res/icon/status_readonly.png"),
                QStringLiteral("Device is available for read only access")};
    case ORV_ACCESS_STATUS_NOT_ACCESSIBLE:
        return {text, QStringLiteral(":/res/icon/status_no_access.png"), notAccessibleToolTip(info)};
    case ZEL_ACCESS_STATUS_ALREADY_OPENED:
        return {text, QStringLiteral(":/res/icon/status_access.png"), QStringLiteral("Device is already opened")};
    default:
        return {text, QStringLiteral(":/res/icon/status_unknown.png"),
                QStringLiteral("Device Access status is Unkown")};
    }
}

ZelDiscoverTreeItem::ZelDiscoverTreeItem(const ZelCameraInfo& info)
{
    const Status status = statusOf(info);
    setText(ZelUtil::RecordText(info.deviceInfo.model) + QStringLiteral(" (") + status.text + QLatin1Char(')'));
    setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);

    const QVariant record = QVariant::fromValue(info);
    setData(QStringLiteral("DeviceModelNode"), NodeKindRole);
    setData(info.cameraKey(), CameraKeyRole);
    setData(record, CameraInfoRole);
    setData(QPixmap::fromImage(QImage(status.icon)), Qt::DecorationRole);
    setToolTip(status.toolTip);

    appendRow(detailRow(QStringLiteral("Type: ") + ZelUtil::RecordText(info.deviceInfo.tlType), record));
    appendRow(detailRow(QStringLiteral("Serial: ") + ZelUtil::RecordText(info.deviceInfo.serialNumber), record));
    appendRow(detailRow(QStringLiteral("Version: ") + ZelUtil::RecordText(info.deviceInfo.version), record));
    appendRow(detailRow(QStringLiteral("Interface Id: ") + ZelUtil::RecordText(info.interfaceInfo.id), record));
    appendRow(detailRow(QStringLiteral("Transport Layer: ") + ZelUtil::RecordText(info.tlInfo.name), record));
}

ZelDiscoverTreeItem::~ZelDiscoverTreeItem() = default;
