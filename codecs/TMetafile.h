#pragma once
// Windows metafiles (.wmf, placeable or not, and enhanced .emf), read into a
// list of drawing commands that the Qt edge plays onto a painter
// (codecs/MetafilePlayer.h). Reading checks every record against the file,
// so playing needs no further checks on the bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codecs/RgbaImage.h"

namespace kv::codecs {

// The drawing commands common to both kinds of metafile. Coordinates are
// logical units; v[] holds the numbers each command takes, in the order of
// the comment.
enum class MetaOp : uint8_t {
    SetMapMode,            // mode
    SetWindowOrg,          // x, y
    SetWindowExt,          // x, y
    SetViewportOrg,        // x, y
    SetViewportExt,        // x, y
    OffsetWindowOrg,       // dx, dy
    OffsetViewportOrg,     // dx, dy
    ScaleWindowExt,        // xNum, xDenom, yNum, yDenom
    ScaleViewportExt,      // xNum, xDenom, yNum, yDenom
    SetWorldTransform,     // m[6]
    ModifyWorldTransform,  // m[6], v0 mode (1 identity, 2 left, 3 right, 4 set)
    SaveDC,
    RestoreDC,           // relative (negative) or absolute level
    CreatePen,           // slot, style, width, colour
    CreateBrush,         // slot, style, colour, hatch
    CreatePatternBrush,  // slot; image
    CreateFont,    // slot, height, width, escapement, weight, italic, underline, strikeout; text =
                   // face
    CreateOther,   // slot (an object this player does not use: palette, region)
    SelectObject,  // slot, or stock object index | 0x80000000
    DeleteObject,  // slot
    SetTextColor,  // colour
    SetBkColor,    // colour
    SetBkMode,     // mode (1 transparent, 2 opaque)
    SetPolyFillMode,  // mode (1 alternate, 2 winding)
    SetTextAlign,     // flags
    MoveTo,           // x, y
    LineTo,           // x, y
    Polyline,         // points
    PolylineTo,       // points
    PolyBezier,       // points
    PolyBezierTo,     // points
    Polygon,          // points
    PolyPolygon,      // points, counts
    PolyPolyline,     // points, counts
    Rectangle,        // left, top, right, bottom
    RoundRect,        // left, top, right, bottom, corner width, corner height
    Ellipse,          // left, top, right, bottom
    Arc,              // left, top, right, bottom, xStart, yStart, xEnd, yEnd
    Chord,            // as Arc
    Pie,              // as Arc
    SetPixel,         // x, y, colour
    Text,             // x, y, options, clip left, top, right, bottom; text
    Bitmap,           // dest x, y, w, h, src x, y, w, h (top-down rows); image
    PatBlt,           // x, y, w, h, raster operation
    BeginPath,
    EndPath,
    CloseFigure,
    FillPath,
    StrokePath,
    StrokeAndFillPath,
    AbortPath,
    IntersectClipRect,  // left, top, right, bottom
    ExcludeClipRect,    // left, top, right, bottom
    ResetClip,
    SelectClipPath,  // mode
};

struct MetaPoint {
    int32_t x, y;
};

struct MetaRecord {
    MetaOp op;
    int32_t v[8] = {};
    float m[6] = {};
    uint32_t first = 0, count = 0;      // points (or UTF-16 units of text)
    uint32_t firstPoly = 0, polys = 0;  // entries of counts
    int32_t image = -1;                 // index in images
};

struct MetafilePicture {
    bool enhanced = false;
    // The size the picture is drawn at, in pixels at 96 dots per inch.
    int32_t width = 0, height = 0;
    // What those pixels cover: for a metafile, a window in logical units
    // (left, top, width, height); for an enhanced one, the frame in the
    // reference device's pixels.
    double frame[4] = {};
    // For an enhanced metafile: the reference device's pixels per 0.01 mm,
    // horizontally and vertically (what the metric mapping modes scale by).
    double perHimetric[2] = {};
    std::vector<MetaRecord> records;
    std::vector<MetaPoint> points;
    std::vector<uint32_t> counts;
    std::u16string text;
    std::vector<RgbaImage> images;
};

class TMetafile {
  public:
    // Reads a placeable or plain metafile or an enhanced metafile into
    // picture. Records this reader does not draw are skipped by their
    // length, as are drawing records whose parameters do not fit them;
    // bitmaps it cannot decode are left out. False, with the reason in
    // error, when the header is not a metafile's, when a record's length
    // takes it past the end of the file, or when the picture has no size.
    static bool decode(const uint8_t* data, std::size_t size, MetafilePicture& picture,
                       std::string& error);
};

}  // namespace kv::codecs
