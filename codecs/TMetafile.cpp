#include "codecs/TMetafile.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "codecs/ByteReader.h"
#include "codecs/DeviceBitmap.h"

namespace kv::codecs {

namespace {

constexpr uint32_t PlaceableKey = 0x9AC6CDD7;
constexpr uint32_t EmfSignature = 0x464D4520;  // " EMF"
constexpr double PixelsPerInch = 96;
// A picture drawn larger than this on a side is drawn smaller, keeping its shape.
constexpr double LargestSide = 4096;
// The pixels of every bitmap of one metafile together.
constexpr int64_t BitmapBudget = MaxPixels;

// Windows-1252 for the bytes 0x80 to 0x9F; the others are Latin-1.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

class Builder {
  public:
    explicit Builder(MetafilePicture& picture) : p_(picture) {}

    MetaRecord& add(MetaOp op, std::initializer_list<int32_t> values = {}) {
        MetaRecord r;
        r.op = op;
        std::copy(values.begin(), values.begin() + std::min<std::size_t>(values.size(), 8), r.v);
        p_.records.push_back(r);
        return p_.records.back();
    }
    void addPoint(int32_t x, int32_t y) { p_.points.push_back({x, y}); }
    uint32_t pointMark() const { return uint32_t(p_.points.size()); }
    void addCount(uint32_t n) { p_.counts.push_back(n); }
    uint32_t countMark() const { return uint32_t(p_.counts.size()); }
    // Appends text, returning where it starts.
    uint32_t addAnsi(const uint8_t* s, std::size_t n) {
        const uint32_t at = uint32_t(p_.text.size());
        for (std::size_t i = 0; i < n; ++i)
            p_.text.push_back(s[i] >= 0x80 && s[i] < 0xA0 ? Cp1252High[s[i] - 0x80]
                                                          : char16_t(s[i]));
        return at;
    }
    uint32_t addWide(const uint8_t* s, std::size_t n) {
        const uint32_t at = uint32_t(p_.text.size());
        for (std::size_t i = 0; i < n; ++i) p_.text.push_back(char16_t(le16(s + 2 * i)));
        return at;
    }
    uint32_t textMark() const { return uint32_t(p_.text.size()); }
    // Decodes a bitmap; -1 when it cannot be read or the budget is spent.
    int32_t addBitmap(const uint8_t* info, std::size_t infoSize, const uint8_t* bits,
                      std::size_t bitsSize) {
        RgbaImage image;
        std::string ignored;
        if (!DeviceBitmap::decode(info, infoSize, bits, bitsSize, image, ignored)) return -1;
        const int64_t pixels = int64_t(image.width) * image.height;
        if (pixels > budget_) return -1;
        budget_ -= pixels;
        p_.images.push_back(std::move(image));
        return int32_t(p_.images.size() - 1);
    }
    // A packed bitmap: header, table and rows one after the other.
    int32_t addPackedBitmap(const uint8_t* s, std::size_t n) {
        const std::size_t info = DeviceBitmap::infoSize(s, n);
        return info ? addBitmap(s, info, s + info, n - info) : -1;
    }

  private:
    MetafilePicture& p_;
    int64_t budget_ = BitmapBudget;
};

inline bool bottomUp(const uint8_t* info, std::size_t n) {
    if (n < 12) return true;
    return le32(info) == 12 || int32_t(le32(info + 8)) > 0;
}

// The source rectangle of a bitmap whose rows were stored bottom-up, turned
// into top-down rows of the decoded picture.
void flipSource(MetaRecord& r, const MetafilePicture& p, bool rowsBottomUp) {
    if (r.image < 0 || !rowsBottomUp) return;
    const int32_t h = p.images[std::size_t(r.image)].height;
    r.v[5] = h - r.v[5] - r.v[7];
}

// ---- Plain metafiles: 16-bit records, objects in the first free slot.

class WmfReader {
  public:
    WmfReader(MetafilePicture& p, std::size_t objects) : b_(p), p_(p), used_(objects, false) {}

