#include "codecs/MetafilePlayer.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>
#include <cmath>
#include <map>
#include <vector>

#include "codecs/QtImage.h"

namespace kv::codecs {

namespace {

enum MapMode { Text = 1, LoMetric, HiMetric, LoEnglish, HiEnglish, Twips, Isotropic, Anisotropic };
constexpr uint32_t StockFlag = 0x80000000;

QColor colour(int32_t ref) {
    const uint32_t v = uint32_t(ref);
    if ((v >> 24) == 1) return Qt::black;  // a palette index: no palette here
    return QColor(int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF));
}

struct FontSpec {
    int32_t height = 0, width = 0, escapement = 0, weight = 400;
    bool italic = false, underline = false, strikeout = false;
    QString face;
};

struct Object {
    enum Kind { Pen, Brush, Font, Other } kind = Other;
    QPen pen;
    QBrush brush;
    FontSpec font;
};

struct State {
    int mapMode = Text;
    QPointF windowOrg, windowExt{1, 1}, viewportOrg, viewportExt{1, 1};
    QTransform world;
    QPen pen{QColor(Qt::black), 0};
    QBrush brush{Qt::white};
    FontSpec font;
    QColor textColour = Qt::black, bkColour = Qt::white;
    int bkMode = 2, fillMode = 1;
    uint32_t textAlign = 0;
    QPointF current;
    bool clipped = false;
    QPainterPath clip;  // in output pixels
};

class Player {
  public:
    Player(const MetafilePicture& p, QImage& image) : p_(p), painter_(&image) {
        painter_.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                                QPainter::SmoothPixmapTransform);
        out_ = QTransform::fromScale(p.width / p.frame[2], p.height / p.frame[3]);
        out_ = QTransform::fromTranslate(-p.frame[0], -p.frame[1]) * out_;
        if (!p.enhanced) {
            // A plain metafile draws straight onto the picture: its window
            // starts as the picture's extent and the viewport is the picture.
            s_.mapMode = Anisotropic;
            s_.windowOrg = QPointF(p.frame[0], p.frame[1]);
            s_.windowExt = QPointF(p.frame[2], p.frame[3]);
            s_.viewportExt = QPointF(p.width, p.height);
            out_ = QTransform();
        }
    }

    void run() {
        for (const MetaRecord& r : p_.records) step(r);
    }

  private:
    // Logical units to the picture's pixels.
    QTransform transform() const {
        double sx = 1, sy = 1;
        const double perX = p_.perHimetric[0], perY = p_.perHimetric[1];
        switch (s_.mapMode) {
            case LoMetric:
                sx = 10 * perX, sy = -10 * perY;
                break;
            case HiMetric:
                sx = perX, sy = -perY;
                break;
            case LoEnglish:
                sx = 25.4 * perX, sy = -25.4 * perY;
                break;
            case HiEnglish:
                sx = 2.54 * perX, sy = -2.54 * perY;
                break;
            case Twips:
                sx = 2540.0 / 1440 * perX, sy = -2540.0 / 1440 * perY;
                break;
            case Isotropic:
            case Anisotropic: {
                const double wx = s_.windowExt.x() != 0 ? s_.windowExt.x() : 1,
                             wy = s_.windowExt.y() != 0 ? s_.windowExt.y() : 1;
                sx = s_.viewportExt.x() / wx;
                sy = s_.viewportExt.y() / wy;
                if (s_.mapMode == Isotropic) {
                    const double m = std::min(std::abs(sx), std::abs(sy));
                    sx = std::copysign(m, sx);
                    sy = std::copysign(m, sy);
                }
                break;
            }
            default:
                break;
        }
        QTransform t = s_.world;
        t *= QTransform::fromTranslate(-s_.windowOrg.x(), -s_.windowOrg.y());
        t *= QTransform::fromScale(sx, sy);
        t *= QTransform::fromTranslate(s_.viewportOrg.x(), s_.viewportOrg.y());
        return t * out_;
    }

