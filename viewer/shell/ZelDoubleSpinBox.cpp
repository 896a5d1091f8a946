#include "ZelDoubleSpinBox.h"

#include "ZelSpinBox.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace {

// What may stand in the box while a number is being typed: a sign, digits
// and decimal marks, and an exponent, each perhaps unfinished.
const QRegularExpression& typingShape()
{
    static const QRegularExpression shape(QStringLiteral("^[+-]?[0-9.,]*(?:[eE][+-]?[0-9]*)?$"));
    return shape;
}

// A whole number: one decimal mark at most, an exponent only with digits.
const QRegularExpression& numberShape()
{
    static const QRegularExpression shape(
        QStringLiteral("^[+-]?(?:[0-9]+(?:[.,][0-9]*)?|[.,][0-9]+)(?:[eE][+-]?[0-9]+)?$"));
    return shape;
}

} // namespace

ZelDoubleSpinBox::ZelDoubleSpinBox(QWidget* parent)
    : QDoubleSpinBox(parent)
{
    connect(this, SIGNAL(editingFinished()), this, SLOT(_onEditingFinished()));
}

bool ZelDoubleSpinBox::readNumber(const QString& text, double* value)
{
    // A comma is a decimal mark as a point is, never a group separator: the
    // English rules would take "1,5" for 15.
    if (!numberShape().match(text).hasMatch())
        return false;
    QString plain = text;
    plain.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = QLocale::c().toDouble(plain, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

QValidator::State ZelDoubleSpinBox::validate(QString& input, int&) const
{
    const QString rest = ZelSpinBox::stripAffixes(input, prefix(), suffix()).trimmed();
    if (!typingShape().match(rest).hasMatch())
        return QValidator::Invalid;
    // Anything on the way to a number is taken while typing; a number
    // outside the range is corrected when editing ends.
    double v = 0;
    if (readNumber(rest, &v) && v >= minimum() && v <= maximum())
        return QValidator::Acceptable;
    return QValidator::Intermediate;
}

double ZelDoubleSpinBox::valueFromText(const QString& text) const
{
    double v = 0;
    return readNumber(ZelSpinBox::stripAffixes(text, prefix(), suffix()).trimmed(), &v) ? v : value();
}

void ZelDoubleSpinBox::fixup(QString& input) const
{
    const QString rest = ZelSpinBox::stripAffixes(input, prefix(), suffix()).trimmed();
    double v = 0;
    const bool ok = readNumber(rest, &v);
    // The replacement is written the way the box itself writes numbers
    // (fixed notation, its decimals, its locale), so that the box can always
    // read it back: scientific text such as 1e+06 would be refused and the
    // typed value lost.
    if (!ok) {
        input = prefix() + textFromValue(value()) + suffix();
        m_outOfRange = false;
    } else if (v > maximum()) {
        input = prefix() + textFromValue(maximum()) + suffix();
        m_outOfRange = true;
    } else if (v < minimum()) {
        input = prefix() + textFromValue(minimum()) + suffix();
        m_outOfRange = true;
    } else {
        input = prefix() + textFromValue(v) + suffix();
        m_outOfRange = false;
    }
}

void ZelDoubleSpinBox::_onEditingFinished()
{
    if (!m_outOfRange)
        return;
    m_outOfRange = false;
    ZelSpinBox::showRangeBalloon(this, QString::number(minimum()), QString::number(maximum()));
}
