#include "ZelMenuStyle.h"

ZelMenuStyle::~ZelMenuStyle() = default;

int ZelMenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                              const QWidget* widget) const
{
    if (metric == QStyle::PM_SmallIconSize || metric == QStyle::PM_IndicatorWidth)
        return 30;
    return QProxyStyle::pixelMetric(metric, option, widget);
}
