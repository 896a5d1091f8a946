#pragma once

#include <QDoubleSpinBox>

// The floating-point spin box of the slider box: any typed number, with a
// decimal comma or point and perhaps an exponent, is accepted and corrected
// when editing ends. No group separators.
class ZelDoubleSpinBox : public QDoubleSpinBox
{
    Q_OBJECT

public:
    explicit ZelDoubleSpinBox(QWidget* parent = nullptr);

    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    double valueFromText(const QString& text) const override;

    // Reads "1,5", "1.5", "-2.5e3"; false for anything else.
    static bool readNumber(const QString& text, double* value);

private slots:
    void _onEditingFinished();

private:
    mutable bool m_outOfRange = false;
};
