#include "ZelBalloonTip.h"

#include <QApplication>
#include <QBitmap>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyle>

#include <algorithm>
#include <climits>

namespace {

ZelBalloonTip* s_current = nullptr;

constexpr int kArrowHeight = 18;
constexpr int kArrowOffset = 18;
constexpr int kArrowWidth = 18;
constexpr int kRadius = 7;

// The screen that shows pos; the one nearest to it when pos lies off every
// screen, so that a balloon never opens on a screen its widget is not on.
QScreen* screenFor(const QPoint& pos)
{
    if (QScreen* s = QGuiApplication::screenAt(pos))
        return s;
    QScreen* best = QGuiApplication::primaryScreen();
    qint64 bestDistance = LLONG_MAX;
    for (QScreen* s : QGuiApplication::screens()) {
        const QRect g = s->geometry();
        const qint64 dx = pos.x() < g.left() ? g.left() - pos.x() : (pos.x() > g.right() ? pos.x() - g.right() : 0);
        const qint64 dy = pos.y() < g.top() ? g.top() - pos.y() : (pos.y() > g.bottom() ? pos.y() - g.bottom() : 0);
        const qint64 d = dx * dx + dy * dy;
        if (d < bestDistance) {
            bestDistance = d;
            best = s;
        }
    }
    return best;
}

QRect screenGeometry(const QPoint& pos, bool available)
{
    QScreen* s = screenFor(pos);
    if (!s)
        return QRect(0, 0, 1024, 768);
    return available ? s->availableGeometry() : s->geometry();
}

} // namespace

ZelBalloonTip::ZelBalloonTip(int kind, const QString& title, const QString& message)
    : QWidget(nullptr, Qt::ToolTip)
{
    setAttribute(Qt::WA_DeleteOnClose);
    qApp->installEventFilter(this);
    setMouseTracking(true);

    auto* titleLabel = new QLabel(this);
    titleLabel->setText(title);
    QFont f = titleLabel->font();
    f.setBold(true);
    titleLabel->setFont(f);
    titleLabel->setTextFormat(Qt::PlainText);

    m_message = new QLabel(this);
    m_message->setText(message);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    QIcon icon;
    QStyle* st = style();
    switch (kind) {
    case 1: icon = st->standardIcon(QStyle::SP_MessageBoxInformation); break;
    case 2: icon = st->standardIcon(QStyle::SP_MessageBoxWarning); break;
    case 3: icon = st->standardIcon(QStyle::SP_MessageBoxCritical); break;
    default: break;
    }

    auto* layout = new QGridLayout;
    if (!icon.isNull()) {
        auto* iconLabel = new QLabel;
        iconLabel->setPixmap(icon.pixmap(18, 18));
        iconLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        iconLabel->setMargin(2);
        layout->addWidget(iconLabel, 0, 0);
        layout->addWidget(titleLabel, 0, 1);
    } else {
        layout->addWidget(titleLabel, 0, 0, 1, 2);
    }
    layout->addWidget(m_message, 1, 0, 1, 3);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(3, 0, 0, 0);
    setLayout(layout);

    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(255, 255, 225));
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
}

ZelBalloonTip::~ZelBalloonTip()
{
    if (s_current == this)
        s_current = nullptr;
}

void ZelBalloonTip::showBalloon(int kind, const QString& title, const QString& message,
                                const QPoint& globalPos, bool showArrow)
{
    hideBalloon();
    if (title.isEmpty() && message.isEmpty())
        return;
    s_current = new ZelBalloonTip(kind, title, message);
    s_current->balloon(globalPos, showArrow);
}

void ZelBalloonTip::hideBalloon()
{
    if (!s_current)
        return;
    ZelBalloonTip* b = s_current;
    s_current = nullptr;
    b->hide();
    delete b;
}

bool ZelBalloonTip::isBalloonVisible()
{
    return s_current != nullptr;
}

ZelBalloonTip* ZelBalloonTip::currentBalloon()
{
    return s_current;
}

