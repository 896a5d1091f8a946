#include "ZelImageViewController.h"

#include <QCursor>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>

#include <climits>
#include <cmath>

#include "ZelImageViewRenderer.h"

ZelImageViewController::ZelImageViewController(QScrollBar* vertical, QScrollBar* horizontal,
                                               ZelImageViewRenderer* renderer, QLabel* label,
                                               QObject* parent)
    : QObject(parent)
    , m_vertical(vertical)
    , m_horizontal(horizontal)
    , m_label(label)
    , m_imageSize(-1, -1)
    , m_renderer(renderer)
{
    connect(m_vertical, &QScrollBar::valueChanged, this, &ZelImageViewController::_onScrollBarValueChanged);
    connect(m_horizontal, &QScrollBar::valueChanged, this, &ZelImageViewController::_onScrollBarValueChanged);
    connect(m_vertical, &QScrollBar::rangeChanged, this, &ZelImageViewController::_onScrollBarRangeChanged);
    connect(m_horizontal, &QScrollBar::rangeChanged, this, &ZelImageViewController::_onScrollBarRangeChanged);
    m_renderer->installEventFilter(this);
}

ZelImageViewController::~ZelImageViewController()
{
    m_renderer->removeEventFilter(this);
}

void ZelImageViewController::setImage(const ORV_BUFFER_INFO& info)
{
    if (info.width == 0 || info.height == 0) {
        // Nothing to show: the last picture is no longer read.
        m_renderer->clearImage();
        if (m_label->isHidden()) {
            m_renderer->hide();
            m_label->show();
            m_label->setText(QStringLiteral("PIXEL FORMAT NOT SUPPORTED"));
        }
        return;
    }
    // A record of another size than announced brings its own size.
    m_imageSize = QSize(int(qMin<uint32_t>(info.width, INT_MAX)), int(qMin<uint32_t>(info.height, INT_MAX)));
    m_renderer->setImage(info);
    if (!m_label->isHidden() || m_renderer->isHidden()) {
        m_label->hide();
        m_renderer->show();
    }
    updateScrollBars();
}

void ZelImageViewController::setImageSize(int width, int height, double zoomFactor)
{
    if (width > 0 && height > 0) {
        m_imageSize = QSize(width, height);
        if (std::isfinite(zoomFactor) && zoomFactor > 0.0)
            m_zoom = qBound(kMinZoom, zoomFactor, kMaxZoom);
        m_renderer->setGridSpacing(int(m_gridSize * m_zoom));
        const QSize scaled = imageSize(true);
        m_renderer->resetView(scaled.width(), scaled.height());
        m_renderer->show();
        m_label->hide();
        updateScrollBars();
    } else {
        m_renderer->clearImage();
        m_renderer->hide();
        m_label->show();
    }
}

void ZelImageViewController::clearImage()
{
    m_renderer->clearImage();
}

void ZelImageViewController::setZoom(double zoomFactor)
{
    if (!std::isfinite(zoomFactor) || zoomFactor <= 0.0)
        return;
    m_zoom = qBound(kMinZoom, zoomFactor, kMaxZoom);
    m_renderer->setGridSpacing(int(m_gridSize * m_zoom));
    updateScrollBars();
}

void ZelImageViewController::setGridEnabled(bool enabled)
{
    m_renderer->setGridEnabled(enabled);
    updateScrollBars();
}

void ZelImageViewController::setGridColor(int index)
{
    m_renderer->setGridColor(index);
    updateScrollBars();
}

void ZelImageViewController::setGridSize(int size)
{
    m_gridSize = size;
    m_renderer->setGridSpacing(int(m_gridSize * m_zoom));
    updateScrollBars();
}

QSize ZelImageViewController::imageSize(bool scaled) const
{
    if (!m_imageSize.isValid() || !scaled)
        return m_imageSize;
    // Bounded so that scroll ranges stay within int.
    const double limit = INT_MAX / 2;
    return QSize(qRound(qMin(m_imageSize.width() * m_zoom, limit)),
                 qRound(qMin(m_imageSize.height() * m_zoom, limit)));
}

void ZelImageViewController::updateScrollBars()
{
    const QSize scaled = m_imageSize.isValid() ? imageSize(true) : QSize(0, 0);
    const QSize view = m_renderer->size();
    if (view.width() < scaled.width()) {
        m_horizontal->setPageStep(view.width());
        m_horizontal->setMaximum(scaled.width() - view.width());
    } else {
        m_horizontal->setMaximum(0);
    }
    if (view.height() < scaled.height()) {
        m_vertical->setPageStep(view.height());
        m_vertical->setMaximum(scaled.height() - view.height());
    } else {
        m_vertical->setMaximum(0);
    }
    updateVisibleRect();
}

void ZelImageViewController::updateVisibleRect()
{
    if (!m_imageSize.isValid()) {
        m_renderer->setView(QRect(), QRect(0, 0, 0, 0), m_zoom, QPoint());
        return;
    }
    const int hs = m_horizontal->value();
    const int vs = m_vertical->value();
    const QSize view = m_renderer->size();
    const QSize scaled = imageSize(true);
    const QRect source(int(hs / m_zoom), int(vs / m_zoom),
                       qMin(m_imageSize.width(), int(std::ceil(view.width() / m_zoom))),
                       qMin(m_imageSize.height(), int(std::ceil(view.height() / m_zoom))));
    const QRect target(0, 0, qMin(view.width(), scaled.width()), qMin(view.height(), scaled.height()));
    m_renderer->setView(source, target, m_zoom, QPoint(hs, vs));
}

QPoint ZelImageViewController::pixelAt(const QPoint& pos) const
{
    if (!m_imageSize.isValid() || pos.x() < 0 || pos.y() < 0)
        return QPoint(-1, -1);
    const qint64 x = qint64(m_horizontal->value()) + pos.x();
    const qint64 y = qint64(m_vertical->value()) + pos.y();
    const QSize scaled = imageSize(true);
    if (x >= scaled.width() || y >= scaled.height())
        return QPoint(-1, -1);
    // The pixel whose zoomed area holds the centre of the view pixel.
    const int ix = int(qMin((x + 0.5) / m_zoom, double(m_imageSize.width() - 1)));
    const int iy = int(qMin((y + 0.5) / m_zoom, double(m_imageSize.height() - 1)));
    return QPoint(ix, iy);
}

void ZelImageViewController::updateCursorPosition(const QPoint& pos)
{
    if (pos.x() == -1 || pos.y() == -1) {
        emit cursorPosChange(pos);
        return;
    }
    const QPoint pixel = pixelAt(pos);
    m_renderer->setCursor(pixel.x() < 0 ? Qt::ArrowCursor : Qt::CrossCursor);
    emit cursorPosChange(pixel);
}

bool ZelImageViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_renderer) {
        if (event->type() == QEvent::MouseMove)
            updateCursorPosition(static_cast<QMouseEvent*>(event)->pos());
        else if (event->type() == QEvent::Leave)
            updateCursorPosition(QPoint(-1, -1));
        else if (event->type() == QEvent::Resize)
            updateScrollBars();
    }
    return QObject::eventFilter(watched, event);
}

void ZelImageViewController::updateCursorFromGlobal()
{
    const QPoint pos = m_renderer->mapFromGlobal(QCursor::pos());
    if (m_renderer->rect().contains(pos))
        updateCursorPosition(pos);
}

void ZelImageViewController::_onScrollBarValueChanged(int)
{
    updateCursorFromGlobal();
    updateVisibleRect();
}

void ZelImageViewController::_onScrollBarRangeChanged(int, int)
{
    updateCursorFromGlobal();
}
