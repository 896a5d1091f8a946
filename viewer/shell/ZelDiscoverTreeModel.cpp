#include "ZelDiscoverTreeModel.h"

#include "ZelDiscoverTreeItem.h"
#include "ZelUtil.h"

#include <QFont>

ZelDiscoverTreeModel::ZelDiscoverTreeModel(const QString& tlType, QObject* parent)
    : QStandardItemModel(parent)
    , m_tlType(tlType)
{
}

ZelDiscoverTreeModel::~ZelDiscoverTreeModel() = default;

int ZelDiscoverTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

void ZelDiscoverTreeModel::addCameras(const ZelCameraInfoList& cameras)
{
    for (const ZelCameraInfo& info : cameras) {
        const QString vendor = ZelUtil::RecordText(info.tlInfo.vendor);
        QStandardItem* group = nullptr;
        for (int row = 0; row < rowCount() && !group; ++row) {
            if (item(row)->text() == vendor)
                group = item(row);
        }
        if (!group) {
            group = new QStandardItem(vendor);
            QFont bold = group->font();
            bold.setBold(true);
            group->setFont(bold);
            group->setFlags(Qt::ItemIsEnabled);
            appendRow(group);
        }
        group->appendRow(new ZelDiscoverTreeItem(info));
    }
}

void ZelDiscoverTreeModel::removeCamera(const QString& cameraKey)
{
    for (int groupRow = rowCount() - 1; groupRow >= 0; --groupRow) {
        QStandardItem* group = item(groupRow);
        for (int row = group->rowCount() - 1; row >= 0; --row) {
            if (group->child(row)->data(ZelDiscoverTreeItem::CameraKeyRole).toString() == cameraKey)
                group->removeRow(row);
        }
        // A group row exists only while it holds cameras.
        if (group->rowCount() == 0)
            removeRow(groupRow);
    }
}
