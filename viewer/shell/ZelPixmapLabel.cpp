#include "ZelPixmapLabel.h"

ZelPixmapLabel::ZelPixmapLabel(QWidget* parent)
    : QLabel(parent)
{
    setMinimumSize(1, 1);
    setScaledContents(false);
}

void ZelPixmapLabel::setImage(const QImage& image)
{
    m_image = image;
    setPixmap(scaledPixmap());
}

QImage ZelPixmapLabel::image() const
{
    return m_image;
}

QPixmap ZelPixmapLabel::scaledPixmap() const
{
    if (m_image.isNull())
        return QPixmap();
    const qreal dpr = devicePixelRatioF();
    QPixmap pm = QPixmap::fromImage(m_image).scaled(qRound(width() * dpr), qRound(height() * dpr),
                                                     Qt::KeepAspectRatio, Qt::SmoothTransformation);
    pm.setDevicePixelRatio(dpr);
    return pm;
}

int ZelPixmapLabel::heightForWidth(int width) const
{
    if (m_image.isNull())
        return QLabel::heightForWidth(width);
    return int(double(m_image.height()) * width / m_image.width());
}

QSize ZelPixmapLabel::sizeHint() const
{
    const int w = width();
    return QSize(w, heightForWidth(w));
}

void ZelPixmapLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    if (!m_image.isNull())
        QLabel::setPixmap(scaledPixmap());
}