ZelBalloonTip::Placement ZelBalloonTip::place(const QRect& screen, const QPoint& pos,
                                              const QSize& sizeBefore, const QSize& size)
{
    Placement p;
    // Compared with the screen's edges, not its size, so that screens that do
    // not start at the origin place the balloon right too.
    p.arrowAtTop = pos.y() + sizeBefore.height() + kArrowHeight < screen.bottom() + 1;
    p.arrowAtLeft = pos.x() + sizeBefore.width() - kArrowOffset < screen.right() + 1;
    const int x = p.arrowAtLeft
        ? std::max(pos.x() - kArrowOffset, screen.left() + 2)
        : std::min(pos.x() - size.width() + kArrowOffset, screen.right() - size.width() - 2);
    const int y = p.arrowAtTop ? pos.y() : pos.y() - size.height();
    p.topLeft = QPoint(x, y);
    return p;
}

void ZelBalloonTip::balloon(const QPoint& pos, bool showArrow)
{
    const QRect scr = screenGeometry(pos, false);
    // Long messages wrap at a third of the width of the balloon's own screen.
    const int limit = screenGeometry(pos, true).width() / 3;
    if (m_message->sizeHint().width() > limit) {
        m_message->setWordWrap(true);
        m_message->setFixedSize(limit, m_message->heightForWidth(limit));
    }
    const QSize first = sizeHint();
    const bool arrowAtTop = place(scr, pos, first, first).arrowAtTop;
    setContentsMargins(4, arrowAtTop ? 21 : 3, 4, arrowAtTop ? 3 : 21);
    updateGeometry();
    const QSize sh = sizeHint();
    const Placement where = place(scr, pos, first, sh);

    const int left = 0;
    const int right = sh.width() - 1;
    const int top = where.arrowAtTop ? kArrowHeight : 0;
    const int bottom = where.arrowAtTop ? sh.height() - 1 : sh.height() - kArrowHeight - 1;
    const int d = 2 * kRadius;

    QPainterPath path;
    path.moveTo(left + kRadius, top);
    if (where.arrowAtTop && where.arrowAtLeft) {
        if (showArrow) {
            path.lineTo(left + kArrowOffset, top);
            path.lineTo(left + kArrowOffset, top - kArrowHeight);
            path.lineTo(left + kArrowOffset + kArrowWidth, top);
        }
    } else if (where.arrowAtTop) {
        if (showArrow) {
            path.lineTo(right - kArrowOffset - kArrowWidth, top);
            path.lineTo(right - kArrowOffset, top - kArrowHeight);
            path.lineTo(right - kArrowOffset, top);
        }
    }
    path.lineTo(right - kRadius, top);
    path.arcTo(QRect(right - d, top, d, d), 90, -90);
    path.lineTo(right, bottom - kRadius);
    path.arcTo(QRect(right - d, bottom - d, d, d), 0, -90);
    if (!where.arrowAtTop && !where.arrowAtLeft) {
        if (showArrow) {
            path.lineTo(right - kArrowOffset, bottom);
            path.lineTo(right - kArrowOffset, bottom + kArrowHeight);
            path.lineTo(right - kArrowOffset - kArrowWidth, bottom);
        }
    } else if (!where.arrowAtTop) {
        if (showArrow) {
            path.lineTo(kArrowOffset + kArrowWidth, bottom);
            path.lineTo(kArrowOffset, bottom + kArrowHeight);
            path.lineTo(kArrowOffset, bottom);
        }
    }
    path.lineTo(left + kRadius, bottom);
    path.arcTo(QRect(left, bottom - d, d, d), -90, -90);
    path.lineTo(left, top + kRadius);
    path.arcTo(QRect(left, top, d, d), 180, -90);

    move(where.topLeft);

    QBitmap mask(sh);
    mask.fill(Qt::color0);
    {
        QPainter p(&mask);
        p.setPen(QPen(Qt::color1, 1));
        p.setBrush(QBrush(Qt::color1));
        p.drawPath(path);
    }
    setMask(mask);

    m_pixmap = QPixmap(sh);
    {
        QPainter p(&m_pixmap);
        const QColor window = palette().color(QPalette::Window);
        p.setPen(QPen(window.darker(160), 1));
        p.setBrush(window);
        p.drawPath(path);
    }
    show();
}

void ZelBalloonTip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(rect(), m_pixmap);
}

bool ZelBalloonTip::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress)
        close();
    return QWidget::eventFilter(watched, event);
}
