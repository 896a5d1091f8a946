#pragma once

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

// The application-wide warning balloon: at most one exists at a time, a mouse
// press anywhere closes it.
class ZelBalloonTip : public QWidget
{
    Q_OBJECT

public:
    // Where the balloon goes for a tip point on a screen.
    struct Placement
    {
        bool arrowAtTop = true;
        bool arrowAtLeft = true;
        QPoint topLeft;
    };

    ZelBalloonTip(int kind, const QString& title, const QString& message);
    ~ZelBalloonTip() override;

    static void showBalloon(int kind, const QString& title, const QString& message,
                            const QPoint& globalPos, bool showArrow);
    static void hideBalloon();
    static bool isBalloonVisible();
    static ZelBalloonTip* currentBalloon();

    // Arrow sides of a balloon whose tip is at pos on the screen of the given
    // geometry, decided on its size before the arrow margins, and its window
    // position for its final size.
    static Placement place(const QRect& screen, const QPoint& pos,
                           const QSize& sizeBefore, const QSize& finalSize);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void balloon(const QPoint& pos, bool showArrow);

    QPixmap m_pixmap;
    class QLabel* m_message = nullptr;
};