    void applyClip() {
        painter_.resetTransform();
        if (s_.clipped)
            painter_.setClipPath(s_.clip);
        else
            painter_.setClipping(false);
    }
    void combineClip(const QPainterPath& logical, int mode) {
        const QPainterPath area = transform().map(logical);
        QPainterPath whole;
        whole.addRect(QRectF(0, 0, p_.width, p_.height));
        const QPainterPath current = s_.clipped ? s_.clip : whole;
        switch (mode) {
            case 1:
                s_.clip = current.intersected(area);
                break;
            case 2:
                s_.clip = current.united(area);
                break;
            case 3:
                s_.clip = current.united(area).subtracted(current.intersected(area));
                break;
            case 4:
                s_.clip = current.subtracted(area);
                break;
            default:
                s_.clip = area;
                break;
        }
        s_.clipped = true;
        applyClip();
    }

    QPointF point(uint32_t i) const { return QPointF(p_.points[i].x, p_.points[i].y); }
    QPolygonF polygon(const MetaRecord& r) const {
        QPolygonF poly;
        poly.reserve(int(r.count));
        for (uint32_t i = 0; i < r.count; ++i) poly << point(r.first + i);
        return poly;
    }
    static QRectF box(const MetaRecord& r) {
        return QRectF(QPointF(r.v[0], r.v[1]), QPointF(r.v[2], r.v[3])).normalized();
    }
    QString text(const MetaRecord& r) const {
        return QString::fromUtf16(p_.text.data() + r.first, qsizetype(r.count));
    }
    Qt::FillRule fillRule() const { return s_.fillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill; }

    // Draws (or, inside a path bracket, adds) a shape with the pen and,
    // when it is closed, the brush.
    void draw(const QPainterPath& shape, bool closed) {
        if (inPath_) {
            path_.addPath(shape);
            return;
        }
        painter_.setTransform(transform());
        painter_.setPen(s_.pen);
        painter_.setBrush(closed ? s_.brush : Qt::NoBrush);
        if (closed && s_.brush.style() >= Qt::HorPattern &&
            s_.brush.style() <= Qt::DiagCrossPattern && s_.bkMode == 2)
            painter_.fillPath(shape, s_.bkColour);
        painter_.drawPath(shape);
    }

    void arc(const MetaRecord& r) {
        const QRectF rect = box(r);
        if (rect.width() <= 0 || rect.height() <= 0) return;
        const QPointF c = rect.center();
        const auto angle = [&](double x, double y) {
            return std::atan2(-(y - c.y()) / rect.height(), (x - c.x()) / rect.width()) * 180 /
                   M_PI;
        };
        const double start = angle(r.v[4], r.v[5]), end = angle(r.v[6], r.v[7]);
        // Arcs run counter-clockwise as seen; a mapping that turns the y axis
        // over turns the direction in logical units.
        const bool flipped = transform().determinant() < 0;
        double sweep = flipped ? start - end : end - start;
        sweep = std::fmod(sweep + 720, 360);
        if (sweep == 0) sweep = 360;
        if (flipped) sweep = -sweep;
        QPainterPath path;
        if (r.op == MetaOp::Pie) {
            path.moveTo(c);
            path.arcTo(rect, start, sweep);
            path.closeSubpath();
        } else {
            path.arcMoveTo(rect, start);
            path.arcTo(rect, start, sweep);
            if (r.op == MetaOp::Chord) path.closeSubpath();
        }
        draw(path, r.op != MetaOp::Arc);
    }

