#ifndef ZELDISCOVERTREEMODEL_H
#define ZELDISCOVERTREEMODEL_H

#include "ZelCameraInfo.h"

#include <QStandardItemModel>
#include <QString>

// The discovered cameras of one camera manager: a bold group row per
// transport-layer vendor, a camera row per camera below it.
class ZelDiscoverTreeModel : public QStandardItemModel
{
    Q_OBJECT

public:
    explicit ZelDiscoverTreeModel(const QString& tlType, QObject* parent = nullptr);
    ~ZelDiscoverTreeModel() override;

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;

    QString tlType() const { return m_tlType; }

    // Appends the cameras in list order under their vendor's group row.
    void addCameras(const ZelCameraInfoList& cameras);
    // Removes every camera row with that key, and groups left empty.
    void removeCamera(const QString& cameraKey);

private:
    QString m_tlType;
};

#endif // ZELDISCOVERTREEMODEL_H
