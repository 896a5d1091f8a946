#include "ZelLUTView.h"

#include "ZelAddPointDlg.h"
#include "ZelLUTModel.h"
#include "ZelUtil.h"

#include <qcustomplot.h>

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QString manualTitle = QStringLiteral("Look-up Table Values (Manual)");
const QString kneeTitle = QStringLiteral("Look-up Table Values (Knee)");
// How far (in entries) a press may lie from the selected knee to drag it.
constexpr double kneeGrip = 15.0;

QPen curvePen()
{
    return QPen(QBrush(Qt::black), 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

} // namespace

ZelLUTView::ZelLUTView(QWidget* parent)
    : QAbstractItemView(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    m_plot = new QCustomPlot(this);
    m_plot->setObjectName(QStringLiteral("plot"));
    layout->addWidget(m_plot);

    m_plot->axisRect()->setupFullAxesBox(false);
    m_plot->xAxis->ticker()->setTickCount(16);
    m_plot->yAxis->ticker()->setTickCount(10);
    for (QCPAxis* axis : {m_plot->xAxis, m_plot->yAxis}) {
        axis->setTickLength(4, 4);
        axis->setSubTickLength(3, 0);
    }
    m_plot->plotLayout()->insertRow(0);
    m_plot->plotLayout()->addElement(0, 0, new QCPTextElement(m_plot, QString(), QFont(QStringLiteral("sans"), 15, 75)));

    m_valueGraph = m_plot->addGraph();
    m_valueGraph->setLineStyle(QCPGraph::lsLine);
    m_valueGraph->setPen(curvePen());
    m_valueGraph->setVisible(true);
    m_kneeGraph = m_plot->addGraph();
    m_kneeGraph->setLineStyle(QCPGraph::lsLine);
    m_kneeGraph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, 6));
    m_kneeGraph->setPen(curvePen());
    m_kneeGraph->setSelectable(QCP::stSingleData);
    m_kneeGraph->setVisible(false);

    // Keys reach the plot only when it can take the focus (Delete, Ctrl).
    m_plot->setFocusPolicy(Qt::ClickFocus);
    m_plot->installEventFilter(this);
    m_plot->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_plot, &QWidget::customContextMenuRequested, this, &ZelLUTView::_onContextMenuRequested);
    connect(m_plot->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            &ZelLUTView::_onXAxisRangeChanged);
    connect(m_plot->yAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            &ZelLUTView::_onYAxisRangeChanged);
}

ZelLUTView::~ZelLUTView() = default;

QRect ZelLUTView::visualRect(const QModelIndex&) const { return QRect(); }
void ZelLUTView::scrollTo(const QModelIndex&, ScrollHint) {}
QModelIndex ZelLUTView::indexAt(const QPoint&) const { return QModelIndex(); }
QModelIndex ZelLUTView::moveCursor(CursorAction, Qt::KeyboardModifiers) { return QModelIndex(); }
int ZelLUTView::horizontalOffset() const { return 0; }
int ZelLUTView::verticalOffset() const { return 0; }
bool ZelLUTView::isIndexHidden(const QModelIndex&) const { return false; }
void ZelLUTView::setSelection(const QRect&, QItemSelectionModel::SelectionFlags) {}
QRegion ZelLUTView::visualRegionForSelection(const QItemSelection&) const { return QRegion(); }

double ZelLUTView::maxIndex() const
{
    return model() ? model()->headerData(0, Qt::Vertical, ZelLUTModel::LUTMaxIndexRole).toDouble() : 0.0;
}

double ZelLUTView::maxValue() const
{
    return model() ? model()->headerData(0, Qt::Vertical, ZelLUTModel::LUTMaxValueRole).toDouble() : 0.0;
}

QString ZelLUTView::title() const
{
    auto* element = qobject_cast<QCPTextElement*>(m_plot->plotLayout()->element(0, 0));
    return element ? element->text() : QString();
}

void ZelLUTView::setTitle(const QString& text)
{
    if (auto* element = qobject_cast<QCPTextElement*>(m_plot->plotLayout()->element(0, 0)))
        element->setText(text);
}

void ZelLUTView::replot()
{
    m_plot->replot(QCustomPlot::rpRefreshHint);
}

void ZelLUTView::setEntry(int row, double value)
{
    model()->setData(model()->index(row, 0), value, Qt::EditRole);
}

void ZelLUTView::announce(int first, int last)
{
    emit model()->dataChanged(model()->index(first, 0), model()->index(last, 0));
}