    void textOut(const MetaRecord& r) {
        const QTransform t = transform();
        QPointF at(r.v[0], r.v[1]);
        if (s_.textAlign & 1) at = s_.current;  // update the current position
        const QPointF device = t.map(at);
        // The font's height in logical units, measured along the mapped y axis.
        const double scale = std::hypot(t.m21(), t.m22());
        const double height = s_.font.height < 0   ? -double(s_.font.height)
                              : s_.font.height > 0 ? s_.font.height * 0.85
                                                   : 12;
        QFont font(s_.font.face.isEmpty() ? QStringLiteral("Liberation Sans") : s_.font.face);
        const double pixels = height * scale;  // clamped so that a hostile height stays drawable
        font.setPixelSize(std::isfinite(pixels) ? int(std::clamp(pixels, 1.0, 4096.0)) : 12);
        font.setWeight(QFont::Weight(std::clamp(s_.font.weight ? s_.font.weight : 400, 100, 900)));
        font.setItalic(s_.font.italic);
        font.setUnderline(s_.font.underline);
        font.setStrikeOut(s_.font.strikeout);
        const QString string = text(r);
        const QFontMetricsF metrics(font);
        const double width = metrics.horizontalAdvance(string);
        double x = 0, y = 0;
        switch (s_.textAlign & 6) {
            case 6:
                x = -width / 2;
                break;
            case 2:
                x = -width;
                break;
            default:
                break;
        }
        switch (s_.textAlign & 24) {
            case 24:
                break;  // baseline
            case 8:
                y = -metrics.descent();
                break;
            default:
                y = metrics.ascent();
                break;
        }
        if (r.v[2] & 2) {  // opaque: the given rectangle in the background colour
            painter_.setTransform(t);
            painter_.fillRect(QRectF(QPointF(r.v[3], r.v[4]), QPointF(r.v[5], r.v[6])).normalized(),
                              s_.bkColour);
        }
        painter_.setTransform(QTransform::fromTranslate(device.x(), device.y()));
        painter_.rotate(-s_.font.escapement / 10.0);
        if (s_.bkMode == 2)
            painter_.fillRect(QRectF(x, y - metrics.ascent(), width, metrics.height()),
                              s_.bkColour);
        painter_.setFont(font);
        painter_.setPen(s_.textColour);
        painter_.drawText(QPointF(x, y), string);
        if (s_.textAlign & 1) s_.current = t.inverted().map(device + QPointF(width, 0));
    }

    void bitmap(const MetaRecord& r) {
        if (r.image < 0) return;
        const QImage image = toQImage(p_.images[std::size_t(r.image)]);
        QRectF target(r.v[0], r.v[1], r.v[2], r.v[3]);
        const QRectF source(r.v[4], r.v[5], r.v[6], r.v[7]);
        QTransform t = transform();
        // A negative extent mirrors the bitmap.
        if (target.width() < 0 || target.height() < 0) {
            const double mx = target.width() < 0 ? -1 : 1, my = target.height() < 0 ? -1 : 1;
            t = QTransform(mx, 0, 0, my, target.x(), target.y()) * t;
            target = QRectF(0, 0, std::abs(target.width()), std::abs(target.height()));
        }
        painter_.setTransform(t);
        painter_.drawImage(target, image, source);
    }

    void patBlt(const MetaRecord& r) {
        const QRectF rect = QRectF(r.v[0], r.v[1], r.v[2], r.v[3]).normalized();
        painter_.setTransform(transform());
        switch (uint32_t(r.v[4])) {
            case 0x00000042:
                painter_.fillRect(rect, Qt::black);
                break;
            case 0x00FF0062:
                painter_.fillRect(rect, Qt::white);
                break;
            case 0x00F00021:
                painter_.fillRect(rect, s_.brush);
                break;
            default:
                break;
        }
    }

    // A user dash style: dash and gap lengths in logical units, as a pattern
    // in pen widths. An odd count runs twice, dashes and gaps changing places.
    QList<qreal> userDashes(const MetaRecord& r) const {
        const qreal width = std::max(std::abs(r.v[2]), 1);
        QList<qreal> pattern;
        bool any = false;
        for (uint32_t k = 0; k < r.polys; ++k) {
            pattern.append(qreal(p_.counts[r.firstPoly + k]) / width);
            any = any || pattern.back() > 0;
        }
        if (!any) return {1, 0};
        if (pattern.size() % 2) pattern += pattern;
        return pattern;
    }

