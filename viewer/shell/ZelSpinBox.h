#pragma once

#include <QSpinBox>

// An integer spin box that accepts any typed number and, when editing ends,
// corrects one outside the range to the nearest limit with a warning balloon.
class ZelSpinBox : public QSpinBox
{
    Q_OBJECT

public:
    explicit ZelSpinBox(QWidget* parent = nullptr);

    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

    // Shared with the floating-point box.
    // The text without the box's suffix and prefix (both ignoring case).
    static QString stripAffixes(QString text, const QString& prefix, const QString& suffix);
    // The "Invalid Value" balloon below the box's bottom-left corner.
    static void showRangeBalloon(const QWidget* box, const QString& minimum, const QString& maximum);

private slots:
    void _onEditingFinished();

private:
    mutable bool m_outOfRange = false;
};
