#pragma once

#include <QDoubleSpinBox>

// The floating-point spin box of the slider box: any typed number, with a
// decimal comma or point, is accepted and corrected when editing ends.
class ZelDoubleSpinBox : public QDoubleSpinBox
{
    Q_OBJECT

public:
    explicit ZelDoubleSpinBox(QWidget* parent = nullptr);

    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

private slots:
    void _onEditingFinished();

private:
    mutable bool m_outOfRange = false;
};
