#include "gui/FormBitmap.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>
#include <array>
#include <cmath>
#include <functional>

namespace kv {
namespace {

// Every picture is drawn in a 32 x 32 design grid and scaled to its size. The
// 16-colour set uses the classic VGA palette, flat fills and no smoothing, so it
// stays crisp on a palette display; the high-colour set has gradients and
// anti-aliased edges.
class Artist {
  public:
    Artist(QPainter& painter, bool highColour) : p(painter), hi(highColour) {}

    QPainter& p;
    bool hi;

    QColor colour(QColor c) const { return hi ? c : nearestVga(c); }

    QBrush brush(QColor c, const QRectF& r) const {
        if (!hi) return QBrush(nearestVga(c));
        QLinearGradient g(r.topLeft(), r.bottomRight());
        g.setColorAt(0, c.lighter(150));
        g.setColorAt(1, c);
        return QBrush(g);
    }

    // A pen of the given width in the design grid. In the 16-colour set a pen
    // thinner than one pixel would be drawn half-transparent: it becomes a
    // plain one-pixel pen instead.
    QPen pen(QColor c, qreal width) const {
        QPen result(colour(c), width);
        if (!hi && width * p.transform().m11() < 1.0) {
            result.setCosmetic(true);
            result.setWidth(1);
        }
        return result;
    }

    void outline(QColor c, qreal width = 1.5) {
        QPen outlinePen = pen(c, width);
        outlinePen.setJoinStyle(Qt::RoundJoin);
        outlinePen.setCapStyle(Qt::RoundCap);
        p.setPen(outlinePen);
    }

    // A sheet of paper with a folded top-right corner.
    void page(const QRectF& r, bool lines = false) {
        const qreal f = r.width() * 0.3;
        QPolygonF shape;
        shape << r.topLeft() << QPointF(r.right() - f, r.top()) << QPointF(r.right(), r.top() + f)
              << r.bottomRight() << r.bottomLeft();
        outline(QColor(64, 64, 64));
        p.setBrush(hi ? brush(QColor(225, 232, 245), r) : QBrush(Qt::white));
        p.drawPolygon(shape);
        QPolygonF fold;
        fold << QPointF(r.right() - f, r.top()) << QPointF(r.right() - f, r.top() + f)
             << QPointF(r.right(), r.top() + f);
        p.setBrush(colour(QColor(192, 192, 192)));
        p.drawPolygon(fold);
        if (lines) {
            outline(QColor(0, 0, 128), 1.5);
            for (qreal y = r.top() + f + 3; y < r.bottom() - 2; y += 4)
                p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
        }
    }

    // A yellow folder, open (front flap tilted) or closed.
    void folder(const QRectF& r, bool open) {
        const QColor yellow(255, 200, 40);
        outline(QColor(128, 96, 0));
        p.setBrush(brush(yellow.darker(115), r));
        QPolygonF back;
        back << QPointF(r.left(), r.top() + r.height() * 0.15)
             << QPointF(r.left() + r.width() * 0.35, r.top() + r.height() * 0.15)
             << QPointF(r.left() + r.width() * 0.45, r.top() + r.height() * 0.3)
             << QPointF(r.right(), r.top() + r.height() * 0.3) << r.bottomRight() << r.bottomLeft();
        p.drawPolygon(back);
        p.setBrush(brush(yellow, r));
        QPolygonF front;
        if (open)
            front << QPointF(r.left() + r.width() * 0.18, r.top() + r.height() * 0.45)
                  << QPointF(r.right() + r.width() * 0.08, r.top() + r.height() * 0.45)
                  << QPointF(r.right(), r.bottom()) << r.bottomLeft();
        else
            front << QPointF(r.left(), r.top() + r.height() * 0.42)
                  << QPointF(r.right(), r.top() + r.height() * 0.42) << r.bottomRight()
                  << r.bottomLeft();
        p.drawPolygon(front);
    }

