#pragma once

#include <QSlider>

// A horizontal slider whose positions can map logarithmically to values.
// With both mapping positions 0 it is linear: its value is its position.
class ZelSlider : public QSlider
{
    Q_OBJECT

public:
    explicit ZelSlider(QWidget* parent = nullptr);

    void setMapping(int lowValue, int highValue, int lowPosition, int highPosition);
    bool isLogarithmic() const;

    // The value shown at a position, and the position that shows a value
    // (the inverse mapping), both defined for every range.
    int valueAt(int position) const;
    int positionOf(double value) const;

    // A double rounded half away from zero and kept inside the int range.
    static int roundToInt(double v);

signals:
    void ValueChanged(int value);

private slots:
    void _onSliderValueChanged(int position);

private:
    // Shift that makes both ends of the value range at least 1, so that the
    // logarithms exist also for ranges that reach 0 or below.
    double logShift() const;

    int m_lowValue = 0;
    int m_highValue = 0;
    int m_lowPosition = 0;
    int m_highPosition = 0;
};