void ZelLUTView::setModel(QAbstractItemModel* newModel)
{
    if (newModel == model())
        return;
    m_valueGraph->data()->clear();
    m_kneeGraph->data()->clear();
    QAbstractItemView::setModel(newModel);
    if (!newModel)
        return;
    m_plot->xAxis->setLabel(newModel->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString());
    m_plot->yAxis->setLabel(newModel->headerData(0, Qt::Vertical, Qt::DisplayRole).toString());
    const QVariant font = newModel->headerData(0, Qt::Horizontal, Qt::FontRole);
    const QFont labelFont = font.canConvert<QFont>() ? font.value<QFont>() : QFont();
    m_plot->xAxis->setLabelFont(labelFont);
    m_plot->yAxis->setLabelFont(labelFont);

    const int n = newModel->rowCount();
    QVector<double> keys(n);
    QVector<double> values(n);
    for (int i = 0; i < n; ++i) {
        keys[i] = i;
        values[i] = newModel->data(newModel->index(i, 0)).toDouble();
    }
    m_valueGraph->setData(keys, values, true);
    m_valueGraph->rescaleAxes(true);
    m_kneeGraph->addData(0, 0);
    m_kneeGraph->addData(maxIndex(), maxValue());
    if (m_mode != 0) {
        setMode(0);
    } else {
        replot();
    }
}

void ZelLUTView::setMode(int mode)
{
    if (mode == m_mode)
        return;
    if (mode == 0) {
        setTitle(manualTitle);
        m_plot->setInteractions(QCP::iRangeDrag);
        m_valueGraph->setVisible(true);
        m_kneeGraph->setVisible(false);
    } else {
        setTitle(kneeTitle);
        m_plot->setInteractions(QCP::iRangeDrag | QCP::iSelectPlottables);
        m_valueGraph->setVisible(false);
        m_kneeGraph->setVisible(true);
    }
    replot();
    m_mode = mode;
}

void ZelLUTView::applyGamma(double gamma)
{
    if (m_mode != 0 || !model())
        return;
    const int n = model()->rowCount();
    const double top = maxValue();
    if (n <= 0 || !(top > 0.0))
        return;
    // One level per `step` entries; a table with fewer entries than levels
    // spreads its entries over the whole range instead.
    const qint64 step = qint64(double(n) / top);
    for (int i = 0; i < n; ++i) {
        double level;
        if (step >= 1)
            level = qMin(double(i / step), top);
        else
            level = n > 1 ? double(i) * top / double(n - 1) : 0.0;
        setEntry(i, std::pow(level / top, gamma) * top);
    }
    announce(0, n - 1);
}

void ZelLUTView::invert()
{
    if (m_mode != 0 || !model())
        return;
    model()->setData(QModelIndex(), QVariant(0), ZelLUTModel::LUTInvertRole);
    const int n = model()->rowCount();
    if (n > 0)
        announce(0, n - 1);
}

QVector<double> ZelLUTView::values() const
{
    QVector<double> result;
    if (!model())
        return result;
    const int n = model()->rowCount();
    result.reserve(n);
    for (int i = 0; i < n; ++i)
        result.append(model()->data(model()->index(i, 0)).toDouble());
    return result;
}

void ZelLUTView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QVector<int>& roles)
{
    QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
    if (!model())
        return;
    QSharedPointer<QCPGraphDataContainer> data = m_valueGraph->data();
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
        const double value = model()->data(model()->index(row, 0)).toDouble();
        auto found = data->findBegin(row, false);
        if (found != data->constEnd() && found->key == row) {
            (data->begin() + (found - data->constBegin()))->value = value;
        } else {
            data->remove(row);
            m_valueGraph->addData(row, value);
        }
    }
    m_valueGraph->rescaleValueAxis(true, false);
    if (m_valueGraph->visible())
        replot();
}

bool ZelLUTView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_plot)
        return QAbstractItemView::eventFilter(watched, event);
    bool delegate = true;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        _plotMousePressEvent(static_cast<QMouseEvent*>(event), delegate);
        break;
    case QEvent::MouseMove:
        _plotMouseMoveEvent(static_cast<QMouseEvent*>(event), delegate);
        break;
    case QEvent::MouseButtonRelease:
        _plotMouseReleaseEvent(static_cast<QMouseEvent*>(event), delegate);
        break;
    case QEvent::KeyPress:
        _plotKeyPressEvent(static_cast<QKeyEvent*>(event), delegate);
        break;
    case QEvent::KeyRelease:
        _plotKeyReleaseEvent(static_cast<QKeyEvent*>(event), delegate);
        break;
    default:
        break;
    }
    if (!delegate)
        return true;
    return QAbstractItemView::eventFilter(watched, event);
}

