#include "ZelFeatureTreeWidget.h"

#include "ZelDialogs.h"
#include "ZelFeatureManager.h"
#include "ZelFeatureTreeDelegate.h"
#include "ZelFeatureTreeModel.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTreeView>
#include <QVBoxLayout>

#include <functional>

namespace {

// A number of a condition text: a decimal comma or point, nothing else.
bool parseConditionNumber(const QString& text, double* value)
{
    QString t = text;
    if (t.count(QLatin1Char(',')) == 1 && !t.contains(QLatin1Char('.')))
        t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    *value = t.toDouble(&ok);
    return ok;
}

template <typename T>
bool compareOrdered(const QString& op, T a, T b)
{
    if (op == QLatin1String("=="))
        return a == b;
    if (op == QLatin1String("!="))
        return !(a == b);
    if (op == QLatin1String("<"))
        return a < b;
    if (op == QLatin1String(">"))
        return a > b;
    if (op == QLatin1String("<="))
        return a <= b;
    if (op == QLatin1String(">="))
        return a >= b;
    return false;
}

bool compareEquality(const QString& op, bool equal)
{
    if (op == QLatin1String("=="))
        return equal;
    if (op == QLatin1String("!="))
        return !equal;
    return false;
}

} // namespace

ZelFeatureTreeWidget::ZelFeatureTreeWidget(ZelFeatureManager* featureManager, bool isReadOnly, QWidget* parent)
    : QWidget(parent)
    , readOnly(isReadOnly)
    , manager(featureManager)
    , treeView(new QTreeView(this))
{
    treeView->setObjectName(QStringLiteral("treeView"));
    treeView->setMouseTracking(false);
    treeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    treeView->setSelectionBehavior(QAbstractItemView::SelectRows);
    treeView->setSelectionMode(QAbstractItemView::SingleSelection);
    treeView->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    treeView->setItemDelegate(new ZelFeatureTreeDelegate(treeView));
    treeView->setContextMenuPolicy(Qt::CustomContextMenu);

    connect(treeView, SIGNAL(clicked(QModelIndex)), this, SLOT(onTreeViewItemClicked(QModelIndex)));
    connect(treeView, SIGNAL(activated(QModelIndex)), this, SLOT(onTreeViewItemActivated(QModelIndex)));
    connect(treeView, SIGNAL(collapsed(QModelIndex)), this, SLOT(onCollapsed(QModelIndex)));
    connect(treeView, SIGNAL(expanded(QModelIndex)), this, SLOT(onExpand(QModelIndex)));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(treeView);
    setFocusProxy(treeView);
}

ZelFeatureTreeWidget::~ZelFeatureTreeWidget() = default;

ZelFeatureTreeModel* ZelFeatureTreeWidget::model() const
{
    return qobject_cast<ZelFeatureTreeModel*>(treeView->model());
}

void ZelFeatureTreeWidget::dropModel()
{
    ZelFeatureTreeModel* old = model();
    if (!old)
        return;
    disconnect(old, SIGNAL(commandFeatureClicked(const char*)), this, SLOT(onCommandFeatureClicked(const char*)));
    disconnect(old, SIGNAL(dataChanged(QModelIndex, QModelIndex, QVector<int>)), this,
               SLOT(onDataChangedFired(QModelIndex, QModelIndex, QVector<int>)));
    // The view lets go of the model before it goes.
    setViewModel(nullptr);
    delete old;
}

void ZelFeatureTreeWidget::setViewModel(QAbstractItemModel* model)
{
    // Every model the view gets comes with a selection model of its own,
    // which the view does not delete.
    QItemSelectionModel* oldSelection = treeView->selectionModel();
    treeView->setModel(model);
    delete oldSelection;
}

