#pragma once

#include <QAbstractSpinBox>

// An integer spin box over the whole 64-bit range that accepts any typed
// number and, when editing ends, corrects one outside the range to the
// nearest limit with a warning balloon.
class ZelSpinBox : public QAbstractSpinBox
{
    Q_OBJECT

public:
    explicit ZelSpinBox(QWidget* parent = nullptr);

    qint64 value() const { return m_value; }
    void setValue(qint64 value);
    qint64 minimum() const { return m_minimum; }
    qint64 maximum() const { return m_maximum; }
    void setRange(qint64 minimum, qint64 maximum);
    qint64 singleStep() const { return m_singleStep; }
    void setSingleStep(qint64 step);
    QString prefix() const { return m_prefix; }
    void setPrefix(const QString& prefix);
    QString suffix() const { return m_suffix; }
    void setSuffix(const QString& suffix);

    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    void stepBy(int steps) override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Shared with the floating-point box.
    // The text without the box's suffix and prefix (both ignoring case).
    static QString stripAffixes(QString text, const QString& prefix, const QString& suffix);
    // The "Invalid Value" balloon below the box's bottom-left corner.
    static void showRangeBalloon(const QWidget* box, const QString& minimum, const QString& maximum);

signals:
    void valueChanged(qint64 value);

protected:
    StepEnabled stepEnabled() const override;

private slots:
    void _onEditingFinished();
    void _onTextEdited();

private:
    enum class Reading { Number, Above, Below, None };
    // What the text between prefix and suffix says.
    Reading read(const QString& text, qint64* number) const;
    void interpret();
    void showValue();
    void changeValue(qint64 value, bool rewriteText);

    qint64 m_value = 0;
    qint64 m_minimum = 0;
    qint64 m_maximum = 99;
    qint64 m_singleStep = 1;
    QString m_prefix;
    QString m_suffix;
    mutable bool m_outOfRange = false;
};
