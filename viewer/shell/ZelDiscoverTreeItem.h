#ifndef ZELDISCOVERTREEITEM_H
#define ZELDISCOVERTREEITEM_H

#include "ZelCameraInfo.h"

#include <QStandardItem>
#include <QString>

// One camera row of the discovery tree with its five detail rows.
class ZelDiscoverTreeItem : public QStandardItem
{
public:
    // Data roles of camera and detail rows.
    static constexpr int NodeKindRole = Qt::UserRole + 5;   // "DeviceModelNode" / "DeviceInfoNode"
    static constexpr int CameraInfoRole = Qt::UserRole + 6; // the ZelCameraInfo
    static constexpr int CameraKeyRole = Qt::UserRole + 7;  // camera rows only

    explicit ZelDiscoverTreeItem(const ZelCameraInfo& info);
    ~ZelDiscoverTreeItem() override;

    // How an access status is shown.
    struct Status {
        QString text;
        QString icon;
        QString toolTip;
    };
    static Status statusOf(const ZelCameraInfo& info);
};

#endif // ZELDISCOVERTREEITEM_H
