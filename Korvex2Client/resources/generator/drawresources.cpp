// Draws the program's images and icons and writes them into the resource folder.
// Usage: korvex_drawresources <resource folder>   (Korvex2Client/resources/Resource)
// The pictures are committed; run this again only to change them.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <cmath>
#include <functional>

#include <Magick++.h>

namespace {

const QColor deepBlue(4, 52, 108);
const QColor midBlue(0, 85, 127);
const QColor skyBlue(98, 146, 255);
const QColor orange(245, 163, 0);
const QColor green(46, 160, 67);
const QColor red(200, 50, 50);
const QColor grey(110, 118, 128);

QImage canvas(int w, int h, const QColor &fill = Qt::transparent)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

// Paints on a 100 x 100 design grid scaled to the image.
QImage icon(int size, const std::function<void(QPainter &)> &draw)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(size / 100.0, size / 100.0);
    draw(p);
    return image;
}

QLinearGradient vertical(qreal top, qreal bottom, const QColor &a, const QColor &b)
{
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    return g;
}

void disc(QPainter &p, const QColor &c, qreal inset = 6)
{
    p.setPen(QPen(c.darker(130), 3));
    p.setBrush(vertical(inset, 100 - inset, c.lighter(135), c));
    p.drawEllipse(QRectF(inset, inset, 100 - 2 * inset, 100 - 2 * inset));
}

void person(QPainter &p, const QColor &c, qreal dx = 0, qreal dy = 0, qreal scale = 1)
{
    p.save();
    p.translate(dx, dy);
    p.scale(scale, scale);
    p.setPen(QPen(c.darker(140), 2.5));
    p.setBrush(vertical(10, 90, c.lighter(140), c));
    p.drawEllipse(QRectF(32, 10, 36, 36));
    QPainterPath body;
    body.moveTo(14, 92);
    body.cubicTo(14, 60, 30, 50, 50, 50);
    body.cubicTo(70, 50, 86, 60, 86, 92);
    body.closeSubpath();
    p.drawPath(body);
    p.restore();
}

void badge(QPainter &p, const QColor &c, qreal x, qreal y, qreal r)
{
    p.setPen(QPen(Qt::white, 3));
    p.setBrush(vertical(y - r, y + r, c.lighter(130), c));
    p.drawEllipse(QPointF(x, y), r, r);
}