    // A brown cardboard box seen slightly from above, with its tape.
    void box(const QRectF& r) {
        const QColor brown(190, 130, 60);
        const qreal lid = r.height() * 0.28;
        outline(QColor(96, 56, 16));
        QPolygonF top;
        top << QPointF(r.left() + r.width() * 0.12, r.top())
            << QPointF(r.right() - r.width() * 0.12, r.top()) << QPointF(r.right(), r.top() + lid)
            << QPointF(r.left(), r.top() + lid);
        p.setBrush(brush(brown.lighter(120), r));
        p.drawPolygon(top);
        QRectF front(r.left(), r.top() + lid, r.width(), r.height() - lid);
        p.setBrush(brush(brown, front));
        p.drawRect(front);
        outline(QColor(240, 220, 160), 2.0);
        p.drawLine(QPointF(r.center().x(), r.top() + 1),
                   QPointF(r.center().x(), r.top() + lid + front.height() * 0.4));
    }

    // A thick arrow from a to b.
    void arrow(QPointF a, QPointF b, QColor c, qreal width = 6) {
        const qreal dx = b.x() - a.x(), dy = b.y() - a.y();
        const qreal len = std::hypot(dx, dy);
        if (len <= 0) return;
        const qreal ux = dx / len, uy = dy / len;
        const qreal head = width * 1.6;
        const QPointF base(b.x() - ux * head, b.y() - uy * head);
        const QPointF n(-uy, ux);
        QPolygonF shape;
        const qreal w = width / 2;
        shape << QPointF(a.x() + n.x() * w, a.y() + n.y() * w)
              << QPointF(base.x() + n.x() * w, base.y() + n.y() * w)
              << QPointF(base.x() + n.x() * head, base.y() + n.y() * head) << b
              << QPointF(base.x() - n.x() * head, base.y() - n.y() * head)
              << QPointF(base.x() - n.x() * w, base.y() - n.y() * w)
              << QPointF(a.x() - n.x() * w, a.y() - n.y() * w);
        outline(c.darker(170), 1.2);
        p.setBrush(brush(c, shape.boundingRect()));
        p.drawPolygon(shape);
    }

    // A plus or minus sign in a coloured square-ended cross.
    void sign(QPointF c, qreal size, QColor colour_, bool plus) {
        const qreal t = size / 3, h = size / 2;
        QPainterPath path;
        path.addRect(QRectF(c.x() - h, c.y() - t / 2, size, t));
        if (plus) {
            QPainterPath upright;
            upright.addRect(QRectF(c.x() - t / 2, c.y() - h, t, size));
            path = path.united(upright);
        }
        outline(colour_.darker(170), 1.2);
        p.setBrush(brush(colour_, path.boundingRect()));
        p.drawPath(path);
    }

    // A red diagonal cross.
    void cross(QPointF c, qreal size, qreal width) {
        QPen crossPen = pen(QColor(200, 0, 0), width);
        crossPen.setCapStyle(Qt::RoundCap);
        p.setPen(crossPen);
        const qreal h = size / 2;
        p.drawLine(QPointF(c.x() - h, c.y() - h), QPointF(c.x() + h, c.y() + h));
        p.drawLine(QPointF(c.x() + h, c.y() - h), QPointF(c.x() - h, c.y() + h));
    }

    // A round badge, filled with a colour, for the status icons.
    void badge(QPointF c, qreal radius, QColor fill) {
        outline(fill.darker(180), 1.2);
        const QRectF r(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius);
        p.setBrush(brush(fill, r));
        p.drawEllipse(r);
    }

    void tick(QPointF c, qreal size, QColor col, qreal width) {
        QPen tickPen = pen(col, width);
        tickPen.setCapStyle(Qt::RoundCap);
        tickPen.setJoinStyle(Qt::RoundJoin);
        p.setPen(tickPen);
        p.setBrush(Qt::NoBrush);
        QPolygonF v;
        v << QPointF(c.x() - size * 0.5, c.y()) << QPointF(c.x() - size * 0.12, c.y() + size * 0.38)
          << QPointF(c.x() + size * 0.5, c.y() - size * 0.4);
        p.drawPolyline(v);
    }

