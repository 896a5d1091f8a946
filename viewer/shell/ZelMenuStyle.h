#ifndef ZELMENUSTYLE_H
#define ZELMENUSTYLE_H

#include <QProxyStyle>

// Gives a menu 30-pixel icons and check marks on top of the application style.
class ZelMenuStyle : public QProxyStyle
{
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;
    ~ZelMenuStyle() override;

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
};

#endif
