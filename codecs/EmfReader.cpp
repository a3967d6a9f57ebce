// Enhanced metafiles: 32-bit records, objects in the slot they name.

#include <cmath>
#include <cstring>

#include "codecs/MetafileBuilder.h"

namespace kv::codecs::metafile {

namespace {

class EmfReader {
  public:
    explicit EmfReader(MetafilePicture& p) : b_(p), p_(p) {}

    void record(uint32_t type, const uint8_t* r, std::size_t size) {
        r_ = r;
        n_ = size;
        switch (type) {
            case 2:
                poly(MetaOp::PolyBezier, false);
                break;
            case 3:
                poly(MetaOp::Polygon, false);
                break;
            case 4:
                poly(MetaOp::Polyline, false);
                break;
            case 5:
                poly(MetaOp::PolyBezierTo, false);
                break;
            case 6:
                poly(MetaOp::PolylineTo, false);
                break;
            case 7:
                polyPoly(MetaOp::PolyPolyline, false);
                break;
            case 8:
                polyPoly(MetaOp::PolyPolygon, false);
                break;
            case 85:
                poly(MetaOp::PolyBezier, true);
                break;
            case 86:
                poly(MetaOp::Polygon, true);
                break;
            case 87:
                poly(MetaOp::Polyline, true);
                break;
            case 88:
                poly(MetaOp::PolyBezierTo, true);
                break;
            case 89:
                poly(MetaOp::PolylineTo, true);
                break;
            case 90:
                polyPoly(MetaOp::PolyPolyline, true);
                break;
            case 91:
                polyPoly(MetaOp::PolyPolygon, true);
                break;
            case 9:
                pair(MetaOp::SetWindowExt);
                break;
            case 10:
                pair(MetaOp::SetWindowOrg);
                break;
            case 11:
                pair(MetaOp::SetViewportExt);
                break;
            case 12:
                pair(MetaOp::SetViewportOrg);
                break;
            case 27:
                pair(MetaOp::MoveTo);
                break;
            case 54:
                pair(MetaOp::LineTo);
                break;
            case 15:
                if (has(20)) b_.add(MetaOp::SetPixel, {i(8), i(12), i(16)});
                break;
            case 17:
                one(MetaOp::SetMapMode);
                break;
            case 18:
                one(MetaOp::SetBkMode);
                break;
            case 19:
                one(MetaOp::SetPolyFillMode);
                break;
            case 22:
                one(MetaOp::SetTextAlign);
                break;
            case 24:
                one(MetaOp::SetTextColor);
                break;
            case 25:
                one(MetaOp::SetBkColor);
                break;
            case 29:
                rect(MetaOp::ExcludeClipRect);
                break;
            case 30:
                rect(MetaOp::IntersectClipRect);
                break;
            case 31:
                if (has(24)) b_.add(MetaOp::ScaleViewportExt, {i(8), i(12), i(16), i(20)});
                break;
            case 32:
                if (has(24)) b_.add(MetaOp::ScaleWindowExt, {i(8), i(12), i(16), i(20)});
                break;
            case 33:
                b_.add(MetaOp::SaveDC);
                break;
            case 34:
                one(MetaOp::RestoreDC);
                break;
            case 35:
                transform(MetaOp::SetWorldTransform);
                break;
            case 36:
                transform(MetaOp::ModifyWorldTransform);
                break;
            case 37:
                one(MetaOp::SelectObject);
                break;
            case 40:
                one(MetaOp::DeleteObject);
                break;
            case 38:
                if (has(28)) b_.add(MetaOp::CreatePen, {i(8), i(12), i(16), i(24)});
                break;
            case 95:
                extPen();
                break;
            case 39:
                if (has(24)) b_.add(MetaOp::CreateBrush, {i(8), i(12), i(16), i(20)});
                break;
            case 94:
                patternBrush();
                break;
            case 82:
                font();
                break;
            case 48:
                break;  // selecting a palette changes nothing drawn here
            case 49:
                if (has(12)) b_.add(MetaOp::CreateOther, {i(8)});
                break;
            case 42:
                rect(MetaOp::Ellipse);
                break;
            case 43:
                rect(MetaOp::Rectangle);
                break;
            case 44:
                if (has(32)) b_.add(MetaOp::RoundRect, {i(8), i(12), i(16), i(20), i(24), i(28)});
                break;
            case 45:
                arc(MetaOp::Arc);
                break;
            case 46:
                arc(MetaOp::Chord);
                break;
            case 47:
                arc(MetaOp::Pie);
                break;
            case 59:
                b_.add(MetaOp::BeginPath);
                break;
            case 60:
                b_.add(MetaOp::EndPath);
                break;
            case 61:
                b_.add(MetaOp::CloseFigure);
                break;
            case 62:
                b_.add(MetaOp::FillPath);
                break;
            case 63:
                b_.add(MetaOp::StrokeAndFillPath);
                break;
            case 64:
                b_.add(MetaOp::StrokePath);
                break;
            case 68:
                b_.add(MetaOp::AbortPath);
                break;
            case 67:
                one(MetaOp::SelectClipPath);
                break;
            case 75:
                // Only "no region": the clip is reset.
                if (has(16) && i(8) == 0 && i(12) == 5) b_.add(MetaOp::ResetClip);
                break;
            case 83:
                text(false);
                break;
            case 84:
                text(true);
                break;
            case 81:
                stretchDiBits();
                break;
            case 76:
                blit(false);
                break;
            case 77:
                blit(true);
                break;
            default:
                break;  // skipped by its length
        }
    }

