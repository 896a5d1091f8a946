#pragma once

#include <QImage>
#include <QLabel>

// A label that shows one image scaled to the label, keeping its aspect ratio.
class ZelPixmapLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ZelPixmapLabel(QWidget* parent = nullptr);

    void setImage(const QImage& image);
    QImage image() const;

    QSize sizeHint() const override;
    int heightForWidth(int width) const override;

public slots:
    void resizeEvent(QResizeEvent* event) override;

private:
    QPixmap scaledPixmap() const;

    QImage m_image;
};
