#ifndef ZELLINESTATUSPLOT_H
#define ZELLINESTATUSPLOT_H

#include <QElapsedTimer>
#include <QLabel>
#include <QStatusBar>
#include <QString>

#include <qcustomplot.h>

// Step graphs of up to eight digital lines over elapsed time, one lane per
// graph. Lane i is low at 2 + 5 i and high 4 above; its line name is the
// tick label at its baseline. Resting the mouse on a level line reports the
// line, its state and the moment through lineHovered.
class ZelLineStatusPlot : public QCustomPlot
{
    Q_OBJECT

public:
    static constexpr int laneCount = 8;

    explicit ZelLineStatusPlot(QWidget* parent = nullptr);

    // A sample for lane index at the clock's time; false for an index
    // outside 0..7.
    bool addPoint(int index, bool high);
    // Names the lane and clears its points.
    bool setGraphName(int index, const QString& name);
    void setGraphVisible(int index, bool visible);
    // Clears every lane; the next sample restarts the clock.
    void reset();
    void setRangeDragEnabled(bool enabled);
    void reportLineStatus(int x, int y);

    // The lane's baseline, or -1 for an index outside 0..7.
    static int baseline(int index);

signals:
    void lineHovered(QString lineId, QString state, QString timeStamp);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void fitTimeTicks();

    QSharedPointer<QCPAxisTickerText> m_laneTicker;
    QElapsedTimer m_clock;
    bool m_restart = true;
};

// Three labels that show one hover report: line, time and state.
class ZelLineStatusBar : public QStatusBar
{
    Q_OBJECT

public:
    explicit ZelLineStatusBar(QWidget* parent = nullptr);

    void setLineStatus(QString lineId, QString state, QString timeStamp);

    QLabel* lineLabel() const { return m_lineLabel; }
    QLabel* timeLabel() const { return m_timeLabel; }
    QLabel* statusLabel() const { return m_statusLabel; }

private:
    QLabel* m_lineLabel;
    QLabel* m_timeLabel;
    QLabel* m_statusLabel;
};

#endif // ZELLINESTATUSPLOT_H
