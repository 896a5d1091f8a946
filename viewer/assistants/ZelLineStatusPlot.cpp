#include "ZelLineStatusPlot.h"

#include <QApplication>
#include <QCursor>
#include <QDateTime>

#include <cmath>

namespace {

QPen basePen(const QColor& color)
{
    return QPen(QBrush(color), 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

void styleAxisLabel(QCPAxis* axis, const QString& label)
{
    axis->setLabel(label);
    axis->setLabelColor(Qt::white);
    axis->setLabelFont(QFont(QStringLiteral("sans"), 12, QFont::Bold));
}

} // namespace

int ZelLineStatusPlot::baseline(int index)
{
    return index >= 0 && index < laneCount ? 2 + 5 * index : -1;
}

ZelLineStatusPlot::ZelLineStatusPlot(QWidget* parent) : QCustomPlot(parent)
{
    setBackground(QBrush(Qt::black));
    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);

    xAxis->setVisible(true);
    xAxis->setBasePen(basePen(Qt::white));
    xAxis->setTickPen(basePen(Qt::green));
    xAxis->setTickLength(3, 5);
    xAxis->setSubTickPen(basePen(Qt::green));
    xAxis->setSubTicks(true);
    xAxis->setSubTickLength(2, 2);
    xAxis->setTickLabelColor(Qt::green);
    styleAxisLabel(xAxis, QStringLiteral("Elapsed Time"));

    yAxis->setVisible(true);
    yAxis->setBasePen(basePen(Qt::white));
    yAxis->setTickPen(basePen(Qt::green));
    yAxis->setTickLength(0, 5);
    yAxis->setSubTicks(false);
    yAxis->grid()->setVisible(true);
    yAxis->setTickLabelColor(Qt::white);
    yAxis->setTickLabelFont(QFont(QApplication::font().family(), 10));
    styleAxisLabel(yAxis, QStringLiteral("Line Status"));

    for (QCPAxis* frame : {xAxis2, yAxis2}) {
        frame->setVisible(true);
        frame->setBasePen(basePen(Qt::white));
        frame->setTicks(false);
        frame->setTickLabels(false);
    }

    m_laneTicker.reset(new QCPAxisTickerText);
    for (int i = 0; i < laneCount; ++i)
        m_laneTicker->addTick(baseline(i), QString());
    yAxis->setTicker(m_laneTicker);
    yAxis->setRange(0, 42);

    QSharedPointer<QCPAxisTickerTime> timeTicker(new QCPAxisTickerTime);
    timeTicker->setTimeFormat(QStringLiteral("%h:%m:%s.%z"));
    timeTicker->setTickCount(6);
    xAxis->setTicker(timeTicker);
    xAxis->setRange(-60, 0);
    connect(this, &QCustomPlot::beforeReplot, this, &ZelLineStatusPlot::fitTimeTicks);

    for (int i = 0; i < laneCount; ++i) {
        QCPGraph* graph = addGraph(xAxis, yAxis);
        graph->setPen(basePen(Qt::green));
        graph->setLineStyle(QCPGraph::lsStepLeft);
    }

    axisRect()->setRangeDrag(Qt::Horizontal);
    axisRect()->setRangeZoom(Qt::Horizontal);
    axisRect()->setRangeZoomFactor(double(0.1f));
}

void ZelLineStatusPlot::fitTimeTicks()
{
    // Six time labels where they fit; fewer on a narrow plot, so that they
    // never run into each other. The ticker may round the step down to a
    // nicer one, which gives up to a third more labels: hence 1.5 widths
    // per label.
    const int label = QFontMetrics(xAxis->tickLabelFont()).horizontalAdvance(QStringLiteral("-00:00:00.000"));
    // The viewport is already the new one; the margins are the last layout's.
    const QMargins margins = axisRect()->margins();
    const int width = viewport().width() - margins.left() - margins.right();
    const int fitting = int(width / (1.5 * qMax(1, label)));
    xAxis->ticker()->setTickCount(qBound(1, fitting, 6));
}

bool ZelLineStatusPlot::addPoint(int index, bool high)
{
    if (m_restart) {
        m_clock.start();
        m_restart = false;
    }
    const int b = baseline(index);
    if (b < 0)
        return false;
    const double key = double(m_clock.elapsed()) / 1000.0;
    graph(index)->addData(key, high ? b + 4 : b);
    const double span = xAxis->range().size();
    xAxis->setRange(key - span, key);
    replot(QCustomPlot::rpRefreshHint);
    const QPoint cursor = mapFromGlobal(QCursor::pos());
    if (rect().contains(cursor))
        reportLineStatus(cursor.x(), cursor.y());
    return true;
}

bool ZelLineStatusPlot::setGraphName(int index, const QString& name)
{
    const int b = baseline(index);
    if (b < 0 || !m_laneTicker->ticks().contains(b))
        return false;
    m_laneTicker->addTick(b, name);
    graph(index)->data()->clear();
    replot(QCustomPlot::rpRefreshHint);
    return true;
}

void ZelLineStatusPlot::setGraphVisible(int index, bool visible)
{
    if (baseline(index) < 0)
        return;
    graph(index)->data()->clear();
    graph(index)->setVisible(visible);
    replot(QCustomPlot::rpRefreshHint);
}

void ZelLineStatusPlot::reset()
{
    m_restart = true;
    for (int i = 0; i < graphCount(); ++i)
        graph(i)->data()->clear();
    const double span = xAxis->range().size();
    xAxis->setRange(-span, 0);
    setRangeDragEnabled(true);
    replot(QCustomPlot::rpRefreshHint);
}

void ZelLineStatusPlot::setRangeDragEnabled(bool enabled)
{
    setInteractions(enabled ? QCP::iRangeDrag | QCP::iRangeZoom : QCP::Interactions(QCP::iRangeZoom));
}

void ZelLineStatusPlot::reportLineStatus(int x, int y)
{
    const double time = xAxis->pixelToCoord(x);
    if (time < 0)
        return;
    const double level = std::trunc(yAxis->pixelToCoord(y));
    const QMap<double, QString> ticks = m_laneTicker->ticks();
    for (int i = 0; i < graphCount(); ++i) {
        const QSharedPointer<QCPGraphDataContainer> data = graph(i)->data();
        if (data->isEmpty())
            continue;
        // The point that holds at that time: the last one not after it.
        auto point = data->findEnd(time, false);
        if (point != data->constBegin())
            --point;
        if (point->value != level)
            continue;
        const int b = 2 + 5 * i;
        if (!ticks.contains(b))
            continue;
        const QString state = point->value == b ? QStringLiteral("OFF")
                              : point->value == b + 4 ? QStringLiteral("ON")
                                                       : QString();
        const QString stamp = QDateTime::fromMSecsSinceEpoch(qint64(time * 1000), Qt::UTC)
                                  .toString(QStringLiteral("hh:mm:ss.zzz"));
        emit lineHovered(ticks.value(b), state, stamp);
    }
}

void ZelLineStatusPlot::mouseMoveEvent(QMouseEvent* event)
{
    reportLineStatus(event->pos().x(), event->pos().y());
    QCustomPlot::mouseMoveEvent(event);
}

void ZelLineStatusPlot::wheelEvent(QWheelEvent* event)
{
    const double span = std::round(xAxis->range().size());
    const int delta = event->angleDelta().y();
    // Zooming in stops below half a second, zooming out at a minute.
    if (span <= double(0.6f) && delta > 0)
        return;
    if (span >= 60 && delta < 0)
        return;
    QCustomPlot::wheelEvent(event);
}

ZelLineStatusBar::ZelLineStatusBar(QWidget* parent)
    : QStatusBar(parent)
    , m_lineLabel(new QLabel(QStringLiteral("Line: ")))
    , m_timeLabel(new QLabel(QStringLiteral("Time: ")))
    , m_statusLabel(new QLabel(QStringLiteral("Status: ")))
{
    const struct {
        QLabel* label;
        int width;
    } labels[] = {{m_lineLabel, 180}, {m_timeLabel, 200}, {m_statusLabel, 120}};
    for (const auto& l : labels) {
        l.label->setFixedSize(l.width, 20);
        l.label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    setLayoutDirection(Qt::RightToLeft);
    setSizeGripEnabled(false);
    // Mirrored by the direction: line, time, status from the left edge.
    addPermanentWidget(m_statusLabel);
    addPermanentWidget(m_timeLabel);
    addPermanentWidget(m_lineLabel);
}

void ZelLineStatusBar::setLineStatus(QString lineId, QString state, QString timeStamp)
{
    m_lineLabel->setText(QStringLiteral("Line: ") + lineId);
    m_timeLabel->setText(QStringLiteral("Time: ") + timeStamp);
    m_statusLabel->setText(QStringLiteral("Status: ") + state);
}
