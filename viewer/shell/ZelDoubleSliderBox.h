#pragma once

#include <QWidget>

class ZelDoubleSpinBox;
class ZelSlider;

// A floating-point spin box and a slider side by side. The slider works in
// units of value x scale factor and can move logarithmically.
class ZelDoubleSliderBox : public QWidget
{
    Q_OBJECT

public:
    ZelDoubleSliderBox(QWidget* parent, bool sliderFirst);

    void setRange(double min, double max, double sliderMin = 0, double sliderMax = 0);
    void setSingleStep(double step);
    void setSuffix(const QString& suffix);
    void setValue(double value);
    double value() const;
    void setKeyboardTracking(bool tracking);

    double scaleFactor() const { return m_scaleFactor; }
    ZelDoubleSpinBox* spinBox() const { return m_spinBox; }
    ZelSlider* slider() const { return m_slider; }

signals:
    void valueChanged(double value);
    void focusOut();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void _onSliderValueChanged(int value);
    void _onDoubleSpinBoxChanged(double value);

private:
    void placeSlider(double value);

    ZelDoubleSpinBox* m_spinBox;
    ZelSlider* m_slider;
    double m_scaleFactor = 1.0;
    bool m_focusOut = true;
};
