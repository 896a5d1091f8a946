#include "ZelSliderBox.h"

#include "ZelSpinBox.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

ZelSliderBox::ZelSliderBox(QWidget* parent, bool sliderFirst)
    : QWidget(parent)
    , m_spinBox(new ZelSpinBox(this))
    , m_slider(new QSlider(Qt::Horizontal, this))
{
    arrange(this, m_spinBox, m_slider, sliderFirst);
    m_spinBox->setSingleStep(1);
    m_slider->setSingleStep(1);
    connect(m_slider, SIGNAL(valueChanged(int)), this, SLOT(_onSliderValueChanged(int)));
    connect(m_spinBox, SIGNAL(valueChanged(int)), this, SLOT(_onSpinBoxChanged(int)));
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

void ZelSliderBox::setRange(int min, int max)
{
    m_spinBox->setRange(min, max);
    m_slider->setRange(min, max);
}

void ZelSliderBox::setSingleStep(int step)
{
    m_slider->setSingleStep(step);
    m_spinBox->setSingleStep(step);
}

void ZelSliderBox::setSuffix(const QString& suffix)
{
    m_spinBox->setSuffix(suffix);
}

void ZelSliderBox::setValue(int value)
{
    m_spinBox->setValue(value);
}

int ZelSliderBox::value() const
{
    return m_spinBox->value();
}

void ZelSliderBox::setKeyboardTracking(bool tracking)
{
    m_spinBox->setKeyboardTracking(tracking);
}

void ZelSliderBox::_onSliderValueChanged(int value)
{
    m_spinBox->setValue(snap(value, m_slider->singleStep(), m_slider->minimum(), m_slider->maximum()));
}

void ZelSliderBox::_onSpinBoxChanged(int value)
{
    {
        const QSignalBlocker block(m_slider);
        m_slider->setValue(value);
    }
    emit valueChanged(value);
}
