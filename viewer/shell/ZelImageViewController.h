#ifndef ZELIMAGEVIEWCONTROLLER_H
#define ZELIMAGEVIEWCONTROLLER_H

#include <QObject>
#include <QPoint>
#include <QSize>

#include "OrvSdk.h"

class QLabel;
class QScrollBar;
class ZelImageViewRenderer;

// Geometry of the image view: image size, zoom, grid, the two scroll bars,
// the visible part of the image and the mapping of the mouse to image pixels.
class ZelImageViewController : public QObject
{
    Q_OBJECT
public:
    ZelImageViewController(QScrollBar* vertical, QScrollBar* horizontal,
                           ZelImageViewRenderer* renderer, QLabel* label,
                           QObject* parent = nullptr);
    ~ZelImageViewController() override;

    void setImage(const ORV_BUFFER_INFO& info);
    void setImageSize(int width, int height, double zoomFactor);
    // Drops the image record (its memory is about to be freed or reused).
    void clearImage();
    void setZoom(double zoomFactor);
    double zoom() const { return m_zoom; }
    void setGridEnabled(bool enabled);
    void setGridColor(int index);
    void setGridSize(int size);
    int gridSize() const { return m_gridSize; }
    // Unscaled image size, or the size at the current zoom; -1 x -1 while
    // no size is known.
    QSize imageSize(bool scaled) const;

    void updateScrollBars();
    void updateVisibleRect();
    void updateCursorPosition(const QPoint& pos);
    // The image pixel at a renderer position, or (-1, -1).
    QPoint pixelAt(const QPoint& pos) const;

    static constexpr double kMinZoom = 0.0125;
    static constexpr double kMaxZoom = 100.0;

signals:
    void cursorPosChange(QPoint cursorPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void _onScrollBarValueChanged(int value);
    void _onScrollBarRangeChanged(int min, int max);

private:
    void updateCursorFromGlobal();

    QScrollBar* m_vertical;
    QScrollBar* m_horizontal;
    QLabel* m_label;
    QSize m_imageSize;
    double m_zoom = 1.0;
    int m_gridSize = 32;
    ZelImageViewRenderer* m_renderer;
    bool m_unsupportedShown = false;
};

#endif
