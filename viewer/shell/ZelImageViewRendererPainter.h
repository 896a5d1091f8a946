#ifndef ZELIMAGEVIEWRENDERERPAINTER_H
#define ZELIMAGEVIEWRENDERERPAINTER_H

#include <QImage>

#include "ZelImageViewRenderer.h"

class QPainter;

// Draws the display image with QPainter from a QImage that wraps the
// display buffer (no copy, no smoothing): grey 8-bit or 32-bit B,G,R,X.
class ZelImageViewRendererPainter : public ZelImageViewRenderer
{
    Q_OBJECT
public:
    explicit ZelImageViewRendererPainter(QWidget* parent = nullptr);
    ~ZelImageViewRendererPainter() override;

    void setImage(const ORV_BUFFER_INFO& info) override;
    void draw(const QRect& source) override;

    // Paints the view, as a paint event would, with any painter whose device
    // has this widget's size.
    void paintView(QPainter& painter, const QRect& source) const;

    // The QImage over the record's pixels: null when the record names no
    // image. Only rows that lie wholly inside the record's size are included.
    static QImage wrapDisplayImage(const ORV_BUFFER_INFO& info);
};

#endif
