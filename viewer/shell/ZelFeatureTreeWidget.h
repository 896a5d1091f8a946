#ifndef ZELFEATURETREEWIDGET_H
#define ZELFEATURETREEWIDGET_H

#include "ZelFeatureData.h"

#include <QModelIndex>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <functional>

class QAbstractItemModel;
class QTreeView;
class ZelFeatureManager;
class ZelFeatureTreeModel;

// One feature tab: the tree of one module's features, its editors, and the
// features the SDK watches (the children of every expanded category).
class ZelFeatureTreeWidget : public QWidget
{
    Q_OBJECT
public:
    ZelFeatureTreeWidget(ZelFeatureManager* manager, bool readOnly, QWidget* parent = nullptr);
    ~ZelFeatureTreeWidget() override;

    void rebuildModel(int visibilityLevel, bool collapseAll, bool refreshList);
    void releaseModel();
    void enableInvalidation(bool enable);
    void highlightFeature(const QString& text);
    QStringList displayNames() const;
    void invalidateFeature(QString featureName, QString condition);
    void refreshWatchedFeatures();
    // The polling condition test: the feature's current value `op` valueText.
    static bool checkCondition(const QString& op, const QString& valueText, const ZelFeatureData& data);

    QTreeView* view() const { return treeView; }
    ZelFeatureTreeModel* model() const;
    const QStringList& watched() const { return watchedFeatures; }

signals:
    void deviceResetClicked();
    void updateXMLClicked();

public slots:
    void onCommandFeatureClicked(const char* featureName);

private slots:
    void onDataChangedFired(QModelIndex topLeft, QModelIndex bottomRight, QVector<int> roles);
    void onTreeViewItemClicked(QModelIndex index);
    void onTreeViewItemActivated(QModelIndex index);
    void onCollapsed(QModelIndex index);
    void onExpand(QModelIndex index);

private:
    void dropModel();
    void setViewModel(QAbstractItemModel* model);
    // The GenICam name of every child row of `parent`, and whether it is a
    // category.
    void forEachChild(const QModelIndex& parent, const std::function<void(const QString&, bool)>& visit) const;

    bool readOnly;
    ZelFeatureManager* manager;
    QTreeView* treeView;
    QStringList watchedFeatures;
};

#endif // ZELFEATURETREEWIDGET_H
