#include "codecs/TMetafile.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "codecs/MetafileBuilder.h"

namespace kv::codecs {

namespace {

using namespace metafile;

constexpr uint32_t PlaceableKey = 0x9AC6CDD7;
constexpr uint32_t EmfSignature = 0x464D4520;  // " EMF"

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

}  // namespace

bool TMetafile::decode(const uint8_t* data, std::size_t size, MetafilePicture& picture,
                       std::string& error) {
    picture = MetafilePicture();
    if (size >= 88 && le32(data) == 1 && le32(data + 40) == EmfSignature) {
        picture.enhanced = true;
        return readEnhanced(data, size, picture, error);
    }
    return readWmf(data, size, picture, error);
}

}  // namespace kv::codecs
