// Damaged and hostile files: every decoder refuses them with a reason, and
// never reads outside the file (these tests also run under the address
// sanitizer, and the fuzz targets go further).

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "codecs/CodecTestSupport.h"
#include "codecs/MetafilePlayer.h"
#include "codecs/TCUTGraphic.h"
#include "codecs/TMetafile.h"
#include "codecs/TPCDGraphic.h"

namespace {

using namespace kvtest;
using kv::codecs::RgbaImage;

const char* const Fixtures[] = {
    "tga_rgb24_rle.tga",     "tga_pal8.tga",        "gen_tga16.tga",
    "gen_tga_map32.tga",     "pcx_rgb24.pcx",       "pcx_pal8.pcc",
    "gen_pcx_ega.pcx",       "gen_pcx_nibble.pcx",  "sgi_rgb_rle.sgi",
    "sgi_rgba.rgba",         "sgi_grey16.bw",       "psd_rgb_rle.psd",
    "psd_rgba_raw.pdd",      "psd_cmyk.psd",        "psd_bitmap.psd",
    "gen_rla_rgba8.rla",     "gen_rla_rgb16.rla",   "gen_rpf_grey_aux.rpf",
    "gen_cel.cel",           "gen_cut.cut",         "gen_psp_composite.psp",
    "gen_psp_layer_rle.psp", "gen_psp_indexed.psp", "inkscape.emf",
    "inkscape.wmf",          "inkscape_dashes.emf", "pnm_p1_plain.pbm",
    "pnm_p3_plain.ppm",      "pnm_p4.pbm",          "pnm_p6_16.ppm",
};

std::string extensionOf(const std::string& name) {
    return name.substr(name.rfind('.') + 1);
}

bool decode(const std::string& extension, const std::vector<uint8_t>& bytes, std::string& error) {
    if (extension == "emf" || extension == "wmf") {
        kv::codecs::MetafilePicture picture;
        if (!kv::codecs::TMetafile::decode(bytes.data(), bytes.size(), picture, error))
            return false;
        // What was read is also played, so that the player meets damaged records too.
        if (int64_t(picture.width) * picture.height <= 1 << 20) {
            EXPECT_FALSE(kv::codecs::MetafilePlayer::play(picture).isNull());
        }
        return true;
    }
    RgbaImage image;
    const bool ok = decodeByExtension(extension, bytes, image, error);
    if (ok) {
        EXPECT_EQ(image.pixels.size(), std::size_t(image.width) * image.height * 4);
    }
    return ok;
}

class DamagedFixtureTest : public ::testing::TestWithParam<const char*> {};

// Cut short anywhere, or with bytes overwritten, a file decodes or is
// refused with a reason; a file cut anywhere inside its pixels is refused.
TEST_P(DamagedFixtureTest, TruncatedOrCorruptedFilesAreRefusedOrDecoded) {
    const std::vector<uint8_t> whole = readFixture(GetParam());
    ASSERT_FALSE(whole.empty());
    const std::string extension = extensionOf(GetParam());
    std::string error;
    ASSERT_TRUE(decode(extension, whole, error)) << error;
    for (std::size_t cut = 0; cut < whole.size(); cut += cut < 1024 ? 1 : 97) {
        const std::vector<uint8_t> part(whole.begin(), whole.begin() + std::ptrdiff_t(cut));
        error.clear();
        if (!decode(extension, part, error)) {
            EXPECT_FALSE(error.empty()) << "cut at " << cut;
        }
    }
    // Raster files end with their pixels: the first half of one is no picture.
    if (extension != "emf" && extension != "wmf") {
        const std::vector<uint8_t> part(whole.begin(),
                                        whole.begin() + std::ptrdiff_t(whole.size() / 2));
        EXPECT_FALSE(decode(extension, part, error));
    }
    uint32_t seed = 12345;
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> bytes = whole;
        for (int k = 0; k < 1 + round % 8; ++k) {
            seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
            bytes[seed % bytes.size()] = uint8_t(seed >> 24);
        }
        error.clear();
        if (!decode(extension, bytes, error)) {
            EXPECT_FALSE(error.empty()) << "round " << round;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DamagedFixtureTest, ::testing::ValuesIn(Fixtures),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

void put16le(std::vector<uint8_t>& b, std::size_t at, unsigned v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void put32be(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = uint8_t(v >> (24 - 8 * i));
}

std::vector<uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

struct Hostile {
    const char* name;
    const char* fixture;
    std::function<void(std::vector<uint8_t>&)> patch;
    const char* error;  // what the refusal says
};

const Hostile HostileRows[] = {
    {"TargaLargerThanItsFile", "tga_pal8.tga",
     [](auto& b) { put16le(b, 12, 16000), put16le(b, 14, 16000); },
     "pixel data runs past the end of the file"},
    {"TargaPast256Megapixels", "tga_rgb24.tga",
     [](auto& b) { put16le(b, 12, 65535), put16le(b, 14, 65535), b.resize(b.size() + (1u << 20)); },
     "pixel data runs past the end of the file"},
    {"TargaIndexOutsideItsMap", "gen_tga_map24.vst", [](auto& b) { b.back() = 250; },
     "colour index outside the colour map"},
    {"TargaRunPassingThePicture", "tga_rgb24_rle.tga",
     [](auto& b) { put16le(b, 14, 1), b[18 + b[0]] = 0xFF; },  // one row, then a run of 128
     "run-length packet passes the end of the picture"},
    {"TargaHuffmanType", "tga_rgb24.tga", [](auto& b) { b[2] = 32; },
     "Targa image type not supported"},
    {"PcxLineShorterThanThePicture", "pcx_rgb24.pcx", [](auto& b) { put16le(b, 66, 4); },
     "PCX line is shorter than the picture is wide"},
    {"PcxLargerThanItsFile", "pcx_mono.pcx",
     [](auto& b) { put16le(b, 10, 60000), put16le(b, 8, 8000), put16le(b, 66, 8002); },
     "PCX data ends before the picture is complete"},
    {"SgiRowOutsideTheFile", "sgi_rgb_rle.sgi", [](auto& b) { put32be(b, 512, 0x7FFFFFF0); },
     "SGI row lies outside the file"},
    {"SgiColourMapped", "sgi_rgba.rgba", [](auto& b) { put32be(b, 104, 3); },
     "SGI variant not supported"},
    {"PsdPast256Megapixels", "psd_rgb_rle.psd",
     [](auto& b) { put32be(b, 14, 300000), put32be(b, 18, 300000); },
     "Photoshop picture size not accepted"},
    {"PsdLayersPastTheEnd", "psd_rgb_rle.psd",
     [](auto& b) {
         // colour data length at 26, then the resources; the layer length follows them
         const uint32_t resources = uint32_t(b[30] << 24 | b[31] << 16 | b[32] << 8 | b[33]);
         put32be(b, 34 + resources, 0x7FFFFFFF);
     },
     "Photoshop sections run past the end of the file"},
    {"PsdRunCountsPastTheEnd", "psd_rgb_rle.psd", [](auto& b) { b.resize(b.size() - 40); },
     "Photoshop run-length data runs past the end of the file"},
    {"RlaLineOutsideTheFile", "gen_rla_rgba8.rla", [](auto& b) { put32be(b, 740, 0x00FFFFFF); },
     "RLA scan line lies outside the file"},
    {"RlaChannelTooLong", "gen_rla_rgba8.rla",
     [](auto& b) {
         const std::size_t line = std::size_t(b[740] << 24 | b[741] << 16 | b[742] << 8 | b[743]);
         b[line] = 0xFF, b[line + 1] = 0xFF;
     },
     "RLA channel runs past the end of the file"},
    {"AutodeskLargerThanItsFile", "gen_cel.cel", [](auto& b) { put16le(b, 2, 4000); },
     "Autodesk pixel data runs past the end of the file"},
    {"PspZlibDamaged", "gen_psp_composite.psp",
     [](auto& b) {
         // the last channel of the merged picture is a zlib stream: break its middle
         b[b.size() - 20] ^= 0x55, b[b.size() - 21] ^= 0xAA, b[b.size() - 22] ^= 0x0F;
     },
     "Paint Shop Pro channel data is damaged"},
    {"PspBlockPastTheEnd", "gen_psp_indexed.psp", [](auto& b) { b.resize(b.size() - 3); },
     "Paint Shop Pro block runs past the end of the file"},
    {"PspOldVersion", "gen_psp_indexed.psp", [](auto& b) { b[32] = 3; },
     "Paint Shop Pro file version not supported"},
    {"WmfRecordPastTheEnd", "inkscape.wmf",
     [](auto& b) { b[40] = 0xFF, b[41] = 0xFF, b[42] = 0xFF; },
     "metafile record runs past the end of the file"},
    {"EmfRecordPastTheEnd", "inkscape.emf", [](auto& b) { b.resize(b.size() - 2); },
     "enhanced metafile record runs past the end of the file"},
    {"PortableMapLargerThanItsFile", "pnm_p6.ppm",
     [](auto& b) { b = bytesOf("P6\n16000 16000\n255\n" + std::string(1000, 'x')); },
     "pixel data runs past the end of the file"},
    {"PortableMapPast256Megapixels", "pnm_p4.pbm",
     [](auto& b) { b = bytesOf("P4\n65536 65536\n" + std::string(1000, 'x')); },
     "image is larger than 256 megapixels"},
    {"PortableMapSamplePastItsLargest", "pnm_p2_plain.pgm",
     [](auto& b) { b = bytesOf("P2 2 1 100 50 101"); }, "sample missing or past the largest value"},
    {"PortableMapOfAnotherKind", "pnm_p6.ppm", [](auto& b) { b[1] = '7'; },
     "not a portable bitmap, graymap or pixmap"},
};

class HostileTest : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileTest, IsRefusedWithItsReason) {
    std::vector<uint8_t> bytes = readFixture(GetParam().fixture);
    ASSERT_FALSE(bytes.empty());
    GetParam().patch(bytes);
    std::string error;
    EXPECT_FALSE(decode(extensionOf(GetParam().fixture), bytes, error));
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Rows, HostileTest, ::testing::ValuesIn(HostileRows),
                         [](const ::testing::TestParamInfo<Hostile>& info) {
                             return info.param.name;
                         });

TEST(PhotoCd, ShortPackFallsBackToTheLargestWholePicture) {
    std::vector<uint8_t> bytes = readFixture("gen_pcd_kodak.pcd.gz");
    ASSERT_EQ(bytes.size(), std::size_t(0x30000 + 768 * 512 * 3 / 2));
    RgbaImage image;
    std::string error;
    bytes.resize(0xB800 + 384 * 256 * 3 / 2);
    ASSERT_TRUE(kv::codecs::TPCDGraphic::decode(bytes.data(), bytes.size(), image, error)) << error;
    EXPECT_EQ(image.width, 384);
    EXPECT_EQ(image.height, 256);
    bytes.resize(0x2000 + 192 * 128 * 3 / 2 - 1);
    EXPECT_FALSE(kv::codecs::TPCDGraphic::decode(bytes.data(), bytes.size(), image, error));
    EXPECT_EQ(error, "Photo CD image pack holds no whole picture");
}

TEST(DrHalo, DamagedPaletteIsRefused) {
    const std::vector<uint8_t> picture = readFixture("gen_cut.cut");
    std::vector<uint8_t> palette = readFixture("GEN_CUT.PAL");
    RgbaImage image;
    std::string error;
    palette.resize(600);  // its second block is cut
    EXPECT_FALSE(kv::codecs::TCUTGraphic::decode(picture.data(), picture.size(), palette.data(),
                                                 palette.size(), image, error));
    EXPECT_EQ(error, "Dr. Halo palette ends before its last colour");
    palette[0] = 'X';
    EXPECT_FALSE(kv::codecs::TCUTGraphic::decode(picture.data(), picture.size(), palette.data(),
                                                 palette.size(), image, error));
    EXPECT_EQ(error, "not a Dr. Halo palette file");
}

}  // namespace