    // One record: function number and its parameter words.
    void record(uint16_t function, const uint8_t* params, std::size_t words) {
        s_ = params;
        n_ = words;
        switch (function) {
            case 0x001E:
                b_.add(MetaOp::SaveDC);
                break;
            case 0x0127:
                if (has(1)) b_.add(MetaOp::RestoreDC, {w(0)});
                break;
            case 0x0201:
                if (has(2)) b_.add(MetaOp::SetBkColor, {dw(0)});
                break;
            case 0x0209:
                if (has(2)) b_.add(MetaOp::SetTextColor, {dw(0)});
                break;
            case 0x0102:
                if (has(1)) b_.add(MetaOp::SetBkMode, {w(0)});
                break;
            case 0x0103:
                if (has(1)) b_.add(MetaOp::SetMapMode, {w(0)});
                break;
            case 0x0106:
                if (has(1)) b_.add(MetaOp::SetPolyFillMode, {w(0)});
                break;
            case 0x012E:
                if (has(1)) b_.add(MetaOp::SetTextAlign, {uint16_t(w(0))});
                break;
            case 0x020B:
                if (has(2)) b_.add(MetaOp::SetWindowOrg, {w(1), w(0)});
                break;
            case 0x020C:
                if (has(2)) b_.add(MetaOp::SetWindowExt, {w(1), w(0)});
                break;
            case 0x020D:
                if (has(2)) b_.add(MetaOp::SetViewportOrg, {w(1), w(0)});
                break;
            case 0x020E:
                if (has(2)) b_.add(MetaOp::SetViewportExt, {w(1), w(0)});
                break;
            case 0x020F:
                if (has(2)) b_.add(MetaOp::OffsetWindowOrg, {w(1), w(0)});
                break;
            case 0x0211:
                if (has(2)) b_.add(MetaOp::OffsetViewportOrg, {w(1), w(0)});
                break;
            case 0x0410:
                if (has(4)) b_.add(MetaOp::ScaleWindowExt, {w(3), w(2), w(1), w(0)});
                break;
            case 0x0412:
                if (has(4)) b_.add(MetaOp::ScaleViewportExt, {w(3), w(2), w(1), w(0)});
                break;
            case 0x0213:
                if (has(2)) b_.add(MetaOp::LineTo, {w(1), w(0)});
                break;
            case 0x0214:
                if (has(2)) b_.add(MetaOp::MoveTo, {w(1), w(0)});
                break;
            case 0x0415:
                if (has(4)) b_.add(MetaOp::ExcludeClipRect, {w(3), w(2), w(1), w(0)});
                break;
            case 0x0416:
                if (has(4)) b_.add(MetaOp::IntersectClipRect, {w(3), w(2), w(1), w(0)});
                break;
            case 0x012C:
                if (has(1) && w(0) == 0) b_.add(MetaOp::ResetClip);
                break;
            case 0x041B:
                if (has(4)) b_.add(MetaOp::Rectangle, {w(3), w(2), w(1), w(0)});
                break;
            case 0x0418:
                if (has(4)) b_.add(MetaOp::Ellipse, {w(3), w(2), w(1), w(0)});
                break;
            case 0x061C:
                if (has(6)) b_.add(MetaOp::RoundRect, {w(5), w(4), w(3), w(2), w(1), w(0)});
                break;
            case 0x0817:
                arc(MetaOp::Arc);
                break;
            case 0x0830:
                arc(MetaOp::Chord);
                break;
            case 0x081A:
                arc(MetaOp::Pie);
                break;
            case 0x041F:
                if (has(4)) b_.add(MetaOp::SetPixel, {w(3), w(2), dw(0)});
                break;
            case 0x0324:
                poly(MetaOp::Polygon);
                break;
            case 0x0325:
                poly(MetaOp::Polyline);
                break;
            case 0x0538:
                polyPolygon();
                break;
            case 0x0521:
                textOut();
                break;
            case 0x0A32:
                extTextOut();
                break;
            case 0x02FA:
                if (has(5)) b_.add(MetaOp::CreatePen, {create(), uint16_t(w(0)), w(1), dw(3)});
                break;
            case 0x02FC:
                if (has(4))
                    b_.add(MetaOp::CreateBrush, {create(), uint16_t(w(0)), dw(1), uint16_t(w(3))});
                break;
            case 0x02FB:
                font();
                break;
            case 0x0142:
                patternBrush();
                break;
            case 0x00F7:
            case 0x06FF:
            case 0x01F9:
                b_.add(MetaOp::CreateOther, {create()});
                break;
            case 0x012D:
                if (has(1)) b_.add(MetaOp::SelectObject, {uint16_t(w(0))});
                break;
            case 0x01F0:
                if (has(1)) {
                    const std::size_t slot = uint16_t(w(0));
                    if (slot < used_.size()) used_[slot] = false;
                    b_.add(MetaOp::DeleteObject, {int32_t(slot)});
                }
                break;
            case 0x061D:
                if (has(6)) b_.add(MetaOp::PatBlt, {w(5), w(4), w(3), w(2), dw(0)});
                break;
            case 0x0F43:
                stretchDib();
                break;
            case 0x0B41:
                blit(true);
                break;
            case 0x0940:
                blit(false);
                break;
            default:
                break;  // skipped by its length
        }
    }

