#include "ZelUtil.h"

#include <qcustomplot.h>

void ZelUtil::UpdateAxisRange(QCPAxis* axis, const QCPRange& newRange, const QCPRange& limits)
{
    if (!axis)
        return;
    const double span = newRange.size();
    QCPRange result;
    if (newRange.lower < limits.lower) {
        result = QCPRange(limits.lower, limits.lower + span);
        if (result.upper > limits.upper)
            result.upper = limits.upper;
        else if (qFuzzyCompare(span, limits.size()))
            result.upper = limits.upper;
    } else if (newRange.upper > limits.upper) {
        result = QCPRange(limits.upper - span, limits.upper);
        if (result.lower < limits.lower)
            result.lower = limits.lower;
        else if (qFuzzyCompare(span, limits.size()))
            result.lower = limits.lower;
    } else {
        return;
    }
    const bool blocked = axis->blockSignals(true);
    axis->setRange(result);
    axis->blockSignals(blocked);
}
