// Draws the viewer's icons and pictures into ../res. Run once after a change:
//   g++ -std=c++17 -fPIC draw_icons.cpp -o /tmp/draw_icons $(pkg-config --cflags --libs Qt5Gui)
//   QT_QPA_PLATFORM=offscreen /tmp/draw_icons <path of viewer/resources>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include <cstdio>
#include <functional>

namespace {

QString g_root;

const QColor kInk(0x2b, 0x3a, 0x4a);
const QColor kBlue(0x1f, 0x6f, 0xb5);
const QColor kGreen(0x2e, 0x9d, 0x3c);
const QColor kRed(0xc8, 0x2b, 0x2b);
const QColor kAmber(0xe3, 0x9b, 0x12);
const QColor kGrey(0x8a, 0x93, 0x9c);

void save(const QString& name, int w, int h, const std::function<void(QPainter&)>& draw,
          const char* format = nullptr, QColor background = Qt::transparent)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(background);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p);
    }
    const QString path = g_root + QLatin1Char('/') + name;
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!img.save(path, format))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

// A 32-pixel design scaled to the image size.
void scaled(QPainter& p, int size)
{
    p.scale(size / 32.0, size / 32.0);
}

void lens(QPainter& p, QPointF c, qreal r)
{
    QRadialGradient g(c - QPointF(r / 3, r / 3), r * 1.4);
    g.setColorAt(0, QColor(0x9f, 0xd3, 0xff));
    g.setColorAt(0.5, kBlue);
    g.setColorAt(1, QColor(0x0c, 0x2c, 0x4c));
    p.setPen(QPen(QColor(0x10, 0x18, 0x20), r / 5));
    p.setBrush(g);
    p.drawEllipse(c, r, r);
}

