#include "ZelDiscoveryTreeView.h"

#include "ZelDiscoverTreeModel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

ZelDiscoveryTreeView::ZelDiscoveryTreeView(QWidget* parent)
    : QTreeView(parent)
{
    header()->hide();
}

QItemSelectionModel::SelectionFlags ZelDiscoveryTreeView::selectionCommand(const QModelIndex& index,
                                                                         const QEvent* event) const
{
    // The discovery widget selects a camera with its detail rows, or clears
    // it, on a click or a key that moves the current row; a press that
    // toggled one row first would undo that.
    if (event && (dynamic_cast<const QMouseEvent*>(event) || dynamic_cast<const QKeyEvent*>(event)))
        return QItemSelectionModel::NoUpdate;
    return QTreeView::selectionCommand(index, event);
}

void ZelDiscoveryTreeView::keyPressEvent(QKeyEvent* event)
{
    const QPersistentModelIndex before = currentIndex();
    const QString text = event->text();
    // A model name is typed whole: its '-' (or a '+', '*') searches on
    // instead of collapsing or expanding rows.
    const bool typed = text.size() == 1 && text.at(0).isPrint() && !text.at(0).isSpace() &&
                       !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (typed)
        keyboardSearch(text);
    else
        QTreeView::keyPressEvent(event);
    if (currentIndex() != before)
        emit currentMovedByKey(currentIndex());
}

ZelDiscoveryTreeView::~ZelDiscoveryTreeView()
{
    setModel(nullptr);
    qDeleteAll(m_models);
}

void ZelDiscoveryTreeView::createModels(const QStringList& tlTypes)
{
    reset();
    setModel(nullptr);
    qDeleteAll(m_models);
    m_models.clear();
    for (const QString& type : tlTypes)
        m_models.append(new ZelDiscoverTreeModel(type));
}

ZelDiscoverTreeModel* ZelDiscoveryTreeView::findModel(const QString& tlType) const
{
    for (ZelDiscoverTreeModel* model : m_models) {
        if (model->tlType().compare(tlType, Qt::CaseInsensitive) == 0)
            return model;
    }
    return nullptr;
}

void ZelDiscoveryTreeView::showModel(const QString& tlType)
{
    ZelDiscoverTreeModel* model = findModel(tlType);
    if (!model)
        return;
    setModel(model);
    fitAndExpand();
}

void ZelDiscoveryTreeView::setCameras(const QString& tlType, const ZelCameraInfoList& cameras)
{
    if (ZelDiscoverTreeModel* model = findModel(tlType)) {
        model->clear();
        model->addCameras(cameras);
    }
    fitAndExpand();
}

bool ZelDiscoveryTreeView::isEmpty(const QString& tlType) const
{
    const ZelDiscoverTreeModel* model = findModel(tlType);
    return !model || model->rowCount() == 0;
}

void ZelDiscoveryTreeView::removeCamera(const QString& tlType, const QString& cameraKey)
{
    if (ZelDiscoverTreeModel* model = findModel(tlType))
        model->removeCamera(cameraKey);
}

void ZelDiscoveryTreeView::fitAndExpand()
{
    if (model())
        resizeColumnToContents(0);
    expandAll();
}