    void star(QPointF c, qreal radius, QColor col) {
        QPolygonF s;
        for (int i = 0; i < 10; ++i) {
            const qreal a = -M_PI / 2 + i * M_PI / 5;
            const qreal r = (i % 2 == 0) ? radius : radius * 0.45;
            s << QPointF(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
        }
        outline(col.darker(160), 1.0);
        p.setBrush(brush(col, s.boundingRect()));
        p.drawPolygon(s);
    }

    void bolt(const QRectF& r) {
        QPolygonF s;
        s << QPointF(r.left() + r.width() * 0.6, r.top())
          << QPointF(r.left(), r.top() + r.height() * 0.58)
          << QPointF(r.left() + r.width() * 0.45, r.top() + r.height() * 0.58)
          << QPointF(r.left() + r.width() * 0.3, r.bottom())
          << QPointF(r.right(), r.top() + r.height() * 0.38)
          << QPointF(r.left() + r.width() * 0.55, r.top() + r.height() * 0.38);
        outline(QColor(128, 64, 0), 1.0);
        p.setBrush(brush(QColor(255, 220, 0), r));
        p.drawPolygon(s);
    }

    void magnifier(QPointF c, qreal radius) {
        QPen handle = pen(QColor(96, 48, 16), radius * 0.55);
        handle.setCapStyle(Qt::RoundCap);
        p.setPen(handle);
        p.drawLine(QPointF(c.x() + radius * 0.7, c.y() + radius * 0.7),
                   QPointF(c.x() + radius * 1.7, c.y() + radius * 1.7));
        outline(QColor(40, 40, 40), radius * 0.28);
        const QRectF lens(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius);
        p.setBrush(hi ? brush(QColor(170, 215, 255), lens) : QBrush(colour(QColor(0, 255, 255))));
        p.drawEllipse(lens);
    }

    void monitor(const QRectF& r) {
        outline(QColor(48, 48, 48));
        const QRectF frame(r.left(), r.top(), r.width(), r.height() * 0.75);
        p.setBrush(brush(QColor(192, 192, 192), frame));
        p.drawRoundedRect(frame, 2, 2);
        const QRectF screen = frame.adjusted(3, 3, -3, -3);
        p.setBrush(brush(QColor(0, 90, 200), screen));
        p.drawRect(screen);
        outline(QColor(255, 255, 255), 1.2);
        p.drawLine(QPointF(screen.left() + 3, screen.top() + 4),
                   QPointF(screen.right() - 6, screen.top() + 4));
        p.drawLine(QPointF(screen.left() + 3, screen.top() + 8),
                   QPointF(screen.right() - 3, screen.top() + 8));
        p.drawLine(QPointF(screen.left() + 3, screen.top() + 12),
                   QPointF(screen.right() - 9, screen.top() + 12));
        outline(QColor(48, 48, 48));
        p.setBrush(brush(QColor(160, 160, 160), r));
        p.drawRect(QRectF(r.center().x() - 3, frame.bottom(), 6, r.height() * 0.12));
        p.drawRect(QRectF(r.left() + r.width() * 0.2, r.bottom() - r.height() * 0.12,
                          r.width() * 0.6, r.height() * 0.12));
    }

    void letterBadge(QPointF c, qreal radius, QColor fill, const QString& letter) {
        badge(c, radius, fill);
        QFont font(QStringLiteral("Times New Roman"));
        font.setBold(true);
        font.setPixelSize(int(radius * 1.6));
        p.setFont(font);
        p.setPen(colour(Qt::white));
        p.drawText(QRectF(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius), Qt::AlignCenter,
                   letter);
    }

  private:
    static QColor nearestVga(QColor c) {
        static const std::array<QRgb, 16> vga = {
            qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
            qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
            qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
            qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
        QRgb best = vga[0];
        int bestDistance = INT32_MAX;
        for (QRgb v : vga) {
            const int dr = qRed(v) - c.red(), dg = qGreen(v) - c.green(), db = qBlue(v) - c.blue();
            const int d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
            if (d < bestDistance) {
                bestDistance = d;
                best = v;
            }
        }
        return QColor(best);
    }
};

using Drawing = std::function<void(Artist&)>;

QPixmap render(int size, bool highColour, const Drawing& draw) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, highColour);
    painter.scale(size / 32.0, size / 32.0);
    Artist artist(painter, highColour);
    draw(artist);
    return pixmap;
}

// The toolbar pictures, in Glyph order.
const std::array<Drawing, TFormBitmap::GlyphCount>& glyphDrawings() {
    static const std::array<Drawing, TFormBitmap::GlyphCount> drawings = {
        [](Artist& a) {  // new archive: a blank sheet with a spark
            a.page(QRectF(5, 3, 19, 26));
            a.star(QPointF(23, 9), 7, QColor(255, 210, 0));
        },
        [](Artist& a) {  // open archive: an open folder
            a.folder(QRectF(2, 6, 26, 21), true);
        },
        [](Artist& a) {  // archive: files go down into the box
            a.box(QRectF(4, 15, 24, 15));
            a.arrow(QPointF(16, 1), QPointF(16, 19), QColor(0, 160, 0));
        },
        [](Artist& a) {  // self-extractor: a box that carries its own spark
            a.box(QRectF(2, 13, 22, 16));
            a.bolt(QRectF(18, 2, 12, 20));
        },
        [](Artist& a) {  // restore: files come up out of the box
            a.box(QRectF(4, 15, 24, 15));
            a.arrow(QPointF(16, 20), QPointF(16, 1), QColor(0, 90, 220));
        },
        [](Artist& a) {  // add files
            a.page(QRectF(4, 3, 18, 25), true);
            a.sign(QPointF(22, 21), 13, QColor(0, 170, 0), true);
        },
        [](Artist& a) {  // remove files
            a.page(QRectF(4, 3, 18, 25), true);
            a.sign(QPointF(22, 21), 13, QColor(220, 0, 0), false);
        },
        [](Artist& a) {  // search in the archive
            a.page(QRectF(3, 2, 18, 25), true);
            a.magnifier(QPointF(18, 16), 6);
        },
        [](Artist& a) {  // preview: a screen
            a.monitor(QRectF(2, 3, 28, 26));
        },
        [](Artist& a) {  // verify: a page under a magnifier that finds it right
            a.page(QRectF(2, 1, 19, 26), true);
            a.magnifier(QPointF(17, 16), 7);
            a.tick(QPointF(17, 16), 8, QColor(0, 150, 0), 2.5);
        },
    };
    return drawings;
}

// The status icons share a page with a badge in the lower right corner, so
// they read apart by colour and by sign.
void statusPage(Artist& a, bool present) {
    if (present) {
        a.page(QRectF(3, 1, 20, 27), true);
    } else {
        QPen dashed(QColor(128, 128, 128), 1.5, Qt::DashLine);
        a.p.setPen(dashed);
        a.p.setBrush(QColor(240, 240, 240));
        a.p.drawRect(QRectF(3, 1, 20, 27));
    }
}

const std::array<Drawing, TFormBitmap::ImageCount>& smallDrawings() {
    static const std::array<Drawing, TFormBitmap::ImageCount> drawings = {
        [](Artist& a) {  // 0 stored and unchanged: green tick
            statusPage(a, true);
            a.badge(QPointF(22, 22), 9, QColor(0, 170, 0));
            a.tick(QPointF(22, 22), 10, Qt::white, 3);
        },
        [](Artist& a) {  // 1 modified: orange badge with an exclamation mark
            statusPage(a, true);
            a.badge(QPointF(22, 22), 9, QColor(255, 140, 0));
            QPen pen(Qt::white, 3.5);
            pen.setCapStyle(Qt::RoundCap);
            a.p.setPen(pen);
            a.p.drawLine(QPointF(22, 16.5), QPointF(22, 22.5));
            a.p.drawPoint(QPointF(22, 27));
        },
        [](Artist& a) {  // 2 missing: dashed outline and a red cross
            statusPage(a, false);
            a.cross(QPointF(21, 21), 14, 4.5);
        },
        [](Artist& a) {  // 3 new: a blue badge with a plus
            statusPage(a, true);
            a.badge(QPointF(22, 22), 9, QColor(0, 90, 230));
            QPen pen(Qt::white, 3.2);
            a.p.setPen(pen);
            a.p.drawLine(QPointF(17, 22), QPointF(27, 22));
            a.p.drawLine(QPointF(22, 17), QPointF(22, 27));
        },
        [](Artist& a) {  // 4 selection row: a ticked box
            a.outline(QColor(0, 0, 128), 2);
            a.p.setBrush(Qt::white);
            a.p.drawRect(QRectF(4, 4, 24, 24));
            a.tick(QPointF(16, 16), 16, QColor(0, 128, 0), 4);
        },
        [](Artist& a) { a.folder(QRectF(2, 4, 28, 24), false); },  // 5 folder
        [](Artist& a) {                                            // 6 drive
            a.outline(QColor(48, 48, 48));
            a.p.setBrush(a.brush(QColor(180, 180, 180), QRectF(2, 10, 28, 14)));
            a.p.drawRoundedRect(QRectF(2, 10, 28, 14), 3, 3);
            a.p.setBrush(QColor(0, 200, 0));
            a.p.drawRect(QRectF(22, 18, 4, 3));
        },
        [](Artist& a) {  // 7 selection script: a page of lines with a blue ribbon
            a.page(QRectF(5, 1, 22, 30), true);
            a.p.setPen(Qt::NoPen);
            a.p.setBrush(a.colour(QColor(0, 0, 200)));
            a.p.drawRect(QRectF(5, 1, 4, 30));
        },
        [](Artist& a) {  // 8 new archive
            a.page(QRectF(5, 3, 19, 26));
            a.star(QPointF(23, 9), 8, QColor(255, 200, 0));
        },
        [](Artist& a) { a.folder(QRectF(1, 5, 28, 23), true); },  // 9 open archive
        [](Artist& a) {                                           // 10 save: a floppy disk
            a.outline(QColor(0, 0, 64));
            a.p.setBrush(a.brush(QColor(30, 60, 160), QRectF(3, 3, 26, 26)));
            a.p.drawRect(QRectF(3, 3, 26, 26));
            a.p.setBrush(a.colour(QColor(220, 220, 220)));
            a.p.drawRect(QRectF(9, 3, 14, 9));
            a.p.setBrush(Qt::white);
            a.p.drawRect(QRectF(7, 17, 18, 12));
        },
        [](Artist& a) {  // 11 close archive: a closed box with a red cross
            a.box(QRectF(2, 8, 24, 20));
            a.cross(QPointF(25, 24), 9, 3.5);
        },
        [](Artist& a) {  // 12 delete archive: a waste bin
            a.outline(QColor(48, 48, 48));
            a.p.setBrush(a.brush(QColor(160, 160, 170), QRectF(7, 8, 18, 22)));
            a.p.drawRect(QRectF(7, 8, 18, 22));
            a.p.drawRect(QRectF(4, 4, 24, 4));
            a.p.drawLine(QPointF(12, 12), QPointF(12, 26));
            a.p.drawLine(QPointF(16, 12), QPointF(16, 26));
            a.p.drawLine(QPointF(20, 12), QPointF(20, 26));
        },
        [](Artist& a) { a.page(QRectF(5, 1, 22, 30), true); },  // 13 listing as text
        [](Artist& a) {                                         // 14 print
            a.page(QRectF(9, 1, 14, 14));
            a.outline(QColor(48, 48, 48));
            a.p.setBrush(a.brush(QColor(170, 170, 170), QRectF(2, 12, 28, 12)));
            a.p.drawRoundedRect(QRectF(2, 12, 28, 12), 2, 2);
            a.p.setBrush(Qt::white);
            a.p.drawRect(QRectF(8, 21, 16, 9));
        },
        [](Artist& a) {  // 15 quit: an open door and an arrow out
            a.outline(QColor(64, 32, 0));
            a.p.setBrush(a.brush(QColor(150, 90, 40), QRectF(4, 2, 16, 28)));
            a.p.drawRect(QRectF(4, 2, 16, 28));
            a.arrow(QPointF(12, 16), QPointF(31, 16), QColor(220, 0, 0), 6);
        },
        [](Artist& a) { a.magnifier(QPointF(13, 13), 9); },                        // 16 search
        [](Artist& a) { a.sign(QPointF(16, 16), 26, QColor(0, 170, 0), true); },   // 17 add
        [](Artist& a) { a.sign(QPointF(16, 16), 26, QColor(220, 0, 0), false); },  // 18 remove
        [](Artist& a) {                                                            // 19 archive
            a.box(QRectF(3, 14, 26, 16));
            a.arrow(QPointF(16, 0), QPointF(16, 18), QColor(0, 160, 0), 7);
        },
        [](Artist& a) {  // 20 restore
            a.box(QRectF(3, 14, 26, 16));
            a.arrow(QPointF(16, 19), QPointF(16, 0), QColor(0, 90, 220), 7);
        },
        [](Artist& a) {  // 21 self-extractor
            a.box(QRectF(1, 12, 22, 18));
            a.bolt(QRectF(17, 0, 14, 22));
        },
        [](Artist& a) { a.monitor(QRectF(1, 2, 30, 28)); },  // 22 preview
        [](Artist& a) {                                      // 23 options: a gear
            QPainterPath teeth;
            for (int i = 0; i < 8; ++i) {
                QTransform t;
                t.translate(16, 16);
                t.rotate(i * 45);
                t.translate(-16, -16);
                QPainterPath tooth;
                tooth.addRect(QRectF(12.5, 1, 7, 8));
                teeth.addPath(t.map(tooth));
            }
            QPainterPath body;
            body.addEllipse(QPointF(16, 16), 11, 11);
            QPainterPath hole;
            hole.addEllipse(QPointF(16, 16), 4.5, 4.5);
            a.outline(QColor(48, 48, 48), 1.2);
            a.p.setBrush(a.brush(QColor(150, 150, 160), QRectF(0, 0, 32, 32)));
            a.p.drawPath(body.united(teeth).subtracted(hole));
        },
        [](Artist& a) {
            a.letterBadge(QPointF(16, 16), 14, QColor(0, 90, 220), QStringLiteral("?"));
        },  // 24 help
        [](Artist& a) {
            a.letterBadge(QPointF(16, 16), 14, QColor(0, 140, 140), QStringLiteral("i"));
        },               // 25 about
        [](Artist& a) {  // 26 move archive: a box and an arrow to the right
            a.box(QRectF(1, 10, 18, 18));
            a.arrow(QPointF(12, 16), QPointF(31, 16), QColor(0, 90, 220), 7);
        },
        [](Artist& a) {  // 27 content differs: a purple badge with a "not equal" sign
            statusPage(a, true);
            a.badge(QPointF(22, 22), 9, QColor(150, 40, 190));
            QPen pen(Qt::white, 2.6);
            a.p.setPen(pen);
            a.p.drawLine(QPointF(17, 19.5), QPointF(27, 19.5));
            a.p.drawLine(QPointF(17, 24.5), QPointF(27, 24.5));
            a.p.drawLine(QPointF(25, 15.5), QPointF(19, 28.5));
        },
        [](Artist& a) {  // 28 damaged in the archive: a cracked page and a red warning sign
            statusPage(a, true);
            a.outline(QColor(90, 0, 0), 1.6);
            a.p.drawPolyline(
                QPolygonF({QPointF(8, 1), QPointF(12, 9), QPointF(7, 14), QPointF(13, 21)}));
            a.outline(QColor(120, 0, 0), 1.0);
            a.p.setBrush(a.colour(QColor(220, 0, 0)));
            a.p.drawPolygon(QPolygonF({QPointF(22, 12), QPointF(31, 30), QPointF(13, 30)}));
            QPen pen(Qt::white, 3.0);
            pen.setCapStyle(Qt::RoundCap);
            a.p.setPen(pen);
            a.p.drawLine(QPointF(22, 18), QPointF(22, 24));
            a.p.drawPoint(QPointF(22, 27.5));
        },
        [](Artist& a) {  // 29 verify: a page under a magnifier with a tick
            a.page(QRectF(3, 1, 20, 27), true);
            a.magnifier(QPointF(18, 17), 7);
            a.tick(QPointF(18, 17), 8, QColor(0, 150, 0), 2.5);
        },
    };
    return drawings;
}

struct GlyphSets {
    std::array<QPixmap, TFormBitmap::GlyphCount> high;
    std::array<QPixmap, TFormBitmap::GlyphCount> low;
};

const GlyphSets& glyphSets() {
    static const GlyphSets sets = [] {
        GlyphSets s;
        for (int i = 0; i < TFormBitmap::GlyphCount; ++i) {
            s.high[i] = render(TFormBitmap::HighColourGlyphSize, true, glyphDrawings()[i]);
            s.low[i] = render(TFormBitmap::LowColourGlyphSize, false, glyphDrawings()[i]);
        }
        return s;
    }();
    return sets;
}

const QList<QPixmap>& smallPixmaps() {
    static const QList<QPixmap> pixmaps = [] {
        QList<QPixmap> list;
        for (const Drawing& draw : smallDrawings())
            list << render(TFormBitmap::SmallIconSize, true, draw);
        return list;
    }();
    return pixmaps;
}

const char* const glyphNames[TFormBitmap::GlyphCount] = {
    "New", "Open", "Arch", "Self", "Extract", "Add", "Dell", "Search", "Ecran", "Verify"};

}  // namespace

QPixmap TFormBitmap::toolbarGlyph(int glyph, bool highColour) {
    if (glyph < 0 || glyph >= GlyphCount) return {};
    return highColour ? glyphSets().high[glyph] : glyphSets().low[glyph];
}

QPixmap TFormBitmap::picture(const QString& name) {
    for (int i = 0; i < GlyphCount; ++i) {
        const QString base = QStringLiteral("Image") + QLatin1String(glyphNames[i]);
        if (name == base) return toolbarGlyph(i, false);
        if (name == base + QLatin1Char('C')) return toolbarGlyph(i, true);
    }
    return {};
}

const QList<QIcon>& TFormBitmap::imageList() {
    static const QList<QIcon> icons = [] {
        QList<QIcon> list;
        for (const QPixmap& pixmap : smallPixmaps()) list << QIcon(pixmap);
        return list;
    }();
    return icons;
}

int TFormBitmap::statusImage(int entryStatus) {
    switch (entryStatus) {
        case 0:
        case 1:
        case 2:
        case 3:
            return entryStatus;
        case 4:
            return ImageDiffers;
        case 5:
            return ImageDamaged;
        default:
            return -1;
    }
}

QIcon TFormBitmap::statusIcon(int index) {
    if (index < 0 || index >= ImageCount) return {};
    return imageList()[index];
}

QPixmap TFormBitmap::smallPixmap(int index) {
    if (index < 0 || index >= ImageCount) return {};
    return smallPixmaps()[index];
}

QPixmap TFormBitmap::waitPicture() {
    static const QPixmap pixmap = render(32, true, [](Artist& a) {
        // An hourglass.
        a.outline(QColor(96, 56, 16), 2);
        a.p.setBrush(a.brush(QColor(150, 90, 40), QRectF(5, 1, 22, 4)));
        a.p.drawRect(QRectF(5, 1, 22, 4));
        a.p.drawRect(QRectF(5, 27, 22, 4));
        QPolygonF glass;
        glass << QPointF(8, 5) << QPointF(24, 5) << QPointF(17.5, 16) << QPointF(24, 27)
              << QPointF(8, 27) << QPointF(14.5, 16);
        a.outline(QColor(0, 60, 120), 1.5);
        a.p.setBrush(QColor(220, 240, 255));
        a.p.drawPolygon(glass);
        QPolygonF sand;
        sand << QPointF(11, 9) << QPointF(21, 9) << QPointF(16, 15);
        QPolygonF heap;
        heap << QPointF(16, 20) << QPointF(22, 26.5) << QPointF(10, 26.5);
        a.p.setPen(Qt::NoPen);
        a.p.setBrush(QColor(230, 180, 60));
        a.p.drawPolygon(sand);
        a.p.drawPolygon(heap);
        a.p.drawRect(QRectF(15.3, 15, 1.4, 6));
    });
    return pixmap;
}

QPixmap TFormBitmap::aboutPicture() {
    static const QPixmap pixmap = render(64, true, [](Artist& a) {
        a.box(QRectF(2, 12, 28, 18));
        a.arrow(QPointF(16, 0), QPointF(16, 16), QColor(0, 160, 0), 6);
    });
    return pixmap;
}

QPixmap TFormBitmap::folderGlyph() {
    return smallPixmap(ImageFolder);
}

}  // namespace kv
