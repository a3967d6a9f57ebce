#include "codecs/TPSPGraphic.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "codecs/ByteReader.h"

namespace kv::codecs {

namespace {

constexpr char Signature[] = "Paint Shop Pro Image File\n\x1a";
constexpr std::size_t SignatureSize = 32;

enum BlockId : uint16_t {
    ImageAttributes = 0,
    ColourPalette = 2,
    LayerBank = 3,
    Layer = 4,
    Channel = 5,
    CompositeImage = 9,
    CompositeBank = 16,
    CompositeAttributes = 17,
};
enum Compression { None = 0, RunLength = 1, Lz77 = 2 };

struct Block {
    uint16_t id;
    const uint8_t* body;
    std::size_t size;
};

// The next block of in: "~BK\0", its id, the length of its body, the body.
bool nextBlock(ByteReader& in, Block& block, std::string& error) {
    const uint8_t* head = in.take(10);
    if (!head || std::memcmp(head, "~BK\0", 4) != 0) {
        error = "Paint Shop Pro block header is damaged";
        return false;
    }
    block.id = le16(head + 4);
    block.size = le32(head + 6);
    block.body = in.take(block.size);
    if (!block.body) {
        error = "Paint Shop Pro block runs past the end of the file";
        return false;
    }
    return true;
}

// A chunk: the fields at the start of a block body, led by their own length.
// Returns the reader positioned after the chunk, or nothing when the chunk
// is shorter than `least` bytes or longer than the block.
std::optional<ByteReader> afterChunk(const Block& block, std::size_t least) {
    if (block.size < 4) return std::nullopt;
    const uint32_t length = le32(block.body);
    if (length < least || length > block.size) return std::nullopt;
    ByteReader r(block.body, block.size);
    r.seek(length);
    return r;
}

struct ChannelData {
    uint16_t bitmapType = 0;   // 0 image, 1 transparency mask, others ignored
    uint16_t channelType = 0;  // 0 index or grey, 1 red, 2 green, 3 blue
    const uint8_t* data = nullptr;
    std::size_t compressed = 0;
    std::size_t uncompressed = 0;
};

struct Raster {
    int64_t width = 0, height = 0;
    int64_t left = 0, top = 0;  // where it lies on the canvas
    int bitDepth = 0;
    int compression = 0;
    std::vector<ChannelData> channels;
};

bool readChannel(const Block& block, ChannelData& channel, std::string& error) {
    const auto rest = afterChunk(block, 16);
    if (!rest) {
        error = "Paint Shop Pro channel header is damaged";
        return false;
    }
    channel.compressed = le32(block.body + 4);
    channel.uncompressed = le32(block.body + 8);
    channel.bitmapType = le16(block.body + 12);
    channel.channelType = le16(block.body + 14);
    ByteReader r = *rest;
    channel.data = r.take(channel.compressed);
    if (!channel.data) {
        error = "Paint Shop Pro channel data runs past its block";
        return false;
    }
    return true;
}

// Reads the channel blocks that follow the chunk of a layer or composite
// image block; a palette block among them fills palette.
bool readChannels(ByteReader& in, Raster& raster, std::vector<uint8_t>& palette,
                  std::string& error);

bool readPalette(const Block& block, std::vector<uint8_t>& palette, std::string& error) {
    auto rest = afterChunk(block, 8);
    const uint32_t count = rest ? le32(block.body + 4) : 0;
    const uint8_t* entries = rest && count <= 256 ? rest->take(uint64_t(count) * 4) : nullptr;
    if (!entries) {
        error = "Paint Shop Pro palette is damaged";
        return false;
    }
    palette.assign(256 * 3, 0);
    for (uint32_t i = 0; i < count; ++i) {  // blue, green, red, reserved
        palette[3 * i] = entries[4 * i + 2];
        palette[3 * i + 1] = entries[4 * i + 1];
        palette[3 * i + 2] = entries[4 * i];
    }
    return true;
}

bool readChannels(ByteReader& in, Raster& raster, std::vector<uint8_t>& palette,
                  std::string& error) {
    while (in.remaining() > 0) {
        Block sub{};
        if (!nextBlock(in, sub, error)) return false;
        if (sub.id == Channel) {
            if (raster.channels.size() >= 16) continue;
            ChannelData channel;
            if (!readChannel(sub, channel, error)) return false;
            raster.channels.push_back(channel);
        } else if (sub.id == ColourPalette && !readPalette(sub, palette, error)) {
            return false;
        }
    }
    return true;
}

// Unpacks a channel into exactly out.size() bytes.
bool unpack(const ChannelData& channel, int compression, std::vector<uint8_t>& out) {
    const uint8_t* s = channel.data;
    const std::size_t n = channel.compressed;
    if (compression == None) {
        if (n < out.size()) return false;
        std::memcpy(out.data(), s, out.size());
        return true;
    }
    if (compression == RunLength) {
        // A count above 128 repeats the next byte count - 128 times; any
        // other count is followed by that many bytes as they are.
        std::size_t i = 0, o = 0;
        while (o < out.size()) {
            if (i >= n) return false;
            const unsigned head = s[i++];
            if (head > 128) {
                const std::size_t run = head - 128;
                if (i >= n || run > out.size() - o) return false;
                std::memset(out.data() + o, s[i++], run);
                o += run;
            } else {
                if (head > n - i || head > out.size() - o) return false;
                std::memcpy(out.data() + o, s + i, head);
                i += head;
                o += head;
            }
        }
        return true;
    }
    if (compression != Lz77 || n > UINT32_MAX || out.size() > UINT32_MAX) return false;
    // One zlib stream that must fill the channel exactly.
    struct Inflater {
        z_stream z{};
        bool ready = inflateInit(&z) == Z_OK;
        ~Inflater() {
            if (ready) inflateEnd(&z);
        }
    } inflater;
    if (!inflater.ready) return false;
    z_stream& z = inflater.z;
    z.next_in = const_cast<Bytef*>(s);
    z.avail_in = uInt(n);
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    const int r = inflate(&z, Z_FINISH);
    return z.avail_out == 0 && (r == Z_STREAM_END || r == Z_OK || r == Z_BUF_ERROR);
}

bool paint(const Raster& raster, const std::vector<uint8_t>& palette, bool grey,
           int64_t canvasWidth, int64_t canvasHeight, RgbaImage& image, std::string& error) {
    if (raster.bitDepth != 24 && raster.bitDepth != 8) {
        error = "Paint Shop Pro bit depth not supported";
        return false;
    }
    if (raster.width <= 0 || raster.height <= 0 || raster.width > MaxPixels / raster.height ||
        raster.left < 0 || raster.top < 0 || raster.left + raster.width > canvasWidth ||
        raster.top + raster.height > canvasHeight) {
        error = "Paint Shop Pro layer does not fit its canvas";
        return false;
    }
    if (!image.allocate(canvasWidth, canvasHeight, error)) return false;
    const std::size_t w = std::size_t(raster.width), h = std::size_t(raster.height);
    std::vector<uint8_t> plane;
    bool any = false, alpha = false;
    for (const ChannelData& channel : raster.channels) {
        int target;
        if (channel.bitmapType == 1) {
            target = 3;
        } else if (channel.bitmapType != 0) {
            continue;
        } else if (raster.bitDepth == 24) {
            if (channel.channelType < 1 || channel.channelType > 3) continue;
            target = channel.channelType - 1;
        } else {
            if (channel.channelType != 0) continue;
            target = -1;  // the index plane
        }
        // Rows are packed, or padded to 4 bytes when the length says so.
        const std::size_t padded = (w + 3) & ~std::size_t(3);
        const std::size_t stride = channel.uncompressed == padded * h ? padded : w;
        if (channel.uncompressed != stride * h) {
            error = "Paint Shop Pro channel size does not match its layer";
            return false;
        }
        plane.resize(stride * h);
        if (!unpack(channel, raster.compression, plane)) {
            error = "Paint Shop Pro channel data is damaged";
            return false;
        }
        for (std::size_t y = 0; y < h; ++y) {
            const uint8_t* s = plane.data() + y * stride;
            uint8_t* d = image.row(int32_t(raster.top + int64_t(y))) + 4 * raster.left;
            for (std::size_t x = 0; x < w; ++x, d += 4) {
                if (target >= 0) {
                    d[target] = s[x];
                } else if (grey || palette.empty()) {
                    d[0] = d[1] = d[2] = s[x];
                } else {
                    std::memcpy(d, &palette[3 * s[x]], 3);
                }
            }
        }
        any = any || target != 3;
        alpha = alpha || target == 3;
    }
    if (!any) {
        error = "Paint Shop Pro layer has no image channel";
        return false;
    }
    if (!alpha) {
        for (std::size_t y = 0; y < h; ++y) {
            uint8_t* d = image.row(int32_t(raster.top + int64_t(y))) + 4 * raster.left;
            for (std::size_t x = 0; x < w; ++x) d[4 * x + 3] = 255;
        }
    }
    return true;
}

}  // namespace

bool TPSPGraphic::decode(const uint8_t* data, std::size_t size, RgbaImage& image,
                         std::string& error) {
    if (size < SignatureSize + 4 || std::memcmp(data, Signature, sizeof Signature - 1) != 0) {
        error = "not a Paint Shop Pro file";
        return false;
    }
    const unsigned major = le16(data + SignatureSize);
    if (major < 4) {
        error = "Paint Shop Pro file version not supported";
        return false;
    }
    ByteReader in(data, size);
    in.seek(SignatureSize + 4);

    bool haveAttributes = false, grey = false;
    int64_t canvasWidth = 0, canvasHeight = 0;
    int compression = 0, bitDepth = 0;
    std::vector<uint8_t> palette;
    std::vector<uint8_t> layerPalette;
    std::optional<Raster> composite, layer;
    std::vector<uint8_t> compositePalette;

    while (in.remaining() > 0) {
        Block block{};
        if (!nextBlock(in, block, error)) return false;
        if (block.id == ImageAttributes) {
            if (!afterChunk(block, 46)) {
                error = "Paint Shop Pro image attributes are damaged";
                return false;
            }
            canvasWidth = int32_t(le32(block.body + 4));
            canvasHeight = int32_t(le32(block.body + 8));
            compression = le16(block.body + 21);
            bitDepth = le16(block.body + 23);
            grey = block.body[31] != 0;
            haveAttributes = true;
        } else if (block.id == ColourPalette) {
            if (!readPalette(block, palette, error)) return false;
        } else if (block.id == LayerBank && haveAttributes && !layer) {
            ByteReader bank(block.body, block.size);
            while (bank.remaining() > 0 && !layer) {
                Block sub{};
                if (!nextBlock(bank, sub, error)) return false;
                if (sub.id != Layer) continue;
                // The layer's chunk: name, type, image and saved rectangles.
                auto info = afterChunk(sub, 4);
                ByteReader f(sub.body, info ? info->pos() : 0);
                uint16_t nameLength;
                uint8_t type;
                f.skip(4);
                const uint8_t* rects =
                    f.le16(nameLength) && f.skip(nameLength) && f.u8(type) ? f.take(32) : nullptr;
                if (!rects) {
                    error = "Paint Shop Pro layer header is damaged";
                    return false;
                }
                if (type != 1 && type != 2) continue;  // raster and floating raster layers
                Raster r;
                r.left = int32_t(le32(rects + 16));
                r.top = int32_t(le32(rects + 20));
                r.width = int64_t(int32_t(le32(rects + 24))) - r.left;
                r.height = int64_t(int32_t(le32(rects + 28))) - r.top;
                r.bitDepth = bitDepth;
                r.compression = compression;
                // Then the bitmap chunk (bitmap and channel counts) and the channels.
                ByteReader rest = *info;
                uint32_t chunk;
                if (!rest.le32(chunk) || chunk < 8 || !rest.skip(chunk - 4)) {
                    error = "Paint Shop Pro layer bitmap header is damaged";
                    return false;
                }
                ByteReader channels(rest.data() + rest.pos(), rest.remaining());
                if (!readChannels(channels, r, layerPalette, error)) return false;
                layer = std::move(r);
            }
        } else if (block.id == CompositeBank && !composite) {
            const auto start = afterChunk(block, 8);
            if (!start) {
                error = "Paint Shop Pro composite bank is damaged";
                return false;
            }
            ByteReader bank = *start;
            std::optional<Raster> pending;  // set by a composite attributes block
            while (bank.remaining() > 0 && !composite) {
                Block sub{};
                if (!nextBlock(bank, sub, error)) return false;
                if (sub.id == CompositeAttributes) {
                    if (!afterChunk(sub, 24)) {
                        error = "Paint Shop Pro composite attributes are damaged";
                        return false;
                    }
                    pending.reset();
                    if (le16(sub.body + 22) != 0) continue;  // a thumbnail
                    Raster r;
                    r.width = int32_t(le32(sub.body + 4));
                    r.height = int32_t(le32(sub.body + 8));
                    r.bitDepth = le16(sub.body + 12);
                    r.compression = le16(sub.body + 14);
                    pending = std::move(r);
                } else if (sub.id == CompositeImage && pending) {
                    const auto info = afterChunk(sub, 8);
                    if (!info) {
                        error = "Paint Shop Pro composite image is damaged";
                        return false;
                    }
                    ByteReader channels = *info;
                    if (!readChannels(channels, *pending, compositePalette, error)) return false;
                    composite = std::exchange(pending, std::nullopt);
                }
            }
        }
    }
    if (composite) {
        const auto& colours = compositePalette.empty() ? palette : compositePalette;
        return paint(*composite, colours, grey, composite->width, composite->height, image, error);
    }
    if (layer) {
        const auto& colours = layerPalette.empty() ? palette : layerPalette;
        return paint(*layer, colours, grey, canvasWidth, canvasHeight, image, error);
    }
    error = "Paint Shop Pro file holds no composite image and no raster layer";
    return false;
}

}  // namespace kv::codecs
