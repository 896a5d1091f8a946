#include "ZelDoubleSpinBox.h"

#include "ZelSpinBox.h"
#include "ZelUtil.h"

#include <cmath>

ZelDoubleSpinBox::ZelDoubleSpinBox(QWidget* parent)
    : QDoubleSpinBox(parent)
{
    connect(this, SIGNAL(editingFinished()), this, SLOT(_onEditingFinished()));
}

QValidator::State ZelDoubleSpinBox::validate(QString& input, int& pos) const
{
    // The base class may add the prefix and suffix to the text it is given;
    // a refused text is judged as the operator typed it.
    const QString typed = input;
    const QValidator::State state = QDoubleSpinBox::validate(input, pos);
    if (state != QValidator::Invalid)
        return state;
    input = typed;
    const QString rest = ZelSpinBox::stripAffixes(input, prefix(), suffix()).trimmed();
    bool ok = false;
    const double v = ZelUtil::StringToDouble(rest, &ok);
    if ((ok && !std::isnan(v)) || rest == QLatin1String("-") || rest == QLatin1String(".")
        || rest == QLatin1String(","))
        return QValidator::Intermediate;
    return QValidator::Invalid;
}

void ZelDoubleSpinBox::fixup(QString& input) const
{
    const QString rest = ZelSpinBox::stripAffixes(input, prefix(), suffix()).trimmed();
    bool ok = false;
    const double v = ZelUtil::StringToDouble(rest, &ok);
    // The replacement is written the way the box itself writes numbers
    // (fixed notation, its decimals, its locale), so that the box can always
    // read it back: scientific text such as 1e+06 would be refused and the
    // typed value lost.
    if (!ok || std::isnan(v)) {
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
