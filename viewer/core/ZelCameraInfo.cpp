#include "ZelCameraInfo.h"

#include "ZelUtil.h"

QString ZelCameraInfo::cameraKey() const
{
    return ZelUtil::RecordText(interfaceInfo.id) + QLatin1Char('/') + ZelUtil::RecordText(deviceInfo.id);
}

QString ZelCameraInfo::accessStatusText(int32_t accessStatus)
{
    switch (accessStatus) {
    case ORV_ACCESS_STATUS_READY:
        return QStringLiteral("Ready");
    case ORV_ACCESS_STATUS_READ_ONLY:
        return QStringLiteral("Read-Only");
    case ORV_ACCESS_STATUS_NOT_ACCESSIBLE:
        return QStringLiteral("Not Accessible");
    case ZEL_ACCESS_STATUS_ALREADY_OPENED:
        return QStringLiteral("Already Opened!");
    default:
        return QStringLiteral("Unknown");
    }
}