void magnifier(QPainter& p, const QColor& ring)
{
    p.setPen(QPen(ring, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(QPointF(13, 13), 8.5, 8.5);
    p.setPen(QPen(ring, 4.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(19.5, 19.5), QPointF(27.5, 27.5));
}

void statusDisc(QPainter& p, const QColor& c)
{
    QRadialGradient g(QPointF(12, 11), 18);
    g.setColorAt(0, c.lighter(150));
    g.setColorAt(1, c.darker(115));
    p.setPen(QPen(c.darker(150), 1.5));
    p.setBrush(g);
    p.drawEllipse(QPointF(16, 16), 14, 14);
    p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
}

void circularArrow(QPainter& p, const QColor& c, bool clockwise)
{
    p.setPen(QPen(c, 3.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(6, 6, 20, 20), clockwise ? 100 * 16 : 80 * 16, clockwise ? 280 * 16 : -280 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    QPainterPath head;
    if (clockwise) {
        head.moveTo(14, 1);
        head.lineTo(21, 6.5);
        head.lineTo(13, 11);
    } else {
        head.moveTo(18, 1);
        head.lineTo(11, 6.5);
        head.lineTo(19, 11);
    }
    head.closeSubpath();
    p.drawPath(head);
}

void clearButton(const QString& name, const QColor& disc)
{
    save(name, 18, 18, [&](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(disc);
        p.drawEllipse(QPointF(9, 9), 7, 7);
        p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6.3, 6.3), QPointF(11.7, 11.7));
        p.drawLine(QPointF(11.7, 6.3), QPointF(6.3, 11.7));
    });
}

void floppy(QPainter& p)
{
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(kBlue);
    QPainterPath body;
    body.moveTo(4, 3);
    body.lineTo(24, 3);
    body.lineTo(29, 8);
    body.lineTo(29, 29);
    body.lineTo(4, 29);
    body.closeSubpath();
    p.drawPath(body);
    p.setBrush(QColor(0xe8, 0xee, 0xf4));
    p.drawRect(QRectF(9, 3, 13, 9));
    p.setBrush(kInk);
    p.drawRect(QRectF(17, 5, 3, 5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 17, 17, 12));
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& c)
{
    p.setPen(QPen(c, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const QPointF d = (to - from) / qSqrt(QPointF::dotProduct(to - from, to - from));
    const QPointF n(-d.y(), d.x());
    QPainterPath head;
    head.moveTo(to + d * 3);
    head.lineTo(to - d * 4 + n * 5);
    head.lineTo(to - d * 4 - n * 5);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(head);
}

void light(const QString& name, const QColor& c)
{
    save(name, 32, 32, [&](QPainter& p) {
        QRadialGradient g(QPointF(12, 11), 16);
        g.setColorAt(0, Qt::white);
        g.setColorAt(0.25, c.lighter(140));
        g.setColorAt(1, c.darker(140));
        p.setPen(QPen(QColor(0x30, 0x30, 0x30), 2));
        p.setBrush(g);
        p.drawEllipse(QPointF(16, 16), 13, 13);
    });
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: draw_icons <viewer/resources folder>\n");
        return 1;
    }
    g_root = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/res");
    const QString icon = QStringLiteral("icon/");

    // The application icon: a camera body with its lens.
    save(icon + "ms-icon-144x144.png", 144, 144, [](QPainter& p) {
        scaled(p, 144);
        p.setPen(QPen(QColor(0x10, 0x18, 0x20), 1));
        QLinearGradient body(0, 6, 0, 28);
        body.setColorAt(0, QColor(0x4a, 0x5c, 0x70));
        body.setColorAt(1, QColor(0x1c, 0x26, 0x32));
        p.setBrush(body);
        p.drawRoundedRect(QRectF(2, 8, 28, 20), 3, 3);
        p.drawRect(QRectF(5, 5, 8, 4));
        lens(p, QPointF(16, 18), 7.5);
        p.setPen(Qt::NoPen);
        p.setBrush(kAmber);
        p.drawEllipse(QPointF(26, 12), 1.5, 1.5);
    });

    save(icon + "refresh.png", 32, 32, [](QPainter& p) { circularArrow(p, kGreen, true); });
    save(icon + "reset.png", 32, 32, [](QPainter& p) { circularArrow(p, kBlue, false); });

    // Tools: a wrench.
    save(icon + "tools.png", 32, 32, [](QPainter& p) {
        p.translate(16, 16);
        p.rotate(45);
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(kGrey);
        p.drawRoundedRect(QRectF(-2.5, -4, 5, 18), 2, 2);
        QPainterPath jaw;
        jaw.addEllipse(QPointF(0, -8), 7, 7);
        QPainterPath slot;
        slot.addRect(QRectF(-2.5, -16, 5, 9));
        p.drawPath(jaw.subtracted(slot));
    });

    // Access status of a camera.
    save(icon + "status_access.png", 32, 32, [](QPainter& p) {
        statusDisc(p, kGreen);
        QPainterPath tick;
        tick.moveTo(9, 16.5);
        tick.lineTo(14, 21.5);
        tick.lineTo(23, 10.5);
        p.drawPath(tick);
    });
    save(icon + "status_readonly.png", 32, 32, [](QPainter& p) {
        statusDisc(p, kAmber);
        p.setBrush(Qt::white);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(10, 14, 12, 9), 1.5, 1.5);
        p.setPen(QPen(Qt::white, 2.5));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(12, 8, 8, 11), 0, 180 * 16);
    });
    save(icon + "status_no_access.png", 32, 32, [](QPainter& p) {
        statusDisc(p, kRed);
        p.drawLine(QPointF(11, 11), QPointF(21, 21));
        p.drawLine(QPointF(21, 11), QPointF(11, 21));
    });
    save(icon + "status_unknown.png", 32, 32, [](QPainter& p) {
        statusDisc(p, kGrey);
        p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
        QPainterPath q;
        q.moveTo(11.5, 12.5);
        q.cubicTo(11.5, 7, 20.5, 7, 20.5, 12);
        q.cubicTo(20.5, 15, 16, 15.5, 16, 19);
        p.drawPath(q);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(16, 24), 2, 2);
    });

    // The search field's button and border.
    const QString cc = icon + QStringLiteral("customcontrols/");
    save(cc + "search_line_edit_search.png", 18, 18, [](QPainter& p) {
        p.scale(18 / 32.0, 18 / 32.0);
        magnifier(p, kGrey);
    });
    clearButton(cc + "search_line_edit_clear.png", QColor(0xa8, 0xae, 0xb4));
    clearButton(cc + "search_line_edit_hover.png", QColor(0x70, 0x78, 0x80));
    clearButton(cc + "search_line_edit_active.png", QColor(0x40, 0x48, 0x50));
    save(cc + "search_line_edit_border.png", 9, 9, [](QPainter& p) {
        p.setPen(QPen(QColor(0x9a, 0xa4, 0xae), 1));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(0.5, 0.5, 8, 8), 2.5, 2.5);
    });

    save(icon + "search.png", 32, 32, [](QPainter& p) { magnifier(p, kInk); });
    save(icon + "zoom_in.png", 32, 32, [](QPainter& p) {
        magnifier(p, kInk);
        p.setPen(QPen(kGreen, 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9, 13), QPointF(17, 13));
        p.drawLine(QPointF(13, 9), QPointF(13, 17));
    });
    save(icon + "zoom_out.png", 32, 32, [](QPainter& p) {
        magnifier(p, kInk);
        p.setPen(QPen(kRed, 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9, 13), QPointF(17, 13));
    });
    save(icon + "zoom_reset.png", 32, 32, [](QPainter& p) {
        magnifier(p, kInk);
        p.setPen(QPen(kBlue, 1.8));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(9.5, 9.5, 7, 7));
    });

    // Acquisition.
    save(icon + "start.png", 32, 32, [](QPainter& p) {
        p.setPen(QPen(kGreen.darker(140), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(kGreen);
        p.drawPolygon(QPolygonF({QPointF(8, 4), QPointF(27, 16), QPointF(8, 28)}));
    });
    save(icon + "stop.png", 32, 32, [](QPainter& p) {
        p.setPen(QPen(kRed.darker(140), 1.5));
        p.setBrush(kRed);
        p.drawRoundedRect(QRectF(6, 6, 20, 20), 2.5, 2.5);
    });
    save(icon + "pause.png", 32, 32, [](QPainter& p) {
        p.setPen(QPen(kBlue.darker(140), 1.5));
        p.setBrush(kBlue);
        p.drawRoundedRect(QRectF(7, 5, 7, 22), 1.5, 1.5);
        p.drawRoundedRect(QRectF(18, 5, 7, 22), 1.5, 1.5);
    });
    save(icon + "snap.png", 32, 32, [](QPainter& p) {
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(kGrey.lighter(120));
        p.drawRoundedRect(QRectF(2, 9, 28, 19), 3, 3);
        p.drawRect(QRectF(10, 5, 12, 4));
        lens(p, QPointF(16, 18.5), 6.5);
    });
    save(icon + "save.png", 32, 32, [](QPainter& p) { floppy(p); });

    // View and windows.
    save(icon + "grid.png", 32, 32, [](QPainter& p) {
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3.5, 3.5, 25, 25));
        for (int i = 1; i < 4; ++i) {
            const qreal v = 3.5 + i * 25.0 / 4;
            p.drawLine(QPointF(v, 3.5), QPointF(v, 28.5));
            p.drawLine(QPointF(3.5, v), QPointF(28.5, v));
        }
    });
    save(icon + "treeview.png", 32, 32, [](QPainter& p) {
        p.setPen(QPen(kGrey, 1.5));
        p.drawLine(QPointF(8, 9), QPointF(8, 25));
        p.drawLine(QPointF(8, 17), QPointF(14, 17));
        p.drawLine(QPointF(8, 25), QPointF(14, 25));
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRect(QRectF(3, 3, 10, 6));
        p.setBrush(kGreen);
        p.drawRect(QRectF(14, 14, 15, 6));
        p.drawRect(QRectF(14, 22, 15, 6));
    });
    save(icon + "close.png", 32, 32, [](QPainter& p) {
        p.setPen(QPen(kRed, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 8), QPointF(24, 24));
        p.drawLine(QPointF(24, 8), QPointF(8, 24));
    });
    save(icon + "add.png", 32, 32, [](QPainter& p) {
        p.setPen(QPen(kGreen, 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(16, 6), QPointF(16, 26));
        p.drawLine(QPointF(6, 16), QPointF(26, 16));
    });
    save(icon + "remove.png", 32, 32, [](QPainter& p) {
        p.setPen(QPen(kRed, 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 16), QPointF(26, 16));
    });
    light(icon + "red_light.png", kRed);
    light(icon + "green_light.png", kGreen);

    // Camera settings files: a folder with an arrow out, a disk with an arrow in.
    save(icon + "loadsettings.ico", 32, 32, [](QPainter& p) {
        p.setPen(QPen(QColor(0x9a, 0x6b, 0x10), 1.5));
        p.setBrush(QColor(0xf2, 0xc2, 0x4f));
        p.drawRoundedRect(QRectF(2, 10, 24, 18), 2, 2);
        p.drawRect(QRectF(2, 7, 10, 4));
        arrow(p, QPointF(16, 22), QPointF(26, 8), kGreen);
    }, "ico");
    save(icon + "savesettings.ico", 32, 32, [](QPainter& p) {
        p.scale(0.85, 0.85);
        floppy(p);
        p.resetTransform();
        arrow(p, QPointF(28, 4), QPointF(22, 14), kGreen);
    }, "ico");

    // Pictures of the colour correction window: a 3 x 3 matrix and colour patches.
    save(icon + "CCM.png", 160, 120, [](QPainter& p) {
        p.setPen(QPen(kInk, 3));
        p.drawLine(QPointF(20, 10), QPointF(12, 10));
        p.drawLine(QPointF(12, 10), QPointF(12, 110));
        p.drawLine(QPointF(12, 110), QPointF(20, 110));
        p.drawLine(QPointF(140, 10), QPointF(148, 10));
        p.drawLine(QPointF(148, 10), QPointF(148, 110));
        p.drawLine(QPointF(148, 110), QPointF(140, 110));
        const QColor rows[3] = {kRed, kGreen, kBlue};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                QColor col = rows[r];
                col.setAlpha(r == c ? 255 : 90);
                p.setPen(Qt::NoPen);
                p.setBrush(col);
                p.drawRoundedRect(QRectF(26 + c * 38, 18 + r * 30, 32, 24), 4, 4);
            }
    }, nullptr, Qt::white);
    save(icon + "Result.PNG", 240, 160, [](QPainter& p) {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 6; ++c) {
                const QColor col = QColor::fromHsv((c * 60 + r * 15) % 360, 60 + r * 60, 230 - r * 25);
                p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
                p.setBrush(r == 3 ? QColor::fromHsv(0, 0, 255 - c * 45) : col);
                p.drawRect(QRectF(8 + c * 38, 8 + r * 37, 34, 33));
            }
    }, "PNG", QColor(0x20, 0x20, 0x20));

    // The maker's mark: three offset bars in the lens colour.
    save(QStringLiteral("image/norrikombrel.jpg"), 240, 80, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 3; ++i) {
            QLinearGradient g(0, 0, 240, 0);
            g.setColorAt(0, kBlue.lighter(100 + i * 25));
            g.setColorAt(1, kInk);
            p.setBrush(g);
            p.drawRoundedRect(QRectF(20 + i * 24, 14 + i * 18, 200 - i * 48, 14), 7, 7);
        }
        lens(p, QPointF(196, 40), 22);
    }, "JPG", Qt::white);
    return 0;
}
