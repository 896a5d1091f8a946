#include "ZelStrobeControlPlot.h"

#include "ZelUtil.h"

#include <algorithm>
#include <cmath>

namespace {

const QCP::Interactions allInteractions =
    QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables | QCP::iSelectLegend;
// Keeps the first edge of a pulse apart from the lane's baseline point.
const double epsilon = double(0.001f);

QPen whitePen()
{
    return QPen(QBrush(Qt::white), 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

const int dataTypeRegistered = qRegisterMetaType<ZelStrobeData*>("PZelStrobeData");

} // namespace

ZelStrobeControlPlot::ZelStrobeControlPlot(QWidget* parent) : QCustomPlot(parent)
{
    Q_UNUSED(dataTypeRegistered)
    setBackground(QBrush(Qt::black));
    setInteractions(allInteractions);

    yAxis->grid()->setVisible(false);
    yAxis->setBasePen(whitePen());
    yAxis->setTicks(false);
    yAxis->setTickLabels(false);
    yAxis->setRange(0, 48);

    xAxis->setBasePen(whitePen());
    xAxis->setTickPen(whitePen());
    xAxis->setTickLength(3, 5);
    xAxis->setSubTickPen(whitePen());
    xAxis->setSubTicks(true);
    xAxis->setSubTickLength(2, 2);
    xAxis->setTickLabelColor(Qt::white);
    xAxis->setLabel(QStringLiteral("Time (us)"));
    xAxis->setLabelColor(Qt::white);
    xAxis->setLabelFont(QFont(QStringLiteral("sans"), 10, QFont::Bold));
    xAxis->setRange(0, 100);
    xAxis->ticker()->setTickCount(10);

    for (QCPAxis* frame : {xAxis2, yAxis2}) {
        frame->setVisible(true);
        frame->setBasePen(whitePen());
        frame->setTicks(false);
        frame->setTickLabels(false);
    }

    axisRect()->setRangeDrag(Qt::Horizontal);
    axisRect()->setRangeZoom(Qt::Horizontal);

    QFont legendFont = font();
    legendFont.setPointSize(9);
    legend->setFont(legendFont);
    legendFont.setBold(true);
    legend->setSelectedFont(legendFont);
    legend->setBrush(QBrush(Qt::black));
    legend->setTextColor(Qt::white);
    legend->setBorderPen(whitePen());
    legend->setSelectedTextColor(Qt::yellow);
    legend->setSelectedIconBorderPen(QPen(Qt::yellow));
    legend->setFillOrder(QCPLayoutGrid::foColumnsFirst, true);
    legend->setVisible(true);
    axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignHCenter);

    connect(xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            &ZelStrobeControlPlot::_onXAxisRangeChanged);
}

ZelStrobeControlPlot::~ZelStrobeControlPlot()
{
    qDeleteAll(m_records);
}

ZelStrobeData* ZelStrobeControlPlot::dataOf(const QCPGraph* graph)
{
    return graph ? graph->property("Data").value<ZelStrobeData*>() : nullptr;
}

QCPGraph* ZelStrobeControlPlot::channelGraph(const QString& name) const
{
    for (int i = 0; i < graphCount(); ++i) {
        if (graph(i)->name().compare(name, Qt::CaseInsensitive) == 0)
            return graph(i);
    }
    return nullptr;
}

ZelStrobeData* ZelStrobeControlPlot::channelData(const QString& name) const
{
    return dataOf(channelGraph(name));
}

bool ZelStrobeControlPlot::addChannel(const QString& name)
{
    if (channelGraph(name) || graphCount() >= maxChannels)
        return false;
    QCPGraph* graph = addGraph(xAxis, yAxis);
    if (!graph)
        return false;
    const int n = graphCount();
    graph->setPen(QPen(QBrush(Qt::green), 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    graph->setLineStyle(QCPGraph::lsStepLeft);
    graph->setName(name);
    auto* record = new ZelStrobeData;
    record->name = name;
    m_records.append(record);
    graph->setProperty("Data", QVariant::fromValue(record));
    graph->addData(0, 41 - 8 * n);
    replot(QCustomPlot::rpRefreshHint);
    return true;
}

void ZelStrobeControlPlot::rebuild(QCPGraph* graph)
{
    const ZelStrobeData* d = dataOf(graph);
    if (!d || graph->data()->isEmpty())
        return;
    const double b = graph->data()->constBegin()->value;
    const double idle = d->inverted ? b + 4 : b;
    const double pulse = d->inverted ? b : b + 4;
    QVector<QCPGraphData> points{{0, b}, {epsilon, idle}};
    if (d->delay > 0)
        points.append({d->delay + epsilon, idle});
    if (d->duration > 0) {
        points.append({d->delay + epsilon, pulse});
        points.append({d->delay + d->duration + epsilon, idle});
    }
    points.append({d->delayMax + d->durationMax, idle});
    // Two points share the pulse's first key: their order is the edge.
    std::stable_sort(points.begin(), points.end(), qcpLessThanSortKey<QCPGraphData>);
    graph->data()->set(points, true);
    replot(QCustomPlot::rpRefreshHint);
}

void ZelStrobeControlPlot::change(const QString& name, const std::function<void(ZelStrobeData&)>& edit)
{
    QCPGraph* graph = channelGraph(name);
    ZelStrobeData* d = dataOf(graph);
    if (!d)
        return;
    edit(*d);
    m_timeLimit = qMax(m_timeLimit, d->durationMax + d->delayMax);
    rebuild(graph);
}

void ZelStrobeControlPlot::setDurationMax(const QString& name, double max)
{
    change(name, [max](ZelStrobeData& d) { d.durationMax = max; });
}

void ZelStrobeControlPlot::setDelayMax(const QString& name, double max)
{
    change(name, [max](ZelStrobeData& d) { d.delayMax = max; });
}

void ZelStrobeControlPlot::setDuration(const QString& name, double value)
{
    change(name, [value](ZelStrobeData& d) {
        if (value <= d.durationMax)
            d.duration = value;
    });
}

void ZelStrobeControlPlot::setDelay(const QString& name, double value)
{
    change(name, [value](ZelStrobeData& d) {
        if (value <= d.delayMax)
            d.delay = value;
    });
}

void ZelStrobeControlPlot::setPolarity(const QString& name, bool positive)
{
    change(name, [positive](ZelStrobeData& d) { d.inverted = !positive; });
}

void ZelStrobeControlPlot::setChannelColor(const QString& name, const QColor& color)
{
    if (QCPGraph* graph = channelGraph(name)) {
        QPen pen = graph->pen();
        pen.setColor(color);
        graph->setPen(pen);
        replot(QCustomPlot::rpRefreshHint);
    }
}

void ZelStrobeControlPlot::setChannelLineStyle(const QString& name, int penStyle)
{
    if (QCPGraph* graph = channelGraph(name)) {
        QPen pen = graph->pen();
        pen.setStyle(Qt::PenStyle(penStyle));
        graph->setPen(pen);
        replot(QCustomPlot::rpRefreshHint);
    }
}

void ZelStrobeControlPlot::setTimeRange(double lower, double upper)
{
    xAxis->setRange(lower, upper);
    replot(QCustomPlot::rpRefreshHint);
}

void ZelStrobeControlPlot::_onXAxisRangeChanged(QCPRange range)
{
    QCPAxis* axis = qobject_cast<QCPAxis*>(sender());
    ZelUtil::UpdateAxisRange(axis ? axis : xAxis, range, QCPRange(0, m_timeLimit));
}

void ZelStrobeControlPlot::_reportLineStatus(int cursorX, int cursorY)
{
    const double t = std::trunc(xAxis->pixelToCoord(cursorX));
    if (t < 0)
        return;
    const double v = std::trunc(yAxis->pixelToCoord(cursorY));
    for (int i = 0; i < graphCount(); ++i) {
        const QSharedPointer<QCPGraphDataContainer> data = graph(i)->data();
        if (data->isEmpty())
            continue;
        auto point = data->findEnd(t, false);
        if (point != data->constBegin())
            --point;
        const double level = std::trunc(point->value);
        if (level != v)
            continue;
        const double base = std::trunc(data->constBegin()->value);
        const QString state = level == base ? QStringLiteral("Off")
                              : level == base + 4 ? QStringLiteral("On")
                                                  : QString();
        if (state.isEmpty())
            continue;
        emit lineHovered(graph(i)->name(), state, QString::number(qint64(t)) + QStringLiteral(" us"));
    }
}

bool ZelStrobeControlPlot::anySelected() const
{
    for (int i = 0; i < graphCount(); ++i) {
        if (graph(i)->selected())
            return true;
    }
    return false;
}

void ZelStrobeControlPlot::mousePressEvent(QMouseEvent* event)
{
    if (anySelected()) {
        m_moving = true;
        // No panning while a lane moves.
        setInteractions(QCP::iRangeZoom | QCP::iSelectPlottables | QCP::iSelectLegend);
    }
    QCustomPlot::mousePressEvent(event);
}

void ZelStrobeControlPlot::mouseMoveEvent(QMouseEvent* event)
{
    if (m_moving) {
        const double b = qBound(1.0, yAxis->pixelToCoord(event->pos().y()), 34.0);
        for (int i = 0; i < graphCount(); ++i) {
            QCPGraph* g = graph(i);
            if (!g->selected())
                continue;
            g->data()->clear();
            g->addData(0, b);
            rebuild(g);
        }
    } else {
        _reportLineStatus(event->pos().x(), event->pos().y());
    }
    QCustomPlot::mouseMoveEvent(event);
}

void ZelStrobeControlPlot::mouseReleaseEvent(QMouseEvent* event)
{
    if (anySelected()) {
        m_moving = false;
        setInteractions(allInteractions);
    }
    QCustomPlot::mouseReleaseEvent(event);
}