    void create(const MetaRecord& r) {
        Object o;
        switch (r.op) {
            case MetaOp::CreatePen: {
                o.kind = Object::Pen;
                const uint32_t style = uint32_t(r.v[1]);
                const Qt::PenStyle styles[] = {Qt::SolidLine,   Qt::DashLine,       Qt::DotLine,
                                               Qt::DashDotLine, Qt::DashDotDotLine, Qt::NoPen,
                                               Qt::SolidLine};
                o.pen = QPen(colour(r.v[3]), std::abs(r.v[2]));
                o.pen.setStyle((style & 0xF) < 7 ? styles[style & 0xF] : Qt::SolidLine);
                if ((style & 0xF) == 7 && r.polys > 0) o.pen.setDashPattern(userDashes(r));
                const uint32_t cap = style & 0xF00, join = style & 0xF000;
                o.pen.setCapStyle(cap == 0x100   ? Qt::SquareCap
                                  : cap == 0x200 ? Qt::FlatCap
                                                 : Qt::RoundCap);
                o.pen.setJoinStyle(join == 0x1000   ? Qt::BevelJoin
                                   : join == 0x2000 ? Qt::MiterJoin
                                                    : Qt::RoundJoin);
                break;
            }
            case MetaOp::CreateBrush: {
                o.kind = Object::Brush;
                const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                                  Qt::FDiagPattern, Qt::BDiagPattern,
                                                  Qt::CrossPattern, Qt::DiagCrossPattern};
                if (r.v[1] == 1)
                    o.brush = Qt::NoBrush;
                else if (r.v[1] == 2)
                    o.brush = QBrush(colour(r.v[2]),
                                     uint32_t(r.v[3]) < 6 ? hatches[r.v[3]] : Qt::SolidPattern);
                else
                    o.brush = QBrush(colour(r.v[2]));
                break;
            }
            case MetaOp::CreatePatternBrush:
                o.kind = Object::Brush;
                o.brush = r.image >= 0 ? QBrush(toQImage(p_.images[std::size_t(r.image)]))
                                       : QBrush(Qt::black);
                break;
            case MetaOp::CreateFont:
                o.kind = Object::Font;
                o.font = FontSpec{r.v[1],      r.v[2],      r.v[3],      r.v[4],
                                  r.v[5] != 0, r.v[6] != 0, r.v[7] != 0, text(r)};
                break;
            default:
                break;
        }
        objects_[uint32_t(r.v[0])] = o;
    }

    void select(uint32_t index) {
        if (index & StockFlag) {
            const uint32_t stock = index & ~StockFlag;
            const int greys[] = {255, 192, 128, 64, 0};
            if (stock <= 4) s_.brush = QBrush(QColor(greys[stock], greys[stock], greys[stock]));
            if (stock == 5) s_.brush = Qt::NoBrush;
            if (stock == 6) s_.pen = QPen(QColor(Qt::white), 0);
            if (stock == 7) s_.pen = QPen(QColor(Qt::black), 0);
            if (stock == 8) s_.pen = Qt::NoPen;
            if (stock >= 10 && stock <= 17) s_.font = FontSpec();
            return;
        }
        const auto found = objects_.find(index);
        if (found == objects_.end()) return;
        const Object& o = found->second;
        if (o.kind == Object::Pen) s_.pen = o.pen;
        if (o.kind == Object::Brush) s_.brush = o.brush;
        if (o.kind == Object::Font) s_.font = o.font;
    }

    void step(const MetaRecord& r) {
        const int32_t* v = r.v;
        switch (r.op) {
            case MetaOp::SetMapMode:
                if (p_.enhanced && v[0] >= Text && v[0] <= Anisotropic) s_.mapMode = v[0];
                break;
            case MetaOp::SetWindowOrg:
                s_.windowOrg = QPointF(v[0], v[1]);
                break;
            case MetaOp::SetWindowExt:
                if (v[0] && v[1]) s_.windowExt = QPointF(v[0], v[1]);
                break;
            case MetaOp::SetViewportOrg:
                s_.viewportOrg = QPointF(v[0], v[1]);
                break;
            case MetaOp::SetViewportExt:
                if (v[0] && v[1]) s_.viewportExt = QPointF(v[0], v[1]);
                break;
            case MetaOp::OffsetWindowOrg:
                s_.windowOrg += QPointF(v[0], v[1]);
                break;
            case MetaOp::OffsetViewportOrg:
                s_.viewportOrg += QPointF(v[0], v[1]);
                break;
            case MetaOp::ScaleWindowExt:
            case MetaOp::ScaleViewportExt: {
                if (!v[1] || !v[3] || !v[0] || !v[2]) break;
                QPointF& ext = r.op == MetaOp::ScaleWindowExt ? s_.windowExt : s_.viewportExt;
                ext = QPointF(ext.x() * v[0] / v[1], ext.y() * v[2] / v[3]);
                break;
            }
            case MetaOp::SetWorldTransform:
            case MetaOp::ModifyWorldTransform: {
                const QTransform m(r.m[0], r.m[1], r.m[2], r.m[3], r.m[4], r.m[5]);
                const int mode = r.op == MetaOp::SetWorldTransform ? 4 : v[0];
                if (mode == 1) s_.world = QTransform();
                if (mode == 2) s_.world = m * s_.world;
                if (mode == 3) s_.world = s_.world * m;
                if (mode == 4) s_.world = m;
                break;
            }
            case MetaOp::SaveDC:
                saved_.push_back(s_);
                break;
            case MetaOp::RestoreDC: {
                const int64_t target = v[0] < 0 ? int64_t(saved_.size()) + v[0] : int64_t(v[0]) - 1;
                if (target < 0 || target >= int64_t(saved_.size())) break;
                s_ = saved_[std::size_t(target)];
                saved_.resize(std::size_t(target));
                applyClip();
                break;
            }
            case MetaOp::CreatePen:
            case MetaOp::CreateBrush:
            case MetaOp::CreatePatternBrush:
            case MetaOp::CreateFont:
            case MetaOp::CreateOther:
                create(r);
                break;
            case MetaOp::SelectObject:
                select(uint32_t(v[0]));
                break;
            case MetaOp::DeleteObject:
                objects_.erase(uint32_t(v[0]));
                break;
            case MetaOp::SetTextColor:
                s_.textColour = colour(v[0]);
                break;
            case MetaOp::SetBkColor:
                s_.bkColour = colour(v[0]);
                break;
            case MetaOp::SetBkMode:
                s_.bkMode = v[0];
                break;
            case MetaOp::SetPolyFillMode:
                s_.fillMode = v[0];
                break;
            case MetaOp::SetTextAlign:
                s_.textAlign = uint32_t(v[0]);
                break;
            case MetaOp::MoveTo:
                s_.current = QPointF(v[0], v[1]);
                if (inPath_) path_.moveTo(s_.current);
                break;
            case MetaOp::LineTo: {
                const QPointF to(v[0], v[1]);
                if (inPath_) {
                    if (path_.elementCount() == 0) path_.moveTo(s_.current);
                    path_.lineTo(to);
                } else {
                    QPainterPath line(s_.current);
                    line.lineTo(to);
                    draw(line, false);
                }
                s_.current = to;
                break;
            }
            case MetaOp::Polyline:
            case MetaOp::Polygon: {
                if (r.count == 0) break;
                QPainterPath shape;
                shape.setFillRule(fillRule());
                shape.addPolygon(polygon(r));
                if (r.op == MetaOp::Polygon) shape.closeSubpath();
                draw(shape, r.op == MetaOp::Polygon);
                break;
            }
            case MetaOp::PolylineTo:
            case MetaOp::PolyBezierTo:
            case MetaOp::PolyBezier: {
                if (r.count == 0) break;
                uint32_t i = 0;
                QPainterPath shape;
                if (r.op == MetaOp::PolyBezier) {
                    shape.moveTo(point(r.first));
                    i = 1;
                } else if (inPath_ && path_.elementCount() > 0) {
                    shape = path_;
                } else {
                    shape.moveTo(s_.current);
                }
                if (r.op == MetaOp::PolylineTo) {
                    for (; i < r.count; ++i) shape.lineTo(point(r.first + i));
                } else {
                    for (; i + 3 <= r.count; i += 3)
                        shape.cubicTo(point(r.first + i), point(r.first + i + 1),
                                      point(r.first + i + 2));
                }
                if (r.op != MetaOp::PolyBezier) s_.current = point(r.first + r.count - 1);
                if (inPath_ && r.op != MetaOp::PolyBezier)
                    path_ = shape;
                else
                    draw(shape, false);
                break;
            }
            case MetaOp::PolyPolygon:
            case MetaOp::PolyPolyline: {
                QPainterPath shape;
                shape.setFillRule(fillRule());
                uint32_t at = r.first;
                for (uint32_t k = 0; k < r.polys; ++k) {
                    const uint32_t n = p_.counts[r.firstPoly + k];
                    QPolygonF poly;
                    for (uint32_t i = 0; i < n; ++i) poly << point(at + i);
                    at += n;
                    shape.addPolygon(poly);
                    if (r.op == MetaOp::PolyPolygon) shape.closeSubpath();
                }
                draw(shape, r.op == MetaOp::PolyPolygon);
                break;
            }
            case MetaOp::Rectangle:
            case MetaOp::Ellipse:
            case MetaOp::RoundRect: {
                QPainterPath shape;
                if (r.op == MetaOp::Rectangle)
                    shape.addRect(box(r));
                else if (r.op == MetaOp::Ellipse)
                    shape.addEllipse(box(r));
                else
                    shape.addRoundedRect(box(r), std::abs(v[4]) / 2.0, std::abs(v[5]) / 2.0);
                draw(shape, true);
                break;
            }
            case MetaOp::Arc:
            case MetaOp::Chord:
            case MetaOp::Pie:
                arc(r);
                break;
            case MetaOp::SetPixel:
                painter_.setTransform(transform());
                painter_.fillRect(QRectF(v[0], v[1], 1, 1), colour(v[2]));
                break;
            case MetaOp::Text:
                textOut(r);
                break;
            case MetaOp::Bitmap:
                bitmap(r);
                break;
            case MetaOp::PatBlt:
                patBlt(r);
                break;
            case MetaOp::BeginPath:
                path_ = QPainterPath();
                inPath_ = true;
                break;
            case MetaOp::EndPath:
                inPath_ = false;
                break;
            case MetaOp::CloseFigure:
                if (inPath_) path_.closeSubpath();
                break;
            case MetaOp::AbortPath:
                path_ = QPainterPath();
                inPath_ = false;
                break;
            case MetaOp::FillPath:
            case MetaOp::StrokePath:
            case MetaOp::StrokeAndFillPath: {
                inPath_ = false;
                path_.setFillRule(fillRule());
                const QPen pen = s_.pen;
                const QBrush brush = s_.brush;
                if (r.op == MetaOp::FillPath) s_.pen = Qt::NoPen;
                if (r.op == MetaOp::StrokePath) s_.brush = Qt::NoBrush;
                draw(path_, r.op != MetaOp::StrokePath);
                s_.pen = pen;
                s_.brush = brush;
                path_ = QPainterPath();
                break;
            }
            case MetaOp::IntersectClipRect: {
                QPainterPath area;
                area.addRect(box(r));
                combineClip(area, 1);
                break;
            }
            case MetaOp::ExcludeClipRect: {
                QPainterPath area;
                area.addRect(box(r));
                combineClip(area, 4);
                break;
            }
            case MetaOp::ResetClip:
                s_.clipped = false;
                applyClip();
                break;
            case MetaOp::SelectClipPath:
                inPath_ = false;
                combineClip(path_, v[0]);
                path_ = QPainterPath();
                break;
        }
    }

    const MetafilePicture& p_;
    QPainter painter_;
    QTransform out_;  // the reference device to the picture's pixels
    State s_;
    std::vector<State> saved_;
    std::map<uint32_t, Object> objects_;
    QPainterPath path_;
    bool inPath_ = false;
};

}  // namespace

QImage MetafilePlayer::play(const MetafilePicture& picture) {
    QImage image(picture.width, picture.height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return image;
    image.fill(Qt::transparent);
    image.setDotsPerMeterX(qRound(96 / 0.0254));
    image.setDotsPerMeterY(qRound(96 / 0.0254));
    {
        Player player(picture, image);
        player.run();
    }
    return image;
}

}  // namespace kv::codecs