void ZelFeatureTreeWidget::rebuildModel(int visibilityLevel, bool collapseAll, bool refreshList)
{
    dropModel();
    treeView->reset();
    if (refreshList)
        manager->ListRefresh();
    auto* fresh = new ZelFeatureTreeModel(manager, visibilityLevel, readOnly, treeView);
    connect(fresh, SIGNAL(commandFeatureClicked(const char*)), this, SLOT(onCommandFeatureClicked(const char*)));
    connect(fresh, SIGNAL(dataChanged(QModelIndex, QModelIndex, QVector<int>)), this,
            SLOT(onDataChangedFired(QModelIndex, QModelIndex, QVector<int>)));
    setViewModel(fresh);
    treeView->resizeColumnToContents(0);
    if (collapseAll)
        treeView->collapseAll();
}

void ZelFeatureTreeWidget::releaseModel()
{
    dropModel();
    treeView->reset();
}

void ZelFeatureTreeWidget::enableInvalidation(bool enable)
{
    manager->EnableInvalidation(enable);
}

void ZelFeatureTreeWidget::highlightFeature(const QString& text)
{
    QAbstractItemModel* m = treeView->model();
    if (!m)
        return;
    const QModelIndexList hits = m->match(m->index(0, 0), Qt::DisplayRole, text, 1,
                                          Qt::MatchContains | Qt::MatchRecursive);
    if (hits.isEmpty())
        return;
    treeView->selectionModel()->select(hits.first(), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    treeView->scrollTo(hits.first(), QAbstractItemView::EnsureVisible);
}

QStringList ZelFeatureTreeWidget::displayNames() const
{
    QStringList names;
    QAbstractItemModel* m = treeView->model();
    if (!m)
        return names;
    std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
        for (int row = 0; row < m->rowCount(parent); ++row) {
            const QModelIndex index = m->index(row, 0, parent);
            names << index.data(Qt::DisplayRole).toString();
            walk(index);
        }
    };
    walk(QModelIndex());
    return names;
}

void ZelFeatureTreeWidget::invalidateFeature(QString featureName, QString condition)
{
    ZelFeatureTreeModel* m = model();
    if (!m)
        return;
    if (!condition.isEmpty()) {
        const QStringList parts = condition.split(QLatin1Char(' '));
        if (parts.size() == 3) {
            ZelFeatureData data;
            if (manager->GetData(parts.at(0).toUtf8().constData(), data, false, false)
                && !checkCondition(parts.at(1), parts.at(2), data))
                return;
        }
    }
    m->OnFeatureInvalidated(featureName);
}

void ZelFeatureTreeWidget::refreshWatchedFeatures()
{
    const QStringList names = watchedFeatures;
    for (const QString& name : names)
        invalidateFeature(name, QString());
    QMetaObject::invokeMethod(treeView, "dataChanged", Q_ARG(QModelIndex, QModelIndex()),
                              Q_ARG(QModelIndex, QModelIndex()), Q_ARG(QVector<int>, QVector<int>()));
}

bool ZelFeatureTreeWidget::checkCondition(const QString& op, const QString& valueText, const ZelFeatureData& data)
{
    // A feature without a value (unavailable, write-only, unread) meets no
    // condition.
    if (!data.value.isValid())
        return false;
    QVariant current = data.value;
    const uint8_t type = data.info.interfaceType;
    if (type == ORV_FEATURE_TYPE_ENUMERATION) {
        bool ok = false;
        const qlonglong position = current.toLongLong(&ok);
        if (!ok || position < 0 || position >= data.entries.size())
            return false;
        current = data.entries.at(int(position));
    }

    bool isInteger = false;
    const qlonglong wantedInteger = valueText.toLongLong(&isInteger, 10);
    double wantedDouble = 0;
    const bool isNumber = isInteger || parseConditionNumber(valueText, &wantedDouble);
    if (isNumber) {
        // The current value as a number of its own kind; text that is no
        // number is compared as text below.
        bool currentIsNumber = false;
        if (type == ORV_FEATURE_TYPE_FLOAT || !isInteger) {
            const double a = current.toDouble(&currentIsNumber);
            if (currentIsNumber)
                return compareOrdered(op, a, isInteger ? double(wantedInteger) : wantedDouble);
        } else {
            const qlonglong a = type == ORV_FEATURE_TYPE_BOOLEAN ? qlonglong(current.toBool())
                                                                  : current.toLongLong(&currentIsNumber);
            if (type == ORV_FEATURE_TYPE_BOOLEAN || currentIsNumber)
                return compareOrdered(op, a, wantedInteger);
        }
    } else if (valueText.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
               || valueText.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        const bool wanted = valueText.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
        return compareEquality(op, current.toBool() == wanted);
    }
    return compareEquality(op, valueText == current.toString());
}

