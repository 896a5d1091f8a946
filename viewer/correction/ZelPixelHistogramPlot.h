#ifndef ZELPIXELHISTOGRAMPLOT_H
#define ZELPIXELHISTOGRAMPLOT_H

#include <qcustomplot.h>

#include <QPointer>

class QAbstractItemModel;

// One curve per channel of the histogram model it draws.
class ZelPixelHistogramPlot : public QCustomPlot
{
    Q_OBJECT

public:
    explicit ZelPixelHistogramPlot(QWidget* parent = nullptr);

    // The model is not owned.
    void setModel(QAbstractItemModel* model);

signals:
    void pixelStatChanged(int color, double average, int modalPixel, int modalPixelCount);

public slots:
    void onDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QVector<int>& roles);
    void onHeaderDataChanged(Qt::Orientation orientation, int first, int last);

private slots:
    void _onXAxisRangeChanged(const QCPRange& range);

private:
    QPointer<QAbstractItemModel> model;
    // Replots wait for the event loop, so a burst of counts draws once.
    void queueReplot();
};

#endif // ZELPIXELHISTOGRAMPLOT_H
