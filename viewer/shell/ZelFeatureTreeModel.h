#ifndef ZELFEATURETREEMODEL_H
#define ZELFEATURETREEMODEL_H

#include "ZelFeatureData.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QSet>

class ZelFeatureManager;
class ZelFeatureTreeItem;

// The GenICam features of one module as a two-column tree ("Property",
// "Value"), filtered by visibility level. Edits are written through the
// feature manager; invalidated features are read again.
class ZelFeatureTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    // Roles beyond Qt's own.
    enum Role {
        FeatureDataRole = 257,   // ZelFeatureData of the node
        FeatureNameRole = 258,   // GenICam name
        SetRefreshRole = 259,    // write: refreshEnabled
        RefreshEnabledRole = 260,
        ReplaceDataRole = 261,   // write: the node's whole ZelFeatureData
    };

    ZelFeatureTreeModel(ZelFeatureManager* manager, int visibilityLevel, bool readOnly, QObject* parent);
    ~ZelFeatureTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // A write through the edit roles returns false when the camera refused
    // it; the node then holds the camera's value again.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The value text of a feature as column 1 shows it.
    static QVariant valueText(const ZelFeatureData& data);
    // Whether `value` differs from the feature's current value.
    static bool valueChanged(const ZelFeatureData& current, const QVariant& value);
    // Column 0 of the feature's row; invalid when the name is not in the
    // tree or stands there more than once.
    QModelIndex indexOf(const QString& featureName) const;

signals:
    void commandFeatureClicked(const char* featureName);

public slots:
    void OnFeatureInvalidated(QString featureName);

private:
    void build();
    ZelFeatureTreeItem* itemOf(const QModelIndex& index) const;
    ZelFeatureTreeItem* find(const QString& featureName) const;
    void notifyRow(ZelFeatureTreeItem* item);

    int visibilityLevel;
    bool readOnly;
    ZelFeatureManager* manager;
    ZelFeatureTreeItem* root = nullptr;
    // The tree does not change after it is built: names lead to their nodes.
    QHash<QString, ZelFeatureTreeItem*> byName;
    QSet<QString> duplicateNames;
    // Features read again after an invalidation, counted.
    quint64 rereads = 0;
};

#endif // ZELFEATURETREEMODEL_H
