#include "ZelPixelHistogramPlot.h"

#include "ZelPixelHistogramModel.h"
#include "ZelUtil.h"

ZelPixelHistogramPlot::ZelPixelHistogramPlot(QWidget* parent)
    : QCustomPlot(parent)
{
    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables);
    axisRect()->setRangeDrag(Qt::Horizontal);
    axisRect()->setRangeZoom(Qt::Horizontal);
    yAxis->setTicks(false);
    connect(xAxis, QOverload<const QCPRange&>::of(&QCPAxis::rangeChanged), this,
            &ZelPixelHistogramPlot::_onXAxisRangeChanged);
}

void ZelPixelHistogramPlot::setModel(QAbstractItemModel* newModel)
{
    if (model)
        disconnect(model, nullptr, this, nullptr);
    model = newModel;
    if (!model)
        return;
    connect(model, &QAbstractItemModel::dataChanged, this, &ZelPixelHistogramPlot::onDataChanged);
    connect(model, &QAbstractItemModel::headerDataChanged, this, &ZelPixelHistogramPlot::onHeaderDataChanged);
}

void ZelPixelHistogramPlot::queueReplot()
{
    replot(QCustomPlot::rpQueuedReplot);
}

void ZelPixelHistogramPlot::onHeaderDataChanged(Qt::Orientation, int, int)
{
    if (!model)
        return;
    const quint64 format =
        model->headerData(0, Qt::Horizontal, ZelPixelHistogramModel::PixelFormatRole).toULongLong();
    clearGraphs();
    QVector<QColor> colours;
    if (format != 0 && ZelUtil::IsColorFormat(format))
        colours = {Qt::red, Qt::green, Qt::blue};
    else if (format != 0)
        colours = {Qt::black};
    for (const QColor& colour : colours) {
        QCPGraph* graph = addGraph();
        graph->setPen(QPen(colour));
        graph->setLineStyle(QCPGraph::lsLine);
        graph->setVisible(true);
        QPen selected(colour, 3, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
        graph->selectionDecorator()->setPen(selected);
    }
    const int rows = model->rowCount();
    QSharedPointer<QCPAxisTickerFixed> ticker(new QCPAxisTickerFixed);
    ticker->setTickStep(qMax(1, rows / 8));
    ticker->setScaleStrategy(QCPAxisTickerFixed::ssNone);
    xAxis->setTicker(ticker);
    xAxis->setRange(0, qMax(0, rows - 1));
    queueReplot();
}

void ZelPixelHistogramPlot::onDataChanged(const QModelIndex&, const QModelIndex&, const QVector<int>&)
{
    if (!model)
        return;
    auto* histogram = qobject_cast<ZelPixelHistogramModel*>(model.data());
    const int rows = model->rowCount();
    const int columns = model->columnCount();
    qulonglong highest = 0;
    QVector<double> keys(rows);
    for (int i = 0; i < rows; ++i)
        keys[i] = i;
    for (int c = 1; c < columns; ++c) {
        QVector<double> values(rows);
        qulonglong modeCount = 0;
        int modeValue = 0;
        long double weighted = 0;
        long double total = 0;
        for (int i = 0; i < rows; ++i) {
            const qulonglong n = histogram ? histogram->count(c - 1, i)
                                           : model->data(model->index(i, c)).toULongLong();
            values[i] = double(n);
            if (n > modeCount) {
                modeCount = n;
                modeValue = i;
            }
            weighted += (long double)i * n;
            total += n;
        }
        if (QCPGraph* g = graph(c - 1))
            g->setData(keys, values, true);
        highest = qMax(highest, modeCount);
        emit pixelStatChanged(c, total > 0 ? double(weighted / total) : 0.0, modeValue, int(qMin<qulonglong>(modeCount, INT_MAX)));
    }
    yAxis->setRange(0, double(highest));
    queueReplot();
}

void ZelPixelHistogramPlot::_onXAxisRangeChanged(const QCPRange& range)
{
    const int rows = model ? model->rowCount() : 0;
    ZelUtil::UpdateAxisRange(xAxis, range, QCPRange(0, rows * 1.125 - 1));
}