void ZelLUTView::_plotMousePressEvent(QMouseEvent* event, bool& delegate)
{
    Q_UNUSED(delegate)
    if (event->button() != Qt::LeftButton || !model())
        return;
    const bool control = event->modifiers().testFlag(Qt::ControlModifier);
    const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
    const double top = maxValue();
    const double last = maxIndex();
    if (m_mode == 0) {
        if (control) {
            const double key = qBound(0.0, m_valueGraph->keyAxis()->pixelToCoord(event->pos().x()), last);
            const double value = qBound(0.0, m_valueGraph->valueAxis()->pixelToCoord(event->pos().y()), top);
            const int row = int(std::trunc(key));
            setEntry(row, value);
            announce(row, row);
        } else if (shift) {
            m_drawing = true;
            m_lastDrawPos = event->pos();
        }
        return;
    }
    if (m_mode != 1)
        return;
    if (control) {
        const double key = qBound(0.0, std::round(m_kneeGraph->keyAxis()->pixelToCoord(event->pos().x())), last);
        const double value = qBound(0.0, std::round(m_kneeGraph->valueAxis()->pixelToCoord(event->pos().y())), top);
        addKneePoint(int(key), int(value));
    }
    m_selectedKey = 0.0;
    double key = 0.0;
    if (_selectionContained(event->pos(), key)) {
        m_kneeDragging = true;
        m_selectedKey = key;
    }
}

void ZelLUTView::_plotMouseReleaseEvent(QMouseEvent* event, bool& delegate)
{
    Q_UNUSED(event)
    Q_UNUSED(delegate)
    m_drawing = false;
    if (m_kneeDragging) {
        updateModelFromKnees();
        m_kneeDragging = false;
    }
}

void ZelLUTView::_plotMouseMoveEvent(QMouseEvent* event, bool& delegate)
{
    if (!model())
        return;
    const double top = maxValue();
    if (m_mode == 0 && m_drawing && event->modifiers().testFlag(Qt::ShiftModifier)) {
        QSharedPointer<QCPGraphDataContainer> data = m_valueGraph->data();
        const double k1 = m_valueGraph->keyAxis()->pixelToCoord(event->pos().x());
        const double k2 = m_valueGraph->keyAxis()->pixelToCoord(m_lastDrawPos.x());
        const double value = qBound(0.0, m_valueGraph->valueAxis()->pixelToCoord(event->pos().y()), top);
        const int n = model()->rowCount();
        int first = -1;
        int lastRow = -1;
        // One entry beyond the stroke on each side, so that no entry is skipped.
        for (auto it = data->findBegin(qMin(k1, k2), true); it != data->findEnd(qMax(k1, k2), true); ++it) {
            const int row = int(std::trunc(it->key));
            if (row < 0 || row >= n)
                continue;
            setEntry(row, value);
            first = first < 0 ? row : qMin(first, row);
            lastRow = qMax(lastRow, row);
        }
        if (first >= 0)
            announce(first, lastRow);
        m_lastDrawPos = event->pos();
        delegate = false;
        return;
    }
    if (m_mode == 1 && m_kneeDragging) {
        QSharedPointer<QCPGraphDataContainer> data = m_kneeGraph->data();
        const auto found = data->findBegin(m_selectedKey, false);
        const int i = int(found - data->constBegin());
        if (found != data->constEnd() && found->key == m_selectedKey && i > 0 && i < data->size() - 1) {
            const double newKey = m_kneeGraph->keyAxis()->pixelToCoord(event->pos().x());
            const double newValue = qBound(0.0, m_kneeGraph->valueAxis()->pixelToCoord(event->pos().y()), top);
            const double left = data->at(i - 1)->key;
            const double right = data->at(i + 1)->key;
            // Strictly between its neighbours: the knees stay in key order.
            if (newKey < maxIndex() && newKey > left && newKey < right) {
                auto point = data->begin() + i;
                point->key = newKey;
                point->value = newValue;
                m_selectedKey = newKey;
            }
        }
        replot();
        delegate = false;
    }
}

void ZelLUTView::_plotKeyPressEvent(QKeyEvent* event, bool& delegate)
{
    Q_UNUSED(delegate)
    if (m_mode == 1 && event->key() == Qt::Key_Delete)
        removeSelectedKneePoint();
    if (event->key() == Qt::Key_Control)
        m_plot->setInteraction(QCP::iRangeZoom, true);
}

void ZelLUTView::_plotKeyReleaseEvent(QKeyEvent* event, bool& delegate)
{
    Q_UNUSED(delegate)
    if (event->key() == Qt::Key_Control)
        m_plot->setInteraction(QCP::iRangeZoom, false);
}

