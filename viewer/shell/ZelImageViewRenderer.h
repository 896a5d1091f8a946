#ifndef ZELIMAGEVIEWRENDERER_H
#define ZELIMAGEVIEWRENDERER_H

#include <QRect>
#include <QWidget>

#include "OrvSdk.h"

// A widget that shows the visible part of one display image. It keeps the
// image record (never the pixels: they stay the caller's), the source
// rectangle in image pixels and the target rectangle in widget pixels, and
// draws them on every paint.
class ZelImageViewRenderer : public QWidget
{
    Q_OBJECT
public:
    explicit ZelImageViewRenderer(QWidget* parent = nullptr);
    ~ZelImageViewRenderer() override;

    // Takes a copy of the record; the pixel memory it names must stay valid
    // until the next setImage, clearImage or resetView.
    virtual void setImage(const ORV_BUFFER_INFO& info) = 0;
    virtual void draw(const QRect& source) = 0;

    // A new image size (scaled): nothing is shown until the next image.
    void resetView(int width, int height);
    // Forgets the image record, so nothing is read from its memory any more.
    void clearImage();
    // Source (image pixels) and target (widget pixels, from 0, 0): the source
    // is drawn scaled onto the target.
    void setViewRects(const QRect& source, const QRect& target);
    // The same rectangles with the exact zoom and the scroll position in
    // zoomed pixels, so that image pixel i starts at i * zoom - scroll.
    void setView(const QRect& source, const QRect& target, double zoom, const QPoint& scroll);

    void setGridEnabled(bool enabled);
    void setGridSpacing(int spacing);
    void setGridColor(int index);

    QRect sourceRect() const { return m_source; }
    QRect targetRect() const { return m_target; }
    const ORV_BUFFER_INFO& imageInfo() const { return m_info; }
    bool hasImage() const;
    bool gridEnabled() const { return m_gridEnabled; }
    int gridSpacing() const { return m_gridSpacing; }
    int gridColor() const { return m_gridColor; }
    // Widget position of image point (0, 0) and the scale in each direction.
    QPointF imageOrigin() const { return m_origin; }
    double scaleX() const { return m_scaleX; }
    double scaleY() const { return m_scaleY; }

protected:
    void paintEvent(QPaintEvent* event) override;

    QRect m_source;
    QRect m_target;
    ORV_BUFFER_INFO m_info;
    bool m_gridEnabled = false;
    int m_gridSpacing = 32;
    int m_gridColor = 0;
    QPointF m_origin;
    double m_scaleX = 1.0;
    double m_scaleY = 1.0;
};

#endif