void ZelFeatureTreeWidget::forEachChild(const QModelIndex& parent,
                                        const std::function<void(const QString&, bool)>& visit) const
{
    QAbstractItemModel* m = treeView->model();
    if (!m)
        return;
    for (int row = 0; row < m->rowCount(parent); ++row) {
        const QModelIndex child = m->index(row, 0, parent);
        const ZelFeatureData data = child.data(ZelFeatureTreeModel::FeatureDataRole).value<ZelFeatureData>();
        visit(child.data(ZelFeatureTreeModel::FeatureNameRole).toString(),
              data.info.interfaceType == ORV_FEATURE_TYPE_CATEGORY);
    }
}

void ZelFeatureTreeWidget::onExpand(QModelIndex index)
{
    forEachChild(index, [this](const QString& name, bool category) {
        if (!category)
            manager->RegisterInvalidateCB(name.toUtf8().constData());
        // Read at once, whatever the invalidation switch says.
        emit manager->featureInvalidated(name);
        if (!watchedFeatures.contains(name))
            watchedFeatures.append(name);
    });
    treeView->resizeColumnToContents(0);
}

void ZelFeatureTreeWidget::onCollapsed(QModelIndex index)
{
    // Deeper rows that were shown keep their callbacks and their place in
    // the list.
    forEachChild(index, [this](const QString& name, bool category) {
        if (!category)
            manager->UnregisterInvalidateCB(name.toUtf8().constData());
        watchedFeatures.removeOne(name);
    });
}

void ZelFeatureTreeWidget::onTreeViewItemClicked(QModelIndex index)
{
    if (treeView->model() && (treeView->model()->flags(index) & Qt::ItemIsEditable))
        treeView->edit(index);
}

void ZelFeatureTreeWidget::onTreeViewItemActivated(QModelIndex index)
{
    QAbstractItemModel* m = treeView->model();
    if (!m || !index.isValid())
        return;
    const QModelIndex value = index.column() == 0 ? index.sibling(index.row(), 1) : index;
    const Qt::ItemFlags flags = m->flags(value);
    if (!(flags & Qt::ItemIsEditable))
        return;
    if (flags & Qt::ItemIsUserCheckable)
        m->setData(value, value.data(Qt::CheckStateRole).toInt() != Qt::Checked, Qt::EditRole);
    else
        treeView->edit(value);
}

void ZelFeatureTreeWidget::onDataChangedFired(QModelIndex, QModelIndex, QVector<int>)
{
    treeView->viewport()->repaint();
}

void ZelFeatureTreeWidget::onCommandFeatureClicked(const char* featureName)
{
    const QString name = QString::fromUtf8(featureName);
    if (name.compare(QLatin1String("UserSetLoad"), Qt::CaseInsensitive) == 0)
        ZelDialogs::information(nullptr, QStringLiteral("User Set Control"),
                                QStringLiteral("Load User Setting successful!"));
    else if (name.compare(QLatin1String("UserSetSave"), Qt::CaseInsensitive) == 0)
        ZelDialogs::information(nullptr, QStringLiteral("User Set Control"),
                                QStringLiteral("Save User Setting successful!"));
    else if (name.compare(QLatin1String("DeviceReset"), Qt::CaseInsensitive) == 0)
        emit deviceResetClicked();
    else if (name.compare(QLatin1String("UpdateXML"), Qt::CaseInsensitive) == 0)
        emit updateXMLClicked();
}
