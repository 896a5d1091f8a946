#include "ZelImageViewRenderer.h"

#include <QPaintEvent>

#include <cstring>

ZelImageViewRenderer::ZelImageViewRenderer(QWidget* parent)
    : QWidget(parent)
{
    std::memset(&m_info, 0, sizeof(m_info));
    setContextMenuPolicy(Qt::DefaultContextMenu);
    setStyleSheet("background-color: black");
    setMouseTracking(true);
    // Every paint covers the whole widget.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

ZelImageViewRenderer::~ZelImageViewRenderer() = default;

void ZelImageViewRenderer::resetView(int width, int height)
{
    m_source = QRect(0, 0, 0, 0);
    m_target = QRect(0, 0, qMax(0, width), qMax(0, height));
    m_origin = QPointF();
    std::memset(&m_info, 0, sizeof(m_info));
    update();
}

void ZelImageViewRenderer::clearImage()
{
    std::memset(&m_info, 0, sizeof(m_info));
    update();
}

void ZelImageViewRenderer::setViewRects(const QRect& source, const QRect& target)
{
    const double sx = source.width() > 0 ? double(target.width()) / source.width() : 1.0;
    const double sy = source.height() > 0 ? double(target.height()) / source.height() : 1.0;
    m_source = source;
    m_target = target;
    m_scaleX = sx;
    m_scaleY = sy;
    m_origin = QPointF(-source.x() * sx, -source.y() * sy);
    update();
}

void ZelImageViewRenderer::setView(const QRect& source, const QRect& target, double zoom,
                                   const QPoint& scroll)
{
    if (!(zoom > 0.0)) {
        setViewRects(source, target);
        return;
    }
    m_source = source;
    m_target = target;
    m_scaleX = zoom;
    m_scaleY = zoom;
    m_origin = QPointF(-scroll.x(), -scroll.y());
    update();
}

void ZelImageViewRenderer::setGridEnabled(bool enabled)
{
    m_gridEnabled = enabled;
}

void ZelImageViewRenderer::setGridSpacing(int spacing)
{
    m_gridSpacing = spacing;
}

void ZelImageViewRenderer::setGridColor(int index)
{
    m_gridColor = index;
}

bool ZelImageViewRenderer::hasImage() const
{
    return m_info.pixels != nullptr && m_info.width != 0 && m_info.height != 0;
}

void ZelImageViewRenderer::paintEvent(QPaintEvent* event)
{
    draw(m_source);
    event->accept();
}
