#include "ZelSlider.h"

#include <algorithm>
#include <climits>
#include <cmath>

ZelSlider::ZelSlider(QWidget* parent)
    : QSlider(Qt::Horizontal, parent)
{
    connect(this, SIGNAL(valueChanged(int)), this, SLOT(_onSliderValueChanged(int)));
}

void ZelSlider::setMapping(int lowValue, int highValue, int lowPosition, int highPosition)
{
    m_lowValue = lowValue;
    m_highValue = highValue;
    m_lowPosition = lowPosition;
    m_highPosition = highPosition;
}

bool ZelSlider::isLogarithmic() const
{
    return m_lowPosition != 0 || m_highPosition != 0;
}

int ZelSlider::roundToInt(double v)
{
    if (std::isnan(v))
        return 0;
    const double r = std::round(v);
    if (r >= double(INT_MAX))
        return INT_MAX;
    if (r <= double(INT_MIN))
        return INT_MIN;
    return int(r);
}

double ZelSlider::logShift() const
{
    const double low = std::min(m_lowValue, m_highValue);
    return low < 1.0 ? 1.0 - low : 0.0;
}

int ZelSlider::valueAt(int position) const
{
    if (!isLogarithmic())
        return position;
    if (m_highPosition == m_lowPosition || m_highValue == m_lowValue)
        return m_lowValue;
    const double shift = logShift();
    const double logLow = std::log(m_lowValue + shift);
    const double logHigh = std::log(m_highValue + shift);
    const double t = (double(position) - m_lowPosition) / (double(m_highPosition) - m_lowPosition);
    return roundToInt(std::exp(logLow + t * (logHigh - logLow)) - shift);
}

int ZelSlider::positionOf(double value) const
{
    if (!isLogarithmic())
        return roundToInt(value);
    if (m_highPosition == m_lowPosition || m_highValue == m_lowValue)
        return m_lowPosition;
    const double shift = logShift();
    const double lo = std::min(m_lowValue, m_highValue);
    const double hi = std::max(m_lowValue, m_highValue);
    const double v = std::clamp(std::isnan(value) ? lo : value, lo, hi);
    const double logLow = std::log(m_lowValue + shift);
    const double logHigh = std::log(m_highValue + shift);
    const double perPosition = (logHigh - logLow) / (double(m_highPosition) - m_lowPosition);
    return roundToInt((std::log(v + shift) - logLow) / perPosition + m_lowPosition);
}

void ZelSlider::_onSliderValueChanged(int position)
{
    emit ValueChanged(valueAt(position));
}