bool ZelLUTView::_selectionContained(QPoint pos, double& selectedKey)
{
    const QCPDataSelection selection = m_kneeGraph->selection();
    QSharedPointer<QCPGraphDataContainer> data = m_kneeGraph->data();
    if (selection.isEmpty() || data->isEmpty())
        return false;
    const int index = selection.dataRange(0).begin();
    if (index < 0 || index >= data->size())
        return false;
    const double key = data->at(index)->key;
    if (key == data->constBegin()->key || key == (data->constEnd() - 1)->key)
        return false;
    if (std::abs(m_kneeGraph->keyAxis()->pixelToCoord(pos.x()) - key) > kneeGrip)
        return false;
    selectedKey = key;
    return true;
}

void ZelLUTView::addKneePoint(int key, int value)
{
    QSharedPointer<QCPGraphDataContainer> data = m_kneeGraph->data();
    for (auto it = data->constBegin(); it != data->constEnd(); ++it) {
        if (it->key == key && it->value == value)
            return;
    }
    m_kneeGraph->addData(key, value);
    updateModelFromKnees();
    replot();
}

void ZelLUTView::removeSelectedKneePoint()
{
    const QCPDataSelection selection = m_kneeGraph->selection();
    QSharedPointer<QCPGraphDataContainer> data = m_kneeGraph->data();
    if (selection.isEmpty() || data->isEmpty())
        return;
    const int index = selection.dataRange(0).begin();
    if (index <= 0 || index >= data->size() - 1)
        return;
    const double key = data->at(index)->key;
    if (key == data->constBegin()->key || key == (data->constEnd() - 1)->key)
        return;
    data->remove(key);
    m_kneeGraph->setSelection(QCPDataSelection());
    updateModelFromKnees();
    replot();
}

void ZelLUTView::updateModelFromKnees()
{
    if (m_mode != 1 || !model())
        return;
    QSharedPointer<QCPGraphDataContainer> data = m_kneeGraph->data();
    const int n = model()->rowCount();
    const double top = maxValue();
    if (n <= 0 || data->isEmpty())
        return;
    auto entry = [&](double v) { return int(qBound(0.0, std::round(v), top)); };
    for (int i = 0; i + 1 < data->size(); ++i) {
        const double x1 = data->at(i)->key;
        const double y1 = data->at(i)->value;
        const double x2 = data->at(i + 1)->key;
        const double y2 = data->at(i + 1)->value;
        // Two knees at one key make no segment.
        if (!(x2 > x1))
            continue;
        const double slope = (y2 - y1) / (x2 - x1);
        const double offset = y1 - x1 * slope;
        for (qint64 x = qint64(std::trunc(x1)); double(x) < x2; ++x) {
            if (x < 0 || x >= n)
                continue;
            setEntry(int(x), entry(double(x) * slope + offset));
        }
    }
    // The last knee sets the last entry, which no segment reaches.
    const auto last = data->constEnd() - 1;
    const qint64 lastRow = qint64(std::trunc(last->key));
    if (lastRow >= 0 && lastRow < n)
        setEntry(int(lastRow), entry(last->value));
    announce(0, n - 1);
}

void ZelLUTView::_onContextMenuRequested(QPoint pos)
{
    if (m_plot->rect().contains(pos) && m_mode == 1)
        _createContextMenu(pos);
}

void ZelLUTView::_createContextMenu(QPoint pos)
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("Add Point..."), this, &ZelLUTView::_onActionAddPoint);
    QAction* remove = menu->addAction(QStringLiteral("Remove Selected Point"), this, &ZelLUTView::_onActionRemovePoint);
    remove->setEnabled(!m_kneeGraph->selection().isEmpty());
    menu->popup(mapToGlobal(pos));
}

void ZelLUTView::_onActionAddPoint()
{
    if (!model())
        return;
    ZelAddPointDlg dialog(int(maxIndex()), int(maxValue()), nullptr);
    if (dialog.exec() == QDialog::Accepted)
        addKneePoint(dialog.point().x(), dialog.point().y());
}

void ZelLUTView::_onActionRemovePoint()
{
    removeSelectedKneePoint();
}

// The limits hold the whole table, however large its range.
void ZelLUTView::_onXAxisRangeChanged(const QCPRange& range)
{
    ZelUtil::UpdateAxisRange(qobject_cast<QCPAxis*>(sender()), range, QCPRange(-500.0, qMax(5000.0, maxIndex() + 500.0)));
}

void ZelLUTView::_onYAxisRangeChanged(const QCPRange& range)
{
    ZelUtil::UpdateAxisRange(qobject_cast<QCPAxis*>(sender()), range, QCPRange(-100.0, qMax(300.0, maxValue() + 100.0)));
}
