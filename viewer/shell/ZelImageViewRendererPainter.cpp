#include "ZelImageViewRendererPainter.h"

#include <QPainter>

#include <climits>
#include <cmath>
#include <cstring>

namespace {

// A display image is 32-bit colour for a colour class or a Bayer format, 8-bit
// grey otherwise.
bool isColourDisplayFormat(uint64_t pixelFormat)
{
    const uint32_t lo = uint32_t(pixelFormat & 0xFFFFFFFFu);
    return (lo >> 24) == 0x02 || (lo & 0xFFFFu) >= 8;
}

QColor gridColour(int index)
{
    switch (index) {
    case 1: return Qt::black;
    case 2: return Qt::red;
    case 3: return Qt::green;
    case 4: return Qt::blue;
    default: return Qt::white;
    }
}

const QColor kBackground(128, 128, 128);

} // namespace

ZelImageViewRendererPainter::ZelImageViewRendererPainter(QWidget* parent)
    : ZelImageViewRenderer(parent)
{
}

ZelImageViewRendererPainter::~ZelImageViewRendererPainter() = default;

void ZelImageViewRendererPainter::setImage(const ORV_BUFFER_INFO& info)
{
    std::memcpy(&m_info, &info, sizeof(m_info));
}

void ZelImageViewRendererPainter::draw(const QRect& source)
{
    QPainter painter(this);
    paintView(painter, source);
}

QImage ZelImageViewRendererPainter::wrapDisplayImage(const ORV_BUFFER_INFO& info)
{
    if (info.pixels == nullptr || info.width == 0 || info.height == 0)
        return QImage();
    const bool colour = isColourDisplayFormat(info.pixelType);
    const uint64_t bytesPerPixel = colour ? 4 : 1;
    if (info.width > uint32_t(INT_MAX) / bytesPerPixel || info.height > uint32_t(INT_MAX))
        return QImage();
    // Rows are packed: exactly width pixels each, whatever the width.
    const uint64_t stride = uint64_t(info.width) * bytesPerPixel;
    uint64_t rows = info.height;
    if (info.size != 0)
        rows = qMin<uint64_t>(rows, info.size / stride);
    if (rows == 0)
        return QImage();
    uchar* data = static_cast<uchar*>(info.pixels);
    if (colour)
        return QImage(data, int(info.width), int(rows), qsizetype(stride), QImage::Format_RGB32);
    // 8-bit grey: each byte is its own grey level, as with a grey palette.
    return QImage(data, int(info.width), int(rows), qsizetype(stride), QImage::Format_Grayscale8);
}

void ZelImageViewRendererPainter::paintView(QPainter& painter, const QRect& source) const
{
    const int viewWidth = width();
    const int viewHeight = height();
    const QRect target(0, 0, qMax(0, m_target.width()), qMax(0, m_target.height()));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setRenderHint(QPainter::Antialiasing, false);

    const QImage image = wrapDisplayImage(m_info);
    bool drawn = false;
    if (!image.isNull() && !target.isEmpty() && source.width() > 0 && source.height() > 0) {
        // Image pixels that reach into the target, including the partly
        // visible ones at its edges; nothing outside the image is read.
        const QPointF first = -m_origin;
        const auto imageCoordinate = [](double v, int length) {
            return int(qBound(-1.0, v, double(length) + 1.0));
        };
        const QRect visible =
            QRect(QPoint(imageCoordinate(std::floor(first.x() / m_scaleX), image.width()),
                         imageCoordinate(std::floor(first.y() / m_scaleY), image.height())),
                  QPoint(imageCoordinate(std::ceil((first.x() + target.width()) / m_scaleX), image.width()) - 1,
                         imageCoordinate(std::ceil((first.y() + target.height()) / m_scaleY), image.height()) - 1))
                .intersected(source.adjusted(0, 0, 1, 1))
                .intersected(image.rect());
        if (!visible.isEmpty()) {
            const QRectF covered(m_origin.x() + visible.x() * m_scaleX, m_origin.y() + visible.y() * m_scaleY,
                                 visible.width() * m_scaleX, visible.height() * m_scaleY);
            if (!covered.contains(QRectF(target)))
                painter.fillRect(target, kBackground);
            painter.save();
            painter.setClipRect(target);
            if (m_scaleX == 1.0 && m_scaleY == 1.0) {
                painter.drawImage(covered.topLeft(), image, visible);
            } else {
                painter.translate(m_origin);
                painter.scale(m_scaleX, m_scaleY);
                painter.drawImage(QPointF(visible.topLeft()), image, visible);
            }
            painter.restore();
            drawn = true;
        }
    }
    if (!drawn)
        painter.fillRect(QRect(0, 0, qMin(viewWidth, target.width()), qMin(viewHeight, target.height())),
                         Qt::black);

    if (viewWidth > target.width())
        painter.fillRect(QRect(target.width(), 0, viewWidth - target.width(), target.height()), kBackground);
    if (viewHeight > target.height())
        painter.fillRect(QRect(0, target.height(), viewWidth, viewHeight - target.height()), kBackground);

    const int s = m_gridSpacing;
    if (m_gridEnabled && s >= 1 && target.width() > 0 && target.height() > 0) {
        painter.setPen(QPen(gridColour(m_gridColor), 0));
        // Lines from the top-left corner of the view, one spacing apart; the
        // end point of each line is not drawn.
        for (int x = s; x <= (target.width() / s) * s; x += s)
            painter.drawLine(x, 0, x, target.height() - 1);
        for (int y = s; y <= (target.height() / s) * s; y += s)
            painter.drawLine(0, y, target.width() - 1, y);
    }
}