  private:
    bool has(std::size_t words) const { return n_ >= words; }
    int32_t w(std::size_t i) const { return int16_t(le16(s_ + 2 * i)); }
    int32_t dw(std::size_t i) const { return int32_t(le32(s_ + 2 * i)); }
    const uint8_t* bytes(std::size_t word) const { return s_ + 2 * word; }

    // The slot a new object takes: the first free one.
    int32_t create() {
        auto free = std::find(used_.begin(), used_.end(), false);
        if (free == used_.end()) {
            if (used_.size() >= 65535) return 65535;
            used_.push_back(false);
            free = used_.end() - 1;
        }
        *free = true;
        return int32_t(free - used_.begin());
    }
    void arc(MetaOp op) {
        if (has(8)) b_.add(op, {w(7), w(6), w(5), w(4), w(3), w(2), w(1), w(0)});
    }
    void poly(MetaOp op) {
        if (!has(1)) return;
        const std::size_t count = uint16_t(w(0));
        if (!has(1 + 2 * count)) return;
        MetaRecord& r = b_.add(op);
        r.first = b_.pointMark();
        r.count = uint32_t(count);
        for (std::size_t i = 0; i < count; ++i) b_.addPoint(w(1 + 2 * i), w(2 + 2 * i));
    }
    void polyPolygon() {
        if (!has(1)) return;
        const std::size_t polys = uint16_t(w(0));
        if (!has(1 + polys)) return;
        std::size_t total = 0;
        for (std::size_t i = 0; i < polys; ++i) total += uint16_t(w(1 + i));
        if (!has(1 + polys + 2 * total)) return;
        MetaRecord& r = b_.add(MetaOp::PolyPolygon);
        r.first = b_.pointMark();
        r.count = uint32_t(total);
        r.firstPoly = b_.countMark();
        r.polys = uint32_t(polys);
        for (std::size_t i = 0; i < polys; ++i) b_.addCount(uint16_t(w(1 + i)));
        const std::size_t at = 1 + polys;
        for (std::size_t i = 0; i < total; ++i) b_.addPoint(w(at + 2 * i), w(at + 2 * i + 1));
    }
    void textOut() {
        if (!has(1)) return;
        const std::size_t length = uint16_t(w(0));
        const std::size_t words = (length + 1) / 2;
        if (!has(1 + words + 2)) return;
        MetaRecord& r = b_.add(MetaOp::Text, {w(2 + words), w(1 + words), 0});
        r.first = b_.addAnsi(bytes(1), length);
        r.count = uint32_t(length);
    }
    void extTextOut() {
        if (!has(4)) return;
        const std::size_t length = uint16_t(w(2));
        const int32_t options = uint16_t(w(3));
        const bool rect = (options & 0x06) != 0;  // opaque or clipped
        const std::size_t at = rect ? 8 : 4;
        if (!has(at + (length + 1) / 2)) return;
        MetaRecord& r = b_.add(MetaOp::Text, {w(1), w(0), options});
        if (rect) {
            for (int k = 0; k < 4; ++k) r.v[3 + k] = w(4 + std::size_t(k));
        }
        r.first = b_.addAnsi(bytes(at), length);
        r.count = uint32_t(length);
    }
    void font() {
        if (!has(9)) return;
        const uint8_t* f = bytes(0);
        const std::size_t available = std::min<std::size_t>(32, 2 * n_ - 18);
        std::size_t length = 0;
        while (length < available && f[18 + length]) ++length;
        MetaRecord& r =
            b_.add(MetaOp::CreateFont, {create(), w(0), w(1), w(2), w(4), f[10], f[11], f[12]});
        r.first = b_.addAnsi(f + 18, length);
        r.count = uint32_t(length);
    }
    void patternBrush() {
        if (!has(2)) return;
        const int32_t slot = create();
        MetaRecord& r = b_.add(MetaOp::CreatePatternBrush, {slot});
        r.image = b_.addPackedBitmap(bytes(2), 2 * n_ - 4);
    }
    void stretchDib() {
        if (!has(11)) return;
        const uint8_t* dib = bytes(11);
        const std::size_t size = 2 * n_ - 22;
        MetaRecord& r = b_.add(MetaOp::Bitmap, {w(10), w(9), w(8), w(7), w(6), w(5), w(4), w(3)});
        r.image = b_.addPackedBitmap(dib, size);
        flipSource(r, p_, bottomUp(dib, size));
        r.m[0] = float(uint32_t(dw(0)));  // the raster operation, as the player needs it
    }
    void blit(bool stretch) {
        const std::size_t at = stretch ? 10 : 8;
        if (!has(at + 1)) return;
        MetaRecord& r =
            stretch ? b_.add(MetaOp::Bitmap, {w(9), w(8), w(7), w(6), w(5), w(4), w(3), w(2)})
                    : b_.add(MetaOp::Bitmap, {w(7), w(6), w(5), w(4), w(3), w(2), w(5), w(4)});
        r.image = b_.addPackedBitmap(bytes(at), 2 * (n_ - at));
        r.m[0] = float(uint32_t(dw(0)));
    }

