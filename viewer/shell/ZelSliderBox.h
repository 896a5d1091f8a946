#pragma once

#include <QWidget>

class QSlider;
class ZelSpinBox;

// An integer spin box and a slider side by side, kept in step, over the
// whole 64-bit range: a range wider than the slider's int positions is
// spread evenly over them.
class ZelSliderBox : public QWidget
{
    Q_OBJECT

public:
    ZelSliderBox(QWidget* parent, bool sliderFirst);

    void setRange(qint64 min, qint64 max);
    void setSingleStep(qint64 step);
    void setSuffix(const QString& suffix);
    void setValue(qint64 value);
    qint64 value() const;
    void setKeyboardTracking(bool tracking);

    ZelSpinBox* spinBox() const { return m_spinBox; }
    QSlider* slider() const { return m_slider; }

    // Shared with the floating-point box.
    // Lays out the box's two children as both boxes do.
    static void arrange(QWidget* box, QWidget* spinBox, QWidget* slider, bool sliderFirst);
    // v snapped to the grid of step that starts at min, kept inside min..max.
    static int snap(int v, int step, int min, int max);
    // The focus-out rule: returns true when the box is to emit focusOut.
    // Enter or Return suppresses the next departure only.
    static bool focusLeft(QEvent* event, bool& armed, const QWidget* spinBox, const QWidget* slider);

signals:
    void valueChanged(qint64 value);
    void focusOut();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void _onSliderValueChanged(int value);
    void _onSpinBoxChanged(qint64 value);

private:
    // Slider positions and values: value = m_origin + position * m_unit;
    // the identity when the range fits the slider.
    int toPosition(qint64 value) const;
    qint64 fromPosition(int position) const;
    void applySliderStep();

    ZelSpinBox* m_spinBox;
    QSlider* m_slider;
    bool m_focusOut = true;
    qint64 m_origin = 0;
    quint64 m_unit = 1;
};