  private:
    bool has(std::size_t bytes) const { return n_ >= bytes; }
    int32_t i(std::size_t at) const { return int32_t(le32(r_ + at)); }
    uint32_t u(std::size_t at) const { return le32(r_ + at); }
    float f(std::size_t at) const {
        const uint32_t bits = le32(r_ + at);
        float v;
        std::memcpy(&v, &bits, 4);
        return std::isfinite(v) ? v : 0.0f;
    }
    // A region [offset, offset + length) of the record, or nullptr.
    const uint8_t* part(uint64_t offset, uint64_t length) const {
        return offset <= n_ && length <= n_ - offset ? r_ + offset : nullptr;
    }

    void one(MetaOp op) {
        if (has(12)) b_.add(op, {i(8)});
    }
    void pair(MetaOp op) {
        if (has(16)) b_.add(op, {i(8), i(12)});
    }
    void rect(MetaOp op) {
        if (has(24)) b_.add(op, {i(8), i(12), i(16), i(20)});
    }
    void arc(MetaOp op) {
        if (has(40)) b_.add(op, {i(8), i(12), i(16), i(20), i(24), i(28), i(32), i(36)});
    }
    void transform(MetaOp op) {
        if (!has(32)) return;
        MetaRecord& r = b_.add(op, {has(36) ? i(32) : 4});
        for (int k = 0; k < 6; ++k) r.m[k] = f(8 + 4 * std::size_t(k));
    }
    void poly(MetaOp op, bool small) {
        if (!has(28)) return;
        const uint64_t count = u(24);
        const std::size_t bytes = small ? 4 : 8;
        const uint8_t* s = part(28, count * bytes);
        if (!s) return;
        MetaRecord& r = b_.add(op);
        r.first = b_.pointMark();
        r.count = uint32_t(count);
        for (std::size_t k = 0; k < count; ++k) point(s + k * bytes, small);
    }
    // An extended pen; a user dash style brings its dash and gap lengths,
    // kept as the record's entries of counts.
    void extPen() {
        if (!has(44)) return;
        MetaRecord& r = b_.add(MetaOp::CreatePen, {i(8), i(28), i(32), i(40)});
        if (!has(52) || (u(28) & 0xF) != 7) return;
        const uint64_t entries = std::min<uint64_t>(u(48), 16);
        const uint8_t* dashes = part(52, entries * 4);
        if (!dashes) return;
        r.firstPoly = b_.countMark();
        r.polys = uint32_t(entries);
        for (std::size_t k = 0; k < entries; ++k) b_.addCount(le32(dashes + 4 * k));
    }
    void polyPoly(MetaOp op, bool small) {
        if (!has(32)) return;
        const uint64_t polys = u(24), total = u(28);
        const std::size_t bytes = small ? 4 : 8;
        const uint8_t* counts = part(32, polys * 4);
        const uint8_t* s = counts ? part(32 + polys * 4, total * bytes) : nullptr;
        if (!s) return;
        uint64_t sum = 0;
        for (std::size_t k = 0; k < polys; ++k) sum += le32(counts + 4 * k);
        if (sum != total) return;
        MetaRecord& r = b_.add(op);
        r.first = b_.pointMark();
        r.count = uint32_t(total);
        r.firstPoly = b_.countMark();
        r.polys = uint32_t(polys);
        for (std::size_t k = 0; k < polys; ++k) b_.addCount(le32(counts + 4 * k));
        for (std::size_t k = 0; k < total; ++k) point(s + k * bytes, small);
    }
    void point(const uint8_t* s, bool small) {
        if (small)
            b_.addPoint(int16_t(le16(s)), int16_t(le16(s + 2)));
        else
            b_.addPoint(int32_t(le32(s)), int32_t(le32(s + 4)));
    }
    void font() {
        if (!has(12 + 28)) return;
        const std::size_t available = std::min<std::size_t>(32, (n_ - 40) / 2);
        std::size_t length = 0;
        while (length < available && le16(r_ + 40 + 2 * length)) ++length;
        MetaRecord& r =
            b_.add(MetaOp::CreateFont, {i(8), i(12), i(16), i(20), i(28), r_[32], r_[33], r_[34]});
        r.first = b_.addWide(r_ + 40, length);
        r.count = uint32_t(length);
    }
    void text(bool wide) {
        if (!has(76)) return;
        const uint32_t count = u(44), offset = u(48);
        const uint8_t* s = part(offset, uint64_t(count) * (wide ? 2 : 1));
        if (!s) return;
        MetaRecord& r = b_.add(MetaOp::Text, {i(36), i(40), i(52), i(56), i(60), i(64), i(68)});
        r.first = wide ? b_.addWide(s, count) : b_.addAnsi(s, count);
        r.count = count;
    }
    void patternBrush() {
        if (!has(32)) return;
        const uint8_t* info = part(u(16), u(20));
        const uint8_t* bits = part(u(24), u(28));
        MetaRecord& r = b_.add(MetaOp::CreatePatternBrush, {i(8)});
        if (info && bits) r.image = b_.addBitmap(info, u(20), bits, u(28));
    }
    void stretchDiBits() {
        if (!has(80)) return;
        const uint8_t* info = part(u(48), u(52));
        const uint8_t* bits = part(u(56), u(60));
        MetaRecord& r =
            b_.add(MetaOp::Bitmap, {i(24), i(28), i(72), i(76), i(32), i(36), i(40), i(44)});
        r.m[0] = float(u(68));
        if (info && bits) {
            r.image = b_.addBitmap(info, u(52), bits, u(60));
            flipSource(r, p_, bottomUp(info, u(52)));
        }
    }
    void blit(bool stretch) {
        if (!has(stretch ? 108 : 100)) return;
        const uint32_t rop = u(40);
        if (u(88) == 0) {  // no source bitmap: a fill with the brush
            b_.add(MetaOp::PatBlt, {i(24), i(28), i(32), i(36), int32_t(rop)});
            return;
        }
        const uint8_t* info = part(u(84), u(88));
        const uint8_t* bits = part(u(92), u(96));
        MetaRecord& r =
            b_.add(MetaOp::Bitmap, {i(24), i(28), i(32), i(36), i(44), i(48),
                                    stretch ? i(100) : i(32), stretch ? i(104) : i(36)});
        r.m[0] = float(rop);
        if (info && bits) r.image = b_.addBitmap(info, u(88), bits, u(96));
    }

