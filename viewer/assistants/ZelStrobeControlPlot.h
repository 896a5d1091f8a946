#ifndef ZELSTROBECONTROLPLOT_H
#define ZELSTROBECONTROLPLOT_H

#include <QColor>
#include <QList>
#include <QMetaType>
#include <QString>

#include <qcustomplot.h>

// One channel of the strobe timing diagram; times in microseconds.
struct ZelStrobeData {
    QString name;
    double durationMax = 0;
    double delayMax = 0;
    double delay = 0;
    double duration = 0;
    bool inverted = false;
};
Q_DECLARE_METATYPE(ZelStrobeData*)

// A timing diagram of up to five channels (the exposure and the strobe
// outputs), each a rectangular pulse on a lane of its own, addressed by
// name ignoring case. The time axis stays inside the longest cycle; a
// selected lane follows the mouse vertically while the button is held.
class ZelStrobeControlPlot : public QCustomPlot
{
    Q_OBJECT

public:
    static constexpr int maxChannels = 5;

    explicit ZelStrobeControlPlot(QWidget* parent = nullptr);
    ~ZelStrobeControlPlot() override;

    bool addChannel(const QString& name);
    void setDurationMax(const QString& name, double max);
    void setDelayMax(const QString& name, double max);
    void setDuration(const QString& name, double value);
    void setDelay(const QString& name, double value);
    void setPolarity(const QString& name, bool positive);
    void setChannelColor(const QString& name, const QColor& color);
    void setChannelLineStyle(const QString& name, int penStyle);
    void setTimeRange(double lower, double upper);

    // The upper end of the allowed time window.
    double timeLimit() const { return m_timeLimit; }
    // The channel's graph and record; null for an unknown name.
    QCPGraph* channelGraph(const QString& name) const;
    ZelStrobeData* channelData(const QString& name) const;

signals:
    void lineHovered(QString lineId, QString state, QString timeStamp);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private slots:
    void _reportLineStatus(int cursorX, int cursorY);
    void _onXAxisRangeChanged(QCPRange range);

private:
    static ZelStrobeData* dataOf(const QCPGraph* graph);
    void rebuild(QCPGraph* graph);
    bool anySelected() const;
    // Changes the channel's record and rebuilds its graph.
    void change(const QString& name, const std::function<void(ZelStrobeData&)>& edit);

    QList<ZelStrobeData*> m_records;
    double m_timeLimit = 0;
    bool m_moving = false;
};

#endif // ZELSTROBECONTROLPLOT_H