void plusSign(QPainter &p, qreal x, qreal y, qreal r)
{
    p.setPen(QPen(Qt::white, r / 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(x - r * 0.55, y), QPointF(x + r * 0.55, y));
    p.drawLine(QPointF(x, y - r * 0.55), QPointF(x, y + r * 0.55));
}

void key(QPainter &p, const QColor &c)
{
    p.setPen(QPen(c.darker(140), 3));
    p.setBrush(vertical(10, 90, c.lighter(130), c));
    QPainterPath path;
    path.addEllipse(QRectF(8, 30, 40, 40));
    path.addRect(QRectF(44, 44, 48, 12));
    path.addRect(QRectF(72, 56, 8, 14));
    path.addRect(QRectF(84, 56, 8, 10));
    path = path.simplified();
    QPainterPath hole;
    hole.addEllipse(QRectF(18, 42, 14, 16));
    p.drawPath(path.subtracted(hole));
}

void envelope(QPainter &p, const QRectF &r, const QColor &c)
{
    p.setPen(QPen(c.darker(150), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(vertical(r.top(), r.bottom(), Qt::white, QColor(226, 233, 244)));
    p.drawRoundedRect(r, 4, 4);
    QPainterPath flap;
    flap.moveTo(r.topLeft() + QPointF(2, 2));
    flap.lineTo(r.center().x(), r.top() + r.height() * 0.58);
    flap.lineTo(r.topRight() + QPointF(-2, 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(flap);
}

void arrowRight(QPainter &p, const QPointF &from, qreal length, const QColor &c, qreal width)
{
    p.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawLine(from, from + QPointF(length, 0));
    p.drawLine(from + QPointF(length, 0), from + QPointF(length - width * 1.6, -width * 1.6));
    p.drawLine(from + QPointF(length, 0), from + QPointF(length - width * 1.6, width * 1.6));
}

void plug(QPainter &p, qreal x, qreal y, qreal angle, const QColor &c, bool prongs)
{
    p.save();
    p.translate(x, y);
    p.rotate(angle);
    p.setPen(QPen(c.darker(140), 2.5));
    p.setBrush(vertical(-14, 14, c.lighter(140), c));
    p.drawRoundedRect(QRectF(-16, -13, 28, 26), 6, 6);
    if (prongs) {
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(12, -9, 12, 5));
        p.drawRect(QRectF(12, 4, 12, 5));
    } else {
        p.setBrush(QColor(60, 60, 60));
        p.drawRect(QRectF(8, -8, 4, 4));
        p.drawRect(QRectF(8, 4, 4, 4));
    }
    p.setPen(QPen(c.darker(120), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(-16, 0), QPointF(-34, 0));
    p.restore();
}

void document(QPainter &p, const QRectF &r, const QColor &edge)
{
    const qreal fold = r.width() * 0.28;
    QPainterPath page;
    page.moveTo(r.topLeft());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.bottomRight());
    page.lineTo(r.bottomLeft());
    page.closeSubpath();
    p.setPen(QPen(edge, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(vertical(r.top(), r.bottom(), Qt::white, QColor(232, 236, 242)));
    p.drawPath(page);
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    p.setBrush(QColor(210, 218, 230));
    p.drawPath(corner);
}

void photoPrint(QPainter &p, const QRectF &r, qreal angle)
{
    p.save();
    p.translate(r.center());
    p.rotate(angle);
    const QRectF frame(-r.width() / 2, -r.height() / 2, r.width(), r.height());
    p.setPen(QPen(QColor(150, 150, 150), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(frame);
    const QRectF picture = frame.adjusted(5, 5, -5, -5);
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(picture.top(), picture.bottom(), QColor(120, 180, 240), QColor(200, 230, 255)));
    p.drawRect(picture);
    p.setBrush(QColor(255, 210, 60));
    p.drawEllipse(QPointF(picture.right() - picture.width() * 0.25, picture.top() + picture.height() * 0.28),
                  picture.width() * 0.1, picture.width() * 0.1);
    QPainterPath hills;
    hills.moveTo(picture.bottomLeft());
    hills.lineTo(picture.left(), picture.bottom() - picture.height() * 0.3);
    hills.lineTo(picture.left() + picture.width() * 0.35, picture.bottom() - picture.height() * 0.62);
    hills.lineTo(picture.left() + picture.width() * 0.6, picture.bottom() - picture.height() * 0.35);
    hills.lineTo(picture.left() + picture.width() * 0.75, picture.bottom() - picture.height() * 0.48);
    hills.lineTo(picture.right(), picture.bottom() - picture.height() * 0.25);
    hills.lineTo(picture.bottomRight());
    hills.closeSubpath();
    p.setBrush(vertical(picture.top(), picture.bottom(), QColor(80, 170, 90), QColor(40, 120, 60)));
    p.drawPath(hills);
    p.restore();
}

void camera(QPainter &p, const QRectF &r)
{
    const QColor body(48, 56, 68);
    p.setPen(QPen(body.darker(150), r.width() * 0.02));
    p.setBrush(vertical(r.top(), r.bottom(), body.lighter(150), body));
    p.drawRoundedRect(QRectF(r.left() + r.width() * 0.30, r.top(), r.width() * 0.34, r.height() * 0.22),
                      r.width() * 0.04, r.width() * 0.04);
    p.drawRoundedRect(QRectF(r.left(), r.top() + r.height() * 0.15, r.width(), r.height() * 0.85),
                      r.width() * 0.1, r.width() * 0.1);
    const QPointF c(r.center().x(), r.top() + r.height() * 0.58);
    const qreal lens = r.height() * 0.32;
    QRadialGradient glass(c, lens);
    glass.setColorAt(0, QColor(120, 170, 230));
    glass.setColorAt(0.6, QColor(20, 50, 110));
    glass.setColorAt(1, QColor(10, 20, 40));
    p.setPen(QPen(QColor(200, 205, 215), r.width() * 0.04));
    p.setBrush(glass);
    p.drawEllipse(c, lens, lens);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawEllipse(c + QPointF(-lens * 0.35, -lens * 0.35), lens * 0.18, lens * 0.18);
    p.setBrush(orange);
    p.drawEllipse(QPointF(r.right() - r.width() * 0.14, r.top() + r.height() * 0.32), r.width() * 0.05,
                  r.width() * 0.05);
}

// Each image of the resource collection, by its path inside the folder.
struct Picture
{
    QString path;
    std::function<QImage()> draw;
};

// Photo print editing and preview: the print list's warning sign and the photo editor's
// pictures and buttons (its brightness picture is among the GIFs below).
QList<Picture> photoEditPictures()
{
    QList<Picture> list;
    list << Picture{"128x128/warning.png", [] {
        return icon(128, [](QPainter &p) {
            QPainterPath triangle;
            triangle.moveTo(50, 8);
            triangle.lineTo(94, 88);
            triangle.lineTo(6, 88);
            triangle.closeSubpath();
            p.setPen(QPen(QColor(150, 90, 0), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(vertical(8, 88, QColor(255, 220, 90), orange));
            p.drawPath(triangle);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(60, 40, 0));
            p.drawRoundedRect(QRectF(45, 30, 10, 36), 4, 4);
            p.drawEllipse(QPointF(50, 76), 6, 6);
        });
    }};
    list << Picture{"adatta.png", [] {
        return icon(48, [](QPainter &p) {
            // The whole photo inside the print, white bands above and below.
            p.setPen(QPen(QColor(150, 150, 150), 3));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(8, 8, 84, 84));
            photoPrint(p, QRectF(12, 26, 76, 48), 0);
            p.setPen(QPen(midBlue, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({QPointF(40, 14), QPointF(50, 22), QPointF(60, 14)}));
            p.drawPolyline(QPolygonF({QPointF(40, 86), QPointF(50, 78), QPointF(60, 86)}));
        });
    }};
    list << Picture{"ritaglia.png", [] {
        return icon(48, [](QPainter &p) {
            // A photo with the part outside the print shaded and crop marks around the rest.
            photoPrint(p, QRectF(4, 16, 92, 68), 0);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0, 0, 0, 120));
            p.drawRect(QRectF(9, 21, 17, 58));
            p.drawRect(QRectF(74, 21, 17, 58));
            p.setPen(QPen(red, 5, Qt::SolidLine, Qt::SquareCap));
            p.drawPolyline(QPolygonF({QPointF(26, 34), QPointF(26, 21), QPointF(40, 21)}));
            p.drawPolyline(QPolygonF({QPointF(60, 79), QPointF(74, 79), QPointF(74, 66)}));
        });
    }};
    list << Picture{"rotate.png", [] {
        return icon(24, [](QPainter &p) {
            p.setPen(QPen(grey, 6));
            p.setBrush(QColor(235, 240, 248));
            p.drawRect(QRectF(12, 40, 56, 44));
            QPainterPath arc;
            arc.moveTo(40, 26);
            arc.cubicTo(QPointF(62, 8), QPointF(86, 20), QPointF(86, 48));
            p.setPen(QPen(green, 9, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            p.drawPath(arc);
            p.setPen(Qt::NoPen);
            p.setBrush(green);
            p.drawPolygon(QPolygonF({QPointF(72, 48), QPointF(98, 48), QPointF(86, 68)}));
        });
    }};
    list << Picture{"contrast.png", [] {
        return icon(32, [](QPainter &p) {
            p.setPen(QPen(QColor(40, 40, 40), 5));
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(50, 50), 40, 40);
            QPainterPath half;
            half.moveTo(50, 10);
            half.arcTo(QRectF(10, 10, 80, 80), 90, 180);
            half.closeSubpath();
            p.setBrush(QColor(40, 40, 40));
            p.drawPath(half);
        });
    }};
    list << Picture{"gamma.png", [] {
        return icon(32, [](QPainter &p) {
            p.setPen(QPen(midBlue, 4));
            p.setBrush(QColor(230, 238, 250));
            p.drawRoundedRect(QRectF(6, 6, 88, 88), 16, 16);
            QFont font("DejaVu Sans");
            font.setBold(true);
            font.setPixelSize(70);
            p.setFont(font);
            p.setPen(midBlue);
            p.drawText(QRectF(0, 0, 100, 92), Qt::AlignCenter, QString(QChar(0x03B3)));
        });
    }};
    return list;
}

QList<Picture> pictures()
{
    QList<Picture> list = photoEditPictures();

    list << Picture{"upload_start.png", [] {
        return icon(32, [](QPainter &p) {
            disc(p, green);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawPolygon(QPolygonF({QPointF(38, 27), QPointF(74, 50), QPointF(38, 73)}));
        });
    }};
    list << Picture{"upload_stop.png", [] {
        return icon(32, [](QPainter &p) {
            disc(p, red);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawRoundedRect(QRectF(32, 32, 36, 36), 4, 4);
        });
    }};
    list << Picture{"hide_up.png", [] {
        return icon(32, [](QPainter &p) {
            disc(p, skyBlue);
            p.setPen(QPen(Qt::white, 10, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(QPolygonF({QPointF(30, 60), QPointF(50, 40), QPointF(70, 60)}));
        });
    }};
    list << Picture{"disconnect.png", [] {
        return icon(32, [](QPainter &p) {
            plug(p, 34, 60, -30, grey, true);
            plug(p, 70, 40, 150, grey, false);
            p.setPen(QPen(red, 6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(48, 32), QPointF(56, 24));
            p.drawLine(QPointF(58, 70), QPointF(66, 62));
        });
    }};
    list << Picture{"connect.png", [] {
        return icon(32, [](QPainter &p) {
            plug(p, 40, 56, -30, green, true);
            plug(p, 62, 44, 150, green, false);
        });
    }};
    list << Picture{"database-start.png", [] {
        return icon(32, [](QPainter &p) {
            const QColor c(90, 120, 170);
            p.setPen(QPen(c.darker(140), 3));
            p.setBrush(vertical(10, 90, c.lighter(150), c));
            p.drawRect(QRectF(14, 20, 60, 62));
            p.drawEllipse(QRectF(14, 72, 60, 20));
            p.setPen(Qt::NoPen);
            p.drawRect(QRectF(15.5, 20, 57, 62));
            p.setPen(QPen(c.darker(140), 3));
            p.setBrush(c.lighter(170));
            p.drawEllipse(QRectF(14, 10, 60, 20));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(14, 32, 60, 20), 180 * 16, 180 * 16);
            p.drawArc(QRectF(14, 52, 60, 20), 180 * 16, 180 * 16);
            badge(p, green, 74, 74, 20);
            plusSign(p, 74, 74, 20);
        });
    }};
    list << Picture{"Tools.png", [] {
        return icon(32, [](QPainter &p) {
            p.translate(50, 50);
            const QColor c(120, 128, 140);
            QPainterPath gear;
            const int teeth = 8;
            for (int i = 0; i < teeth * 2; ++i) {
                const qreal a = i * M_PI / teeth;
                const qreal r = (i % 2) ? 32 : 44;
                const qreal w = M_PI / teeth * 0.5;
                const QPointF p1(r * std::cos(a - w), r * std::sin(a - w));
                const QPointF p2(r * std::cos(a + w), r * std::sin(a + w));
                if (i == 0)
                    gear.moveTo(p1);
                else
                    gear.lineTo(p1);
                gear.lineTo(p2);
            }
            gear.closeSubpath();
            QPainterPath hole;
            hole.addEllipse(QPointF(0, 0), 14, 14);
            p.setPen(QPen(c.darker(150), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(vertical(-44, 44, c.lighter(150), c));
            p.drawPath(gear.subtracted(hole));
        });
    }};
    list << Picture{"256x256/orders.png", [] {
        return icon(256, [](QPainter &p) {
            const QColor board(170, 120, 70);
            p.setPen(QPen(board.darker(140), 3));
            p.setBrush(vertical(8, 96, board.lighter(130), board));
            p.drawRoundedRect(QRectF(14, 10, 72, 86), 6, 6);
            document(p, QRectF(22, 18, 56, 72), QColor(150, 160, 175));
            p.setPen(QPen(QColor(110, 110, 110), 3));
            p.setBrush(vertical(4, 20, QColor(230, 230, 230), QColor(160, 160, 160)));
            p.drawRoundedRect(QRectF(36, 4, 28, 14), 4, 4);
            for (int i = 0; i < 4; ++i) {
                const qreal y = 36 + i * 13;
                p.setPen(QPen(green, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                p.drawPolyline(QPolygonF({QPointF(29, y), QPointF(32, y + 4), QPointF(38, y - 4)}));
                p.setPen(QPen(QColor(120, 130, 145), 4, Qt::SolidLine, Qt::RoundCap));
                p.drawLine(QPointF(44, y), QPointF(i % 2 ? 62 : 68, y));
            }
        });
    }};
    list << Picture{"information.png", [] {
        return icon(32, [](QPainter &p) {
            disc(p, QColor(40, 110, 200));
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(50, 28), 7, 7);
            p.drawRoundedRect(QRectF(43, 42, 14, 36), 4, 4);
        });
    }};
    list << Picture{"exit.png", [] {
        return icon(32, [](QPainter &p) {
            const QColor door(150, 100, 60);
            p.setPen(QPen(door.darker(150), 3));
            p.setBrush(vertical(10, 90, door.lighter(130), door));
            p.drawRect(QRectF(14, 10, 46, 82));
            p.setBrush(QColor(250, 220, 120));
            p.drawEllipse(QPointF(52, 52), 4, 4);
            arrowRight(p, QPointF(48, 50), 42, red, 9);
        });
    }};
    list << Picture{"Login.png", [] {
        return icon(128, [](QPainter &p) {
            person(p, QColor(60, 120, 200), -4, 0, 0.92);
            // padlock
            const QColor metal(230, 170, 30);
            p.setPen(QPen(QColor(120, 120, 120), 6, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(64, 50, 24, 28), 0, 180 * 16);
            p.drawLine(QPointF(64, 64), QPointF(64, 68));
            p.drawLine(QPointF(88, 64), QPointF(88, 68));
            p.setPen(QPen(metal.darker(150), 2.5));
            p.setBrush(vertical(66, 96, metal.lighter(130), metal));
            p.drawRoundedRect(QRectF(56, 66, 40, 30), 5, 5);
            p.setPen(Qt::NoPen);
            p.setBrush(metal.darker(170));
            p.drawEllipse(QPointF(76, 78), 4, 4);
            p.drawRect(QRectF(74.5, 79, 3, 9));
        });
    }};
    list << Picture{"128x128/user_signup.png", [] {
        return icon(128, [](QPainter &p) {
            person(p, QColor(60, 120, 200), -6, 2, 0.92);
            badge(p, green, 76, 74, 20);
            plusSign(p, 76, 74, 20);
        });
    }};
    list << Picture{"logout2.png", [] {
        return icon(32, [](QPainter &p) { key(p, QColor(230, 170, 30)); });
    }};
    list << Picture{"send_username_icon.png", [] {
        return icon(32, [](QPainter &p) {
            envelope(p, QRectF(6, 24, 66, 48), midBlue);
            arrowRight(p, QPointF(52, 70), 40, green, 9);
        });
    }};
    list << Picture{"256x256/photo.png", [] {
        return icon(256, [](QPainter &p) {
            photoPrint(p, QRectF(12, 22, 58, 46), -12);
            photoPrint(p, QRectF(30, 30, 62, 50), 8);
        });
    }};
    list << Picture{"256x256/file.png", [] {
        return icon(256, [](QPainter &p) {
            document(p, QRectF(18, 8, 56, 76), QColor(120, 130, 150));
            p.setPen(QPen(QColor(160, 170, 185), 4, Qt::SolidLine, Qt::RoundCap));
            for (int i = 0; i < 4; ++i)
                p.drawLine(QPointF(28, 36 + i * 10), QPointF(i == 3 ? 50 : 62, 36 + i * 10));
            badge(p, midBlue, 72, 74, 21);
            p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLine(QPointF(72, 86), QPointF(72, 62));
            p.drawPolyline(QPolygonF({QPointF(62, 70), QPointF(72, 60), QPointF(82, 70)}));
        });
    }};
    list << Picture{"icona.ico", [] {
        return icon(32, [](QPainter &p) {
            p.setPen(QPen(deepBlue.darker(130), 3));
            p.setBrush(vertical(4, 96, skyBlue, deepBlue));
            p.drawRoundedRect(QRectF(4, 4, 92, 92), 20, 20);
            QFont font("DejaVu Sans");
            font.setBold(true);
            font.setPixelSize(74);
            p.setFont(font);
            p.setPen(Qt::white);
            p.drawText(QRectF(0, 0, 100, 100), Qt::AlignCenter, "K");
            p.setPen(Qt::NoPen);
            p.setBrush(orange);
            p.drawEllipse(QPointF(76, 24), 9, 9);
        });
    }};
    list << Picture{"main_window_banner.jpg", [] {
        QImage image = canvas(640, 79, Qt::white);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        QLinearGradient sky(0, 0, 640, 0);
        sky.setColorAt(0, deepBlue);
        sky.setColorAt(0.55, QColor(20, 90, 170));
        sky.setColorAt(1, skyBlue);
        p.fillRect(image.rect(), sky);
        // a fan of prints on the right
        photoPrint(p, QRectF(470, 12, 66, 52), -10);
        photoPrint(p, QRectF(520, 10, 66, 52), 4);
        photoPrint(p, QRectF(566, 14, 60, 48), 14);
        camera(p, QRectF(18, 14, 64, 50));
        QFont title("DejaVu Sans");
        title.setBold(true);
        title.setPixelSize(34);
        p.setFont(title);
        p.setPen(Qt::white);
        p.drawText(QRectF(98, 6, 360, 44), Qt::AlignLeft | Qt::AlignVCenter, "Korvex");
        QFont tagline("DejaVu Sans");
        tagline.setPixelSize(14);
        p.setFont(tagline);
        p.setPen(QColor(255, 214, 120));
        p.drawText(QRectF(100, 46, 360, 24), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromUtf8("Le tue foto, stampate dal tuo laboratorio"));
        return image;
    }};
    list << Picture{"AboutBg.jpg", [] {
        QImage image = canvas(390, 327, Qt::white);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        QLinearGradient sky(0, 0, 0, 200);
        sky.setColorAt(0, deepBlue);
        sky.setColorAt(1, QColor(40, 110, 200));
        p.fillRect(QRectF(0, 0, 390, 200), sky);
        QLinearGradient paper(0, 200, 0, 327);
        paper.setColorAt(0, Qt::white);
        paper.setColorAt(1, QColor(233, 239, 248));
        p.fillRect(QRectF(0, 200, 390, 127), paper);
        p.setPen(QPen(orange, 3));
        p.drawLine(QPointF(0, 200), QPointF(390, 200));
        photoPrint(p, QRectF(196, 40, 110, 86), -12);
        photoPrint(p, QRectF(250, 60, 110, 86), 9);
        camera(p, QRectF(40, 60, 130, 100));
        return image;
    }};

    // Upload queue window and local order views.
    list << Picture{"256x256/Order.png", [] {
        return icon(256, [](QPainter &p) {
            // A parcel with a send arrow.
            const QColor box(196, 146, 84);
            p.setPen(QPen(box.darker(150), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(vertical(30, 92, box.lighter(125), box));
            p.drawRect(QRectF(10, 36, 62, 54));
            p.setBrush(box.lighter(140));
            p.drawPolygon(QPolygonF({QPointF(10, 36), QPointF(24, 22), QPointF(86, 22), QPointF(72, 36)}));
            p.setBrush(box.darker(115));
            p.drawPolygon(QPolygonF({QPointF(72, 36), QPointF(86, 22), QPointF(86, 76), QPointF(72, 90)}));
            p.setPen(QPen(QColor(240, 225, 190), 6));
            p.drawLine(QPointF(41, 36), QPointF(41, 90));
            p.drawLine(QPointF(41, 36), QPointF(55, 22));
            badge(p, green, 74, 74, 20);
            p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLine(QPointF(74, 86), QPointF(74, 62));
            p.drawPolyline(QPolygonF({QPointF(64, 71), QPointF(74, 61), QPointF(84, 71)}));
        });
    }};
    list << Picture{"256x256/GenericOrder.png", [] {
        return icon(256, [](QPainter &p) {
            // A file and a print together.
            document(p, QRectF(10, 10, 50, 68), QColor(120, 130, 150));
            p.setPen(QPen(QColor(160, 170, 185), 4, Qt::SolidLine, Qt::RoundCap));
            for (int i = 0; i < 3; ++i)
                p.drawLine(QPointF(18, 34 + i * 10), QPointF(i == 2 ? 36 : 46, 34 + i * 10));
            photoPrint(p, QRectF(40, 44, 54, 42), 8);
        });
    }};
    list << Picture{"OrderBackground.png", [] {
        // A faint watermark in the top left corner of the order summary.
        QImage image = canvas(260, 180);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setOpacity(0.06);
        p.setPen(Qt::NoPen);
        p.setBrush(midBlue);
        p.drawEllipse(QRectF(-90, -90, 260, 260));
        p.setOpacity(0.05);
        p.drawEllipse(QRectF(120, -60, 120, 120));
        return image;
    }};
    list << Picture{"details.png", [] {
        return icon(32, [](QPainter &p) {
            document(p, QRectF(14, 8, 52, 72), QColor(120, 130, 150));
            p.setPen(QPen(QColor(60, 70, 90), 9, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(QColor(220, 235, 255));
            p.drawEllipse(QPointF(56, 56), 16, 16);
            p.drawLine(QPointF(68, 68), QPointF(86, 86));
        });
    }};
    list << Picture{"edit.png", [] {
        return icon(32, [](QPainter &p) {
            p.save();
            p.translate(50, 50);
            p.rotate(45);
            p.setPen(QPen(QColor(150, 100, 20), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(vertical(-12, 12, QColor(255, 214, 90), orange));
            p.drawRect(QRectF(-30, -11, 52, 22));
            p.setBrush(QColor(240, 200, 160));
            p.drawPolygon(QPolygonF({QPointF(22, -11), QPointF(42, 0), QPointF(22, 11)}));
            p.setBrush(QColor(230, 110, 120));
            p.drawRect(QRectF(-42, -11, 12, 22));
            p.restore();
        });
    }};
    list << Picture{"Stop-upload.png", [] {
        return icon(32, [](QPainter &p) {
            disc(p, red);
            p.setPen(QPen(Qt::white, 11, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(34, 34), QPointF(66, 66));
            p.drawLine(QPointF(66, 34), QPointF(34, 66));
        });
    }};
    list << Picture{"archive.png", [] {
        return icon(32, [](QPainter &p) {
            disc(p, green);
            p.setPen(QPen(Qt::white, 10, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.drawLine(QPointF(50, 74), QPointF(50, 30));
            p.drawPolyline(QPolygonF({QPointF(32, 47), QPointF(50, 28), QPointF(68, 47)}));
        });
    }};
    list << Picture{"trash.png", [] {
        return icon(32, [](QPainter &p) {
            const QColor metal(120, 128, 140);
            p.setPen(QPen(metal.darker(150), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(vertical(26, 92, metal.lighter(160), metal));
            p.drawPolygon(QPolygonF({QPointF(22, 28), QPointF(78, 28), QPointF(72, 92), QPointF(28, 92)}));
            p.setBrush(metal.lighter(130));
            p.drawRoundedRect(QRectF(14, 16, 72, 12), 3, 3);
            p.drawRoundedRect(QRectF(40, 8, 20, 10), 3, 3);
            p.setPen(QPen(metal.darker(170), 4, Qt::SolidLine, Qt::RoundCap));
            for (qreal x : {38.0, 50.0, 62.0})
                p.drawLine(QPointF(x, 40), QPointF(x, 82));
        });
    }};
    list << Picture{"hide_down.png", [] {
        return icon(32, [](QPainter &p) {
            disc(p, skyBlue);
            p.setPen(QPen(Qt::white, 10, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(QPolygonF({QPointF(30, 42), QPointF(50, 62), QPointF(70, 42)}));
        });
    }};

    // Settings window, update check and download.
    list << Picture{"256x256/Settings.png", [] {
        return icon(256, [](QPainter &p) {
            p.translate(50, 50);
            const QColor c(90, 110, 140);
            QPainterPath gear;
            const int teeth = 10;
            for (int i = 0; i < teeth * 2; ++i) {
                const qreal a = i * M_PI / teeth;
                const qreal r = (i % 2) ? 34 : 44;
                const qreal w = M_PI / teeth * 0.5;
                const QPointF p1(r * std::cos(a - w), r * std::sin(a - w));
                const QPointF p2(r * std::cos(a + w), r * std::sin(a + w));
                if (i == 0)
                    gear.moveTo(p1);
                else
                    gear.lineTo(p1);
                gear.lineTo(p2);
            }
            gear.closeSubpath();
            QPainterPath hole;
            hole.addEllipse(QPointF(0, 0), 15, 15);
            p.setPen(QPen(c.darker(150), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(vertical(-44, 44, c.lighter(160), c));
            p.drawPath(gear.subtracted(hole));
            p.setBrush(vertical(-12, 12, skyBlue.lighter(130), midBlue));
            p.drawEllipse(QPointF(0, 0), 9, 9);
        });
    }};
    list << Picture{"256x256/email.png", [] {
        return icon(256, [](QPainter &p) {
            envelope(p, QRectF(8, 22, 84, 58), midBlue);
            badge(p, orange, 78, 74, 16);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawRoundedRect(QRectF(75.5, 63, 5, 13), 2, 2);
            p.drawEllipse(QPointF(78, 82), 3, 3);
        });
    }};
    list << Picture{"vertical_line.png", [] {
        QImage image = canvas(3, 200);
        QPainter p(&image);
        QLinearGradient g(0, 0, 0, 200);
        g.setColorAt(0, QColor(204, 214, 230, 0));
        g.setColorAt(0.3, QColor(170, 186, 210));
        g.setColorAt(0.7, QColor(170, 186, 210));
        g.setColorAt(1, QColor(204, 214, 230, 0));
        p.fillRect(QRectF(1, 0, 1, 200), g);
        return image;
    }};
    list << Picture{"window_close.png", [] {
        return icon(32, [](QPainter &p) {
            disc(p, red);
            p.setPen(QPen(Qt::white, 11, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(34, 34), QPointF(66, 66));
            p.drawLine(QPointF(66, 34), QPointF(34, 66));
        });
    }};
    list << Picture{"save.png", [] {
        return icon(32, [](QPainter &p) {
            const QColor c(40, 90, 160);
            p.setPen(QPen(c.darker(150), 3));
            p.setBrush(vertical(8, 92, c.lighter(140), c));
            p.drawRoundedRect(QRectF(10, 10, 80, 80), 8, 8);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(24, 12, 52, 30));
            p.setBrush(QColor(200, 200, 210));
            p.drawRect(QRectF(28, 60, 44, 30));
            p.setBrush(c.darker(130));
            p.drawRect(QRectF(58, 16, 10, 22));
        });
    }};
    list << Picture{"software_update.png", [] {
        return icon(32, [](QPainter &p) {
            disc(p, green);
            p.setPen(QPen(Qt::white, 9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawArc(QRectF(26, 26, 48, 48), 120 * 16, 270 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawPolygon(QPolygonF({QPointF(24, 22), QPointF(44, 30), QPointF(26, 44)}));
        });
    }};
    list << Picture{"undo_human.png", [] {
        return icon(32, [](QPainter &p) {
            const QColor c(60, 120, 200);
            p.setPen(QPen(c, 12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            QPainterPath path;
            path.moveTo(30, 42);
            path.lineTo(62, 42);
            path.cubicTo(90, 42, 90, 84, 62, 84);
            path.lineTo(40, 84);
            p.drawPath(path);
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawPolygon(QPolygonF({QPointF(8, 42), QPointF(36, 20), QPointF(36, 64)}));
        });
    }};
    list << Picture{"128x128/swf-loader-icon.png", [] {
        return icon(128, [](QPainter &p) {
            for (int i = 0; i < 12; ++i) {
                p.save();
                p.translate(50, 50);
                p.rotate(i * 30);
                QColor c = midBlue;
                c.setAlpha(40 + i * 18);
                p.setPen(QPen(c, 9, Qt::SolidLine, Qt::RoundCap));
                p.drawLine(QPointF(0, -22), QPointF(0, -40));
                p.restore();
            }
        });
    }};

    // Photo print composer: folder bar, browser and print list commands, bottom bar.
    const auto folderShape = [](QPainter &p, const QColor &c) {
        p.setPen(QPen(c.darker(140), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(vertical(20, 84, c.lighter(150), c));
        QPainterPath path;
        path.moveTo(8, 84);
        path.lineTo(8, 22);
        path.lineTo(38, 22);
        path.lineTo(46, 32);
        path.lineTo(92, 32);
        path.lineTo(92, 84);
        path.closeSubpath();
        p.drawPath(path);
    };
    const auto arrowHead = [](QPainter &p, bool right, const QColor &c) {
        p.setPen(QPen(c.darker(140), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(vertical(14, 86, c.lighter(140), c));
        QPolygonF shape({QPointF(10, 38), QPointF(50, 38), QPointF(50, 14), QPointF(90, 50),
                         QPointF(50, 86), QPointF(50, 62), QPointF(10, 62)});
        if (!right)
            for (QPointF &pt : shape)
                pt.setX(100 - pt.x());
        p.drawPolygon(shape);
    };
    const auto smallPrints = [](QPainter &p) {
        photoPrint(p, QRectF(6, 20, 56, 44), -10);
        photoPrint(p, QRectF(22, 28, 58, 46), 6);
    };
    list << Picture{"folder.png", [folderShape] {
        return icon(16, [folderShape](QPainter &p) { folderShape(p, orange); });
    }};
    list << Picture{"go.gif", [arrowHead] {
        return icon(16, [arrowHead](QPainter &p) { arrowHead(p, true, green); });
    }};
    list << Picture{"arrow_right.png", [arrowHead] {
        return icon(32, [arrowHead](QPainter &p) { arrowHead(p, true, skyBlue); });
    }};
    list << Picture{"arrow_left.png", [arrowHead] {
        return icon(32, [arrowHead](QPainter &p) { arrowHead(p, false, skyBlue); });
    }};
    list << Picture{"add_all.gif", [smallPrints] {
        return icon(24, [smallPrints](QPainter &p) {
            smallPrints(p);
            badge(p, green, 74, 74, 22);
            plusSign(p, 74, 74, 22);
        });
    }};
    list << Picture{"add_selected.gif", [] {
        return icon(24, [](QPainter &p) {
            photoPrint(p, QRectF(10, 16, 62, 50), -4);
            badge(p, green, 74, 74, 22);
            plusSign(p, 74, 74, 22);
        });
    }};
    list << Picture{"icon_mode.png", [] {
        return icon(16, [](QPainter &p) {
            p.setPen(QPen(midBlue.darker(130), 3));
            p.setBrush(vertical(0, 100, skyBlue.lighter(140), skyBlue));
            for (int r = 0; r < 2; ++r)
                for (int c = 0; c < 2; ++c)
                    p.drawRoundedRect(QRectF(8 + c * 46, 8 + r * 46, 38, 38), 6, 6);
        });
    }};
    list << Picture{"details_mode.gif", [] {
        return icon(16, [](QPainter &p) {
            for (int r = 0; r < 4; ++r) {
                p.setPen(Qt::NoPen);
                p.setBrush(skyBlue);
                p.drawRect(QRectF(8, 10 + r * 22, 16, 14));
                p.setBrush(grey);
                p.drawRect(QRectF(32, 13 + r * 22, 60, 8));
            }
        });
    }};
    list << Picture{"128x128/broken-file-access.png", [] {
        return icon(128, [](QPainter &p) {
            document(p, QRectF(18, 8, 56, 76), QColor(120, 130, 150));
            p.setPen(QPen(Qt::white, 5));
            p.drawPolyline(QPolygonF({QPointF(22, 46), QPointF(36, 38), QPointF(46, 52),
                                      QPointF(58, 42), QPointF(72, 50)}));
            badge(p, red, 72, 74, 21);
            p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(64, 66), QPointF(80, 82));
            p.drawLine(QPointF(80, 66), QPointF(64, 82));
        });
    }};
    list << Picture{"change-file.gif", [] {
        return icon(24, [](QPainter &p) {
            document(p, QRectF(10, 6, 46, 62), QColor(120, 130, 150));
            arrowRight(p, QPointF(40, 78), 44, green, 8);
        });
    }};
    list << Picture{"picture_edit.png", [] {
        return icon(24, [](QPainter &p) {
            photoPrint(p, QRectF(8, 14, 62, 50), 0);
            p.setPen(QPen(orange.darker(130), 12, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(54, 88), QPointF(90, 50));
        });
    }};
    list << Picture{"select_all.png", [] {
        return icon(24, [](QPainter &p) {
            p.setPen(QPen(midBlue, 4, Qt::DashLine));
            p.setBrush(QColor(220, 235, 255));
            p.drawRect(QRectF(10, 10, 80, 80));
            p.setPen(QPen(green, 10, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(QPolygonF({QPointF(28, 52), QPointF(44, 68), QPointF(74, 32)}));
        });
    }};
    list << Picture{"removeFile.gif", [] {
        return icon(24, [](QPainter &p) {
            photoPrint(p, QRectF(10, 16, 62, 50), -4);
            badge(p, red, 74, 74, 22);
            p.setPen(QPen(Qt::white, 8, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(62, 74), QPointF(86, 74));
        });
    }};
    list << Picture{"upload.png", [] {
        return icon(32, [](QPainter &p) {
            disc(p, green);
            p.setPen(QPen(Qt::white, 10, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLine(QPointF(50, 74), QPointF(50, 30));
            p.drawPolyline(QPolygonF({QPointF(32, 46), QPointF(50, 28), QPointF(68, 46)}));
        });
    }};

    // Order manager window.
    const auto parcel = [](QPainter &p, const QColor &box) {
        p.setPen(QPen(box.darker(150), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(vertical(30, 92, box.lighter(125), box));
        p.drawRect(QRectF(10, 36, 62, 54));
        p.setBrush(box.lighter(140));
        p.drawPolygon(QPolygonF({QPointF(10, 36), QPointF(24, 22), QPointF(86, 22), QPointF(72, 36)}));
        p.setBrush(box.darker(115));
        p.drawPolygon(QPolygonF({QPointF(72, 36), QPointF(86, 22), QPointF(86, 76), QPointF(72, 90)}));
        p.setPen(QPen(QColor(240, 225, 190), 6));
        p.drawLine(QPointF(41, 36), QPointF(41, 90));
        p.drawLine(QPointF(41, 36), QPointF(55, 22));
    };
    list << Picture{"256x256/package_add_256.png", [parcel] {
        return icon(256, [parcel](QPainter &p) {
            // A parcel waiting to leave.
            parcel(p, QColor(196, 146, 84));
            badge(p, skyBlue, 74, 74, 20);
            plusSign(p, 74, 74, 12);
        });
    }};
    list << Picture{"256x256/package_accept_256.png", [parcel] {
        return icon(256, [parcel](QPainter &p) {
            // A parcel that has left, ticked.
            parcel(p, QColor(196, 146, 84));
            badge(p, green, 74, 74, 20);
            p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(QPolygonF({QPointF(64, 75), QPointF(72, 83), QPointF(85, 66)}));
        });
    }};
    list << Picture{"256x256/question256.png", [] {
        return icon(256, [](QPainter &p) {
            disc(p, skyBlue);
            QFont font(QStringLiteral("DejaVu Sans"));
            font.setPixelSize(64);
            font.setBold(true);
            p.setFont(font);
            p.setPen(Qt::white);
            p.drawText(QRectF(0, 0, 100, 100), Qt::AlignCenter, QStringLiteral("?"));
        });
    }};
    // The print card's duplicate button: a second print behind the first, with a plus.
    list << Picture{"add-source-copy.gif", [] {
        return icon(24, [](QPainter &p) {
            photoPrint(p, QRectF(22, 8, 58, 46), 6);
            photoPrint(p, QRectF(8, 22, 58, 46), -4);
            badge(p, green, 74, 74, 22);
            plusSign(p, 74, 74, 22);
        });
    }};
    return list;
}

// Animations and the pictures kept as GIF, each as its frames and the delay between them.
struct Animation
{
    QString path;
    int delayCs; // hundredths of a second per frame
    std::function<QList<QImage>()> frames;
};

QList<QImage> spinnerFrames(int size, const QColor &colour)
{
    QList<QImage> frames;
    for (int f = 0; f < 8; ++f) {
        frames << icon(size, [&](QPainter &p) {
            for (int i = 0; i < 8; ++i) {
                p.save();
                p.translate(50, 50);
                p.rotate(i * 45);
                QColor c = colour;
                c.setAlpha(255 - ((f - i + 8) % 8) * 28);
                p.setPen(Qt::NoPen);
                p.setBrush(c);
                p.drawEllipse(QPointF(0, -34), 11, 11);
                p.restore();
            }
        });
    }
    return frames;
}

QList<Animation> animations()
{
    QList<Animation> list;
    // Photo print editing and preview.
    list << Animation{"brightness_32.gif", 0, [] {
        return QList<QImage>{icon(32, [](QPainter &p) {
            p.setPen(QPen(orange.darker(120), 7, Qt::SolidLine, Qt::RoundCap));
            for (int i = 0; i < 8; ++i) {
                const qreal a = i * M_PI / 4;
                p.drawLine(QPointF(50 + 30 * std::cos(a), 50 + 30 * std::sin(a)),
                           QPointF(50 + 44 * std::cos(a), 50 + 44 * std::sin(a)));
            }
            p.setPen(QPen(orange.darker(130), 3));
            p.setBrush(QColor(255, 210, 60));
            p.drawEllipse(QPointF(50, 50), 20, 20);
        })};
    }};
    list << Animation{"ajax-loader2.gif", 10, [] { return spinnerFrames(16, midBlue); }};
    list << Animation{"ajax-loader.gif", 10, [] { return spinnerFrames(32, midBlue); }};
    list << Animation{"OK_disabled.gif", 0, [] {
        return QList<QImage>{icon(16, [](QPainter &p) {
            disc(p, QColor(150, 158, 168));
            p.setPen(QPen(Qt::white, 12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(QPolygonF({QPointF(28, 52), QPointF(44, 68), QPointF(72, 34)}));
        })};
    }};
    list << Animation{"removeAllFile.gif", 0, [] {
        return QList<QImage>{icon(16, [](QPainter &p) {
            disc(p, red);
            p.setPen(QPen(Qt::white, 13, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(33, 33), QPointF(67, 67));
            p.drawLine(QPointF(67, 33), QPointF(33, 67));
        })};
    }};
    return list;
}

// A GIF has one bit of transparency: pixels under half opacity become transparent, the
// rest are painted over white.
Magick::Image gifFrame(const QImage &source, int delayCs)
{
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    QImage flat(image.size(), QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb px = image.pixel(x, y);
            const int a = qAlpha(px);
            if (a < 128) {
                flat.setPixel(x, y, qRgba(255, 255, 255, 0));
                continue;
            }
            const auto blend = [a](int c) { return (c * a + 255 * (255 - a)) / 255; };
            flat.setPixel(x, y, qRgba(blend(qRed(px)), blend(qGreen(px)), blend(qBlue(px)), 255));
        }
    }
    Magick::Image frame(static_cast<size_t>(flat.width()), static_cast<size_t>(flat.height()), "BGRA",
                        Magick::CharPixel, flat.constBits());
    frame.animationDelay(static_cast<size_t>(delayCs));
    frame.animationIterations(0);
    frame.gifDisposeMethod(Magick::BackgroundDispose);
    frame.magick("GIF");
    return frame;
}

bool writeAnimation(const Animation &animation, const QString &path)
{
    std::vector<Magick::Image> frames;
    for (const QImage &image : animation.frames())
        frames.push_back(gifFrame(image, animation.delayCs));
    try {
        Magick::writeImages(frames.begin(), frames.end(), path.toStdString(), true);
    } catch (const Magick::Exception &) {
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: korvex_drawresources <resource folder>\n";
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    int failures = 0;
    QList<Animation> stills;
    for (const Picture &picture : pictures()) {
        const QString path = folder.filePath(picture.path);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QImage image = picture.draw();
        if (path.endsWith(".gif")) {
            // Still pictures kept as GIF: one frame, written with the animations below.
            stills << Animation{picture.path, 0, [image] { return QList<QImage>{image}; }};
            continue;
        }
        if (!path.endsWith(".png"))
            image = image.convertToFormat(path.endsWith(".ico") ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (!image.save(path, nullptr, path.endsWith(".jpg") ? 92 : -1)) {
            err << "cannot write " << path << "\n";
            ++failures;
        }
    }
    Magick::InitializeMagick(argv[0]);
    for (const Animation &animation : animations() + stills) {
        const QString path = folder.filePath(animation.path);
        if (!writeAnimation(animation, path)) {
            err << "cannot write " << path << "\n";
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
