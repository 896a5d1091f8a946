// Images for the shading tests.
#ifndef SHADINGTESTIMAGES_H
#define SHADINGTESTIMAGES_H

#include <QImage>
#include <QVector>

#include <functional>

namespace zeltest {

// An 8-bit indexed image with a grey palette and the value of each pixel,
// as an 8-bit grey BMP loads.
inline QImage greyIndexed(int w, int h, const std::function<int(int, int)>& value)
{
    QImage image(w, h, QImage::Format_Indexed8);
    QVector<QRgb> grey;
    for (int i = 0; i < 256; ++i)
        grey << qRgb(i, i, i);
    image.setColorTable(grey);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.scanLine(y)[x] = uchar(value(x, y));
    return image;
}

} // namespace zeltest

#endif // SHADINGTESTIMAGES_H
