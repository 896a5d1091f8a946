#include "ZelUtil.h"

#include <qcustomplot.h>

#include <cmath>

void ZelUtil::UpdateAxisRange(QCPAxis* axis, const QCPRange& wanted, const QCPRange& limits)
{
    if (!axis || (wanted.lower >= limits.lower && wanted.upper <= limits.upper))
        return;
    const double size = wanted.upper - wanted.lower;
    const double width = limits.upper - limits.lower;
    const bool fullWidth = std::abs(size - width) <= 1e-12 * std::abs(width);
    QCPRange range = wanted;
    if (wanted.lower < limits.lower) {
        range.lower = limits.lower;
        range.upper = fullWidth ? limits.upper : qMin(limits.lower + size, limits.upper);
    } else {
        range.upper = limits.upper;
        range.lower = fullWidth ? limits.lower : qMax(limits.upper - size, limits.lower);
    }
    const bool blocked = axis->blockSignals(true);
    axis->setRange(range);
    axis->blockSignals(blocked);
}
