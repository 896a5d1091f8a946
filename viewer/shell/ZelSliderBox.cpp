#include "ZelSliderBox.h"

#include "ZelSpinBox.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <climits>

namespace {
// Slider positions for a range wider than int.
constexpr quint64 kWidePositions = 1000000;
}

ZelSliderBox::ZelSliderBox(QWidget* parent, bool sliderFirst)
    : QWidget(parent)
    , m_spinBox(new ZelSpinBox(this))
    , m_slider(new QSlider(Qt::Horizontal, this))
{
    arrange(this, m_spinBox, m_slider, sliderFirst);
    m_spinBox->setSingleStep(1);
    m_slider->setSingleStep(1);
    connect(m_slider, SIGNAL(valueChanged(int)), this, SLOT(_onSliderValueChanged(int)));
    connect(m_spinBox, SIGNAL(valueChanged(qint64)), this, SLOT(_onSpinBoxChanged(qint64)));
}

void ZelSliderBox::arrange(QWidget* box, QWidget* spinBox, QWidget* slider, bool sliderFirst)
{
    box->setAutoFillBackground(true);
    box->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    box->setMinimumSize(0, 22);
    box->setMaximumSize(16777215, 22);
    for (QWidget* child : {spinBox, slider}) {
        child->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        child->setMinimumWidth(60);
        child->setFocusPolicy(Qt::StrongFocus);
        child->installEventFilter(box);
    }
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 2, 0);
    layout->setSpacing(6);
    QWidget* first = sliderFirst ? slider : spinBox;
    QWidget* second = sliderFirst ? spinBox : slider;
    layout->addWidget(first);
    layout->addWidget(second);
    QWidget::setTabOrder(first, second);
    box->setFocusProxy(first);
}

int ZelSliderBox::snap(int v, int step, int min, int max)
{
    if (max < min)
        max = min;
    if (step <= 0)
        return std::clamp(v, min, max);
    // 64-bit, so that ranges near the int limits cannot overflow.
    const qint64 n = (qint64(v) + step / 2 - min) / step;
    const qint64 snapped = n * step + min;
    return int(std::clamp<qint64>(snapped, min, max));
}

bool ZelSliderBox::focusLeft(QEvent* event, bool& armed, const QWidget* spinBox, const QWidget* slider)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Enter commits; the departure that follows it needs no second
        // commit. Any further typing makes the next departure count again.
        armed = key != Qt::Key_Enter && key != Qt::Key_Return;
        return false;
    }
    case QEvent::MouseButtonPress:
        armed = true;
        return false;
    case QEvent::FocusOut: {
        if (spinBox->hasFocus() || slider->hasFocus())
            return false;
        const bool emitIt = armed;
        armed = true;
        return emitIt;
    }
    default:
        return false;
    }
}

bool ZelSliderBox::eventFilter(QObject* watched, QEvent* event)
{
    if (focusLeft(event, m_focusOut, m_spinBox, m_slider))
        emit focusOut();
    return QWidget::eventFilter(watched, event);
}

void ZelSliderBox::setRange(qint64 min, qint64 max)
{
    max = std::max(min, max);
    m_spinBox->setRange(min, max);
    if (min >= INT_MIN && max <= INT_MAX) {
        m_origin = 0;
        m_unit = 1;
        m_slider->setRange(int(min), int(max));
    } else {
        const quint64 span = quint64(max) - quint64(min);
        m_origin = min;
        m_unit = span / kWidePositions + 1;
        // The last position is the maximum itself.
        m_slider->setRange(0, int(span / m_unit + (span % m_unit ? 1 : 0)));
    }
    applySliderStep();
    const QSignalBlocker block(m_slider);
    m_slider->setValue(toPosition(m_spinBox->value()));
}

void ZelSliderBox::setSingleStep(qint64 step)
{
    m_spinBox->setSingleStep(step);
    applySliderStep();
}

void ZelSliderBox::applySliderStep()
{
    const quint64 step = quint64(std::max<qint64>(m_spinBox->singleStep(), 1));
    m_slider->setSingleStep(int(std::min<quint64>(std::max<quint64>(step / m_unit, 1), INT_MAX)));
}

int ZelSliderBox::toPosition(qint64 value) const
{
    if (m_unit == 1 && m_origin == 0)
        return int(value);
    if (value >= m_spinBox->maximum())
        return m_slider->maximum();
    return int((quint64(value) - quint64(m_origin)) / m_unit);
}

qint64 ZelSliderBox::fromPosition(int position) const
{
    if (m_unit == 1 && m_origin == 0)
        return position;
    const quint64 offset = quint64(position) * m_unit;
    const quint64 span = quint64(m_spinBox->maximum()) - quint64(m_origin);
    return qint64(quint64(m_origin) + std::min(offset, span));
}

void ZelSliderBox::setSuffix(const QString& suffix)
{
    m_spinBox->setSuffix(suffix);
}

void ZelSliderBox::setValue(qint64 value)
{
    m_spinBox->setValue(value);
}

qint64 ZelSliderBox::value() const
{
    return m_spinBox->value();
}

void ZelSliderBox::setKeyboardTracking(bool tracking)
{
    m_spinBox->setKeyboardTracking(tracking);
}

void ZelSliderBox::_onSliderValueChanged(int value)
{
    const int position = snap(value, m_slider->singleStep(), m_slider->minimum(), m_slider->maximum());
    m_spinBox->setValue(fromPosition(position));
}

void ZelSliderBox::_onSpinBoxChanged(qint64 value)
{
    {
        const QSignalBlocker block(m_slider);
        m_slider->setValue(toPosition(value));
    }
    emit valueChanged(value);
}
