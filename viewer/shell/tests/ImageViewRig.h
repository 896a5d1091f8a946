#ifndef IMAGEVIEWRIG_H
#define IMAGEVIEWRIG_H

// A renderer with its controller, scroll bars and label, outside any widget
// layout, so that tests choose the renderer's size themselves.

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>

#include <memory>

#include "ZelImageViewController.h"
#include "ZelImageViewRendererPainter.h"

struct ImageViewRig {
    QScrollBar vertical{Qt::Vertical};
    QScrollBar horizontal{Qt::Horizontal};
    QLabel label{"Streaming not available"};
    ZelImageViewRendererPainter renderer;
    std::unique_ptr<ZelImageViewController> controller;

    explicit ImageViewRig(const QSize& viewSize)
    {
        renderer.resize(viewSize);
        controller.reset(new ZelImageViewController(&vertical, &horizontal, &renderer, &label));
    }

    void scrollTo(int x, int y)
    {
        horizontal.setValue(x);
        vertical.setValue(y);
    }

    // What one paint of the renderer shows; magenta marks unpainted pixels.
    QImage render() const
    {
        QImage out(renderer.size(), QImage::Format_RGB32);
        out.fill(qRgb(255, 0, 255));
        QPainter painter(&out);
        renderer.paintView(painter, renderer.sourceRect());
        return out;
    }
};

#endif
