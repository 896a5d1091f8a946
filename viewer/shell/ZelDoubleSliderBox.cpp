#include "ZelDoubleSliderBox.h"

#include "ZelDoubleSpinBox.h"
#include "ZelSlider.h"
#include "ZelSliderBox.h"

#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

namespace {
// Largest factor that still leaves a usable slider range for values near 1.
constexpr double kMaxScaleFactor = 1e6;
}

ZelDoubleSliderBox::ZelDoubleSliderBox(QWidget* parent, bool sliderFirst)
    : QWidget(parent)
    , m_spinBox(new ZelDoubleSpinBox(this))
    , m_slider(new ZelSlider(this))
{
    ZelSliderBox::arrange(this, m_spinBox, m_slider, sliderFirst);
    setSingleStep(1.0);
    connect(m_slider, SIGNAL(ValueChanged(int)), this, SLOT(_onSliderValueChanged(int)));
    connect(m_spinBox, SIGNAL(valueChanged(double)), this, SLOT(_onDoubleSpinBoxChanged(double)));
}

void ZelDoubleSliderBox::setSingleStep(double step)
{
    if (!(step > 0) || !std::isfinite(step))
        step = 0.01;
    // A whole factor of at least 1: a step above 2 would round 1 / step to 0
    // and divide by it, a tiny step would overflow the slider's range.
    m_scaleFactor = std::clamp(std::round(1.0 / step), 1.0, kMaxScaleFactor);
    m_spinBox->setSingleStep(step);
    m_slider->setSingleStep(1);
}

void ZelDoubleSliderBox::setRange(double min, double max, double sliderMin, double sliderMax)
{
    const int a = ZelSlider::roundToInt(min * m_scaleFactor);
    const int b = ZelSlider::roundToInt(max * m_scaleFactor);
    const int pLow = ZelSlider::roundToInt(std::trunc(sliderMin));
    const int pHigh = ZelSlider::roundToInt(std::trunc(sliderMax));
    if (pLow != 0 || pHigh != 0)
        m_slider->setRange(pLow, pHigh);
    else
        m_slider->setRange(a, b);
    m_slider->setMapping(a, b, pLow, pHigh);
    m_spinBox->setRange(min, max);
    // A new range can move the slider without the spin box changing: it
    // follows the spin box again, without a signal to the outside.
    placeSlider(m_spinBox->value());
}

void ZelDoubleSliderBox::placeSlider(double value)
{
    const QSignalBlocker block(m_slider);
    m_slider->setValue(m_slider->positionOf(value * m_scaleFactor));
}

void ZelDoubleSliderBox::setSuffix(const QString& suffix)
{
    m_spinBox->setSuffix(suffix);
}

void ZelDoubleSliderBox::setValue(double value)
{
    m_spinBox->setValue(value);
}

double ZelDoubleSliderBox::value() const
{
    return m_spinBox->value();
}

void ZelDoubleSliderBox::setKeyboardTracking(bool tracking)
{
    m_spinBox->setKeyboardTracking(tracking);
}

bool ZelDoubleSliderBox::eventFilter(QObject* watched, QEvent* event)
{
    if (ZelSliderBox::focusLeft(event, m_focusOut, m_spinBox, m_slider))
        emit focusOut();
    return QWidget::eventFilter(watched, event);
}

void ZelDoubleSliderBox::_onSliderValueChanged(int value)
{
    const int snapped = m_slider->isLogarithmic()
        ? value
        : ZelSliderBox::snap(value, m_slider->singleStep(), m_slider->minimum(), m_slider->maximum());
    m_spinBox->setValue(snapped / m_scaleFactor);
}

void ZelDoubleSliderBox::_onDoubleSpinBoxChanged(double value)
{
    placeSlider(value);
    emit valueChanged(value);
}
