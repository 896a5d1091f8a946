#include "ZelSpinBox.h"

#include "ZelBalloonTip.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QStyleOptionSpinBox>

#include <algorithm>

ZelSpinBox::ZelSpinBox(QWidget* parent)
    : QAbstractSpinBox(parent)
{
    // Interpreting comes first, so that every later listener of
    // editingFinished sees the value the text gave.
    connect(this, SIGNAL(editingFinished()), this, SLOT(_onEditingFinished()));
    connect(lineEdit(), SIGNAL(textEdited(QString)), this, SLOT(_onTextEdited()));
    showValue();
}

QString ZelSpinBox::stripAffixes(QString text, const QString& prefix, const QString& suffix)
{
    if (!suffix.isEmpty() && text.endsWith(suffix, Qt::CaseInsensitive))
        text.chop(suffix.size());
    if (!prefix.isEmpty() && text.startsWith(prefix, Qt::CaseInsensitive))
        text.remove(0, prefix.size());
    return text;
}

void ZelSpinBox::showRangeBalloon(const QWidget* box, const QString& minimum, const QString& maximum)
{
    const QString message = QStringLiteral("Minimum:%1").arg(minimum)
        + QStringLiteral(" Maximum:%1").arg(maximum);
    // The box's own mapping: it needs no parent widget.
    ZelBalloonTip::showBalloon(3, tr("Invalid Value"), message,
                               box->mapToGlobal(QPoint(5, box->height())), true);
}

void ZelSpinBox::setValue(qint64 value)
{
    changeValue(value, true);
}

void ZelSpinBox::changeValue(qint64 value, bool rewriteText)
{
    value = std::clamp(value, m_minimum, m_maximum);
    const bool changed = value != m_value;
    m_value = value;
    if (rewriteText)
        showValue();
    if (changed)
        emit valueChanged(m_value);
}

void ZelSpinBox::setRange(qint64 minimum, qint64 maximum)
{
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    updateGeometry();
    setValue(m_value);
}

void ZelSpinBox::setSingleStep(qint64 step)
{
    if (step >= 0)
        m_singleStep = step;
}

void ZelSpinBox::setPrefix(const QString& prefix)
{
    m_prefix = prefix;
    updateGeometry();
    showValue();
}

void ZelSpinBox::setSuffix(const QString& suffix)
{
    m_suffix = suffix;
    updateGeometry();
    showValue();
}

void ZelSpinBox::showValue()
{
    lineEdit()->setText(m_prefix + QString::number(m_value) + m_suffix);
}

ZelSpinBox::Reading ZelSpinBox::read(const QString& text, qint64* number) const
{
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok, 10);
    if (ok) {
        *number = v;
        return Reading::Number;
    }
    // Digits beyond 64 bits are still a number, beyond either limit.
    static const QRegularExpression digits(QStringLiteral("^[+-]?[0-9]+$"));
    if (digits.match(text).hasMatch())
        return text.startsWith(QLatin1Char('-')) ? Reading::Below : Reading::Above;
    return Reading::None;
}

QValidator::State ZelSpinBox::validate(QString& input, int&) const
{
    const QString rest = stripAffixes(input, m_prefix, m_suffix).trimmed();
    qint64 v = 0;
    switch (read(rest, &v)) {
    case Reading::Number:
        return v >= m_minimum && v <= m_maximum ? QValidator::Acceptable : QValidator::Intermediate;
    case Reading::Above:
    case Reading::Below:
        return QValidator::Intermediate;
    case Reading::None:
        break;
    }
    if (rest.isEmpty() || rest == QLatin1String("-") || rest == QLatin1String("+"))
        return QValidator::Intermediate;
    return QValidator::Invalid;
}

void ZelSpinBox::fixup(QString& input) const
{
    const QString rest = stripAffixes(input, m_prefix, m_suffix).trimmed();
    qint64 v = 0;
    const Reading reading = read(rest, &v);
    if (reading == Reading::None) {
        input = m_prefix + QString::number(m_value) + m_suffix;
        m_outOfRange = false;
    } else if (reading == Reading::Above || v > m_maximum) {
        input = m_prefix + QString::number(m_maximum) + m_suffix;
        m_outOfRange = true;
    } else if (reading == Reading::Below || v < m_minimum) {
        input = m_prefix + QString::number(m_minimum) + m_suffix;
        m_outOfRange = true;
    } else {
        m_outOfRange = false;
    }
}

void ZelSpinBox::interpret()
{
    QString text = lineEdit()->text();
    int pos = 0;
    if (validate(text, pos) != QValidator::Acceptable)
        fixup(text);
    qint64 v = m_value;
    if (validate(text, pos) == QValidator::Acceptable)
        read(stripAffixes(text, m_prefix, m_suffix).trimmed(), &v);
    changeValue(v, true);
}

void ZelSpinBox::_onTextEdited()
{
    // With keyboard tracking every acceptable keystroke is a value.
    if (!keyboardTracking())
        return;
    QString text = lineEdit()->text();
    int pos = 0;
    qint64 v = 0;
    if (validate(text, pos) == QValidator::Acceptable
        && read(stripAffixes(text, m_prefix, m_suffix).trimmed(), &v) == Reading::Number)
        changeValue(v, false);
}

void ZelSpinBox::stepBy(int steps)
{
    interpret();
    // Saturating: a step past either end stops at it.
    const __int128 target = __int128(m_value) + __int128(steps) * m_singleStep;
    const qint64 next = target > m_maximum ? m_maximum : target < m_minimum ? m_minimum : qint64(target);
    changeValue(next, true);
    selectAll();
}

QAbstractSpinBox::StepEnabled ZelSpinBox::stepEnabled() const
{
    if (isReadOnly())
        return StepNone;
    StepEnabled enabled = StepNone;
    if (m_value < m_maximum)
        enabled |= StepUpEnabled;
    if (m_value > m_minimum)
        enabled |= StepDownEnabled;
    return enabled;
}

QSize ZelSpinBox::sizeHint() const
{
    ensurePolished();
    const QFontMetrics fm(fontMetrics());
    int width = 0;
    for (qint64 v : {m_minimum, m_maximum})
        width = std::max(width, fm.horizontalAdvance(m_prefix + QString::number(v) + m_suffix + QLatin1Char(' ')));
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    const QSize content(width + 2, lineEdit()->sizeHint().height());
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, content, this);
}

QSize ZelSpinBox::minimumSizeHint() const
{
    return QSize(QAbstractSpinBox::minimumSizeHint().width(), sizeHint().height());
}

void ZelSpinBox::_onEditingFinished()
{
    interpret();
    // The mark belongs to the edit just finished: a later edit that needs no
    // correction must not bring the balloon back.
    if (!m_outOfRange)
        return;
    m_outOfRange = false;
    showRangeBalloon(this, QString::number(m_minimum), QString::number(m_maximum));
}