    Builder b_;
    MetafilePicture& p_;
    const uint8_t* r_ = nullptr;
    std::size_t n_ = 0;
};

}  // namespace

bool readEnhanced(const uint8_t* data, std::size_t size, MetafilePicture& p, std::string& error) {
    const uint32_t headerSize = le32(data + 4);
    if (headerSize < 88 || headerSize > size) {
        error = "enhanced metafile header is damaged";
        return false;
    }
    int32_t bounds[4], frame[4];
    for (int k = 0; k < 4; ++k) {
        bounds[k] = int32_t(le32(data + 8 + 4 * k));
        frame[k] = int32_t(le32(data + 24 + 4 * k));
    }
    const double deviceW = int32_t(le32(data + 72)), deviceH = int32_t(le32(data + 76));
    const double mmW = int32_t(le32(data + 80)), mmH = int32_t(le32(data + 84));
    // Pixels of the reference device per 0.01 mm.
    const double perX = deviceW > 0 && mmW > 0 ? deviceW / (mmW * 100) : PixelsPerInch / 2540;
    const double perY = deviceH > 0 && mmH > 0 ? deviceH / (mmH * 100) : PixelsPerInch / 2540;
    p.perHimetric[0] = perX;
    p.perHimetric[1] = perY;
    double w = (double(frame[2]) - frame[0]) * PixelsPerInch / 2540;
    double h = (double(frame[3]) - frame[1]) * PixelsPerInch / 2540;
    if (w >= 0.5 && h >= 0.5) {
        p.frame[0] = frame[0] * perX;
        p.frame[1] = frame[1] * perY;
        p.frame[2] = (double(frame[2]) - frame[0]) * perX;
        p.frame[3] = (double(frame[3]) - frame[1]) * perY;
    } else {
        // No frame: the bounds, in device pixels, inclusive.
        p.frame[0] = bounds[0];
        p.frame[1] = bounds[1];
        p.frame[2] = w = double(bounds[2]) - bounds[0] + 1;
        p.frame[3] = h = double(bounds[3]) - bounds[1] + 1;
    }
    if (w < 0.5 || h < 0.5 || p.frame[2] <= 0 || p.frame[3] <= 0) {
        error = "enhanced metafile has no size";
        return false;
    }
    const double shrink = std::min(1.0, LargestSide / std::max(w, h));
    p.width = std::max(1, int32_t(std::lround(w * shrink)));
    p.height = std::max(1, int32_t(std::lround(h * shrink)));

    EmfReader reader(p);
    std::size_t at = headerSize;
    while (at + 8 <= size) {
        const uint32_t type = le32(data + at);
        const uint32_t length = le32(data + at + 4);
        if (length < 8 || length > size - at) {
            error = "enhanced metafile record runs past the end of the file";
            return false;
        }
        if (type == 14) break;  // end of file
        reader.record(type, data + at, length);
        at += length;
    }
    return true;
}

}  // namespace kv::codecs::metafile