    Builder b_;
    MetafilePicture& p_;
    std::vector<bool> used_;
    const uint8_t* s_ = nullptr;
    std::size_t n_ = 0;
};

bool readWmf(const uint8_t* data, std::size_t size, MetafilePicture& p, std::string& error) {
    std::size_t at = 0;
    bool placeable = false;
    int32_t box[4] = {};
    unsigned inch = 0;
    if (size >= 22 && le32(data) == PlaceableKey) {
        placeable = true;
        for (int i = 0; i < 4; ++i) box[i] = int16_t(le16(data + 6 + 2 * i));
        inch = le16(data + 14);
        at = 22;
    }
    if (size < at + 18 || (le16(data + at) != 1 && le16(data + at) != 2) ||
        le16(data + at + 2) != 9) {
        error = "not a Windows metafile";
        return false;
    }
    const std::size_t objects = le16(data + at + 10);
    at += 18;
    WmfReader reader(p, objects);
    bool windowSeen = false;
    int32_t window[4] = {0, 0, 0, 0};
    while (at + 6 <= size) {
        const uint64_t words = le32(data + at);
        const uint16_t function = le16(data + at + 4);
        if (words < 3 || words * 2 > size - at) {
            error = "metafile record runs past the end of the file";
            return false;
        }
        if (function == 0) break;
        const std::size_t first = p.records.size();
        reader.record(function, data + at + 6, std::size_t(words - 3));
        // The first window the picture sets is its extent when it has no placeable header.
        for (std::size_t i = first; i < p.records.size() && !windowSeen; ++i) {
            if (p.records[i].op == MetaOp::SetWindowOrg)
                window[0] = p.records[i].v[0], window[1] = p.records[i].v[1];
            if (p.records[i].op == MetaOp::SetWindowExt) {
                window[2] = p.records[i].v[0];
                window[3] = p.records[i].v[1];
                windowSeen = true;
            }
        }
        at += std::size_t(words * 2);
    }
    double w, h;
    if (placeable) {
        p.frame[0] = std::min(box[0], box[2]);
        p.frame[1] = std::min(box[1], box[3]);
        p.frame[2] = std::abs(box[2] - box[0]);
        p.frame[3] = std::abs(box[3] - box[1]);
        const double scale = inch ? PixelsPerInch / inch : 1;
        w = p.frame[2] * scale;
        h = p.frame[3] * scale;
    } else {
        p.frame[0] = window[0];
        p.frame[1] = window[1];
        p.frame[2] = std::abs(window[2]);
        p.frame[3] = std::abs(window[3]);
        w = p.frame[2];
        h = p.frame[3];
    }
    if (w < 0.5 || h < 0.5) {
        error = "metafile has no size";
        return false;
    }
    const double shrink = std::min(1.0, LargestSide / std::max(w, h));
    p.width = std::max(1, int32_t(std::lround(w * shrink)));
    p.height = std::max(1, int32_t(std::lround(h * shrink)));
    return true;
}

// ---- Enhanced metafiles: 32-bit records, objects in the slot they name.

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
                if (has(44)) b_.add(MetaOp::CreatePen, {i(8), i(28), i(32), i(40)});
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

bool readEmf(const uint8_t* data, std::size_t size, MetafilePicture& p, std::string& error) {
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

}  // namespace

bool TMetafile::decode(const uint8_t* data, std::size_t size, MetafilePicture& picture,
                       std::string& error) {
    picture = MetafilePicture();
    if (size >= 88 && le32(data) == 1 && le32(data + 40) == EmfSignature) {
        picture.enhanced = true;
        return readEmf(data, size, picture, error);
    }
    return readWmf(data, size, picture, error);
}

}  // namespace kv::codecs
