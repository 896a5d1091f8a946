#ifndef ZELDISCOVERYTREEVIEW_H
#define ZELDISCOVERYTREEVIEW_H

#include "ZelCameraInfo.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTreeView>

class ZelDiscoverTreeModel;

// Shows the discovered cameras of one transport-layer type at a time; keeps
// one model per camera manager. A type names the first model of that type
// (case ignored).
class ZelDiscoveryTreeView : public QTreeView
{
    Q_OBJECT

public:
    explicit ZelDiscoveryTreeView(QWidget* parent = nullptr);
    ~ZelDiscoveryTreeView() override;

    void createModels(const QStringList& tlTypes);
    void showModel(const QString& tlType);
    void setCameras(const QString& tlType, const ZelCameraInfoList& cameras);
    bool isEmpty(const QString& tlType) const;
    void removeCamera(const QString& tlType, const QString& cameraKey);

    ZelDiscoverTreeModel* findModel(const QString& tlType) const;

signals:
    // The operator moved the current row with the keyboard (arrows, or
    // typing the start of a name).
    void currentMovedByKey(QModelIndex current);

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fitAndExpand();

    QList<ZelDiscoverTreeModel*> m_models;
};

#endif // ZELDISCOVERYTREEVIEW_H
