// Every fixture, written by an independent program or by the fixture
// writers from the format descriptions (tests/data/images/README.md), loads
// through its decoder class record to the pixels of the PNG beside it.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <map>

#include "codecs/CodecClasses.h"
#include "codecs/CodecTestSupport.h"

namespace {

using namespace kvtest;

struct Row {
    const char* fixture;
    const char* expected;
    int slack;               // largest channel difference a pixel may have without counting
    double outliers;         // share of pixels allowed past the slack
    int sizeSlack = 0;       // pixels a side the sizes may differ by
    bool shapeOnly = false;  // compare size, orientation and shapes, not colours
};

// ImageMagick's Photo CD packs keep luma and chroma unscaled, unlike
// PhotoYCC, so their colours are not those of a Photo CD: they are checked
// for size, orientation and shapes (a luma correlation of 0.8 at least; the
// picture turned the wrong way scores 0.6 at most), and a pack written in
// PhotoYCC by the fixture writer is checked for colour: within 12 levels
// except at the edges of shapes, where chroma at half resolution smears
// (at most 2 % of the pixels).
// Lossless formats match exactly (the indexed Photoshop file within one
// level: its PNG was quantized to a 16-bit palette). Photo CD rounds colours through PhotoYCC
// and half-resolution chroma: within 12 levels everywhere. Lab goes through
// floating point: within 2 levels. The metafiles are drawn by another
// renderer with other anti-aliasing: at most 3 % of the pixels (the edges)
// differ by more than 40 levels; the enhanced metafile's frame is rounded
// up to whole millimetres by its writer, so the picture may be up to 4
// pixels larger than the drawing exported as PNG.
const Row Rows[] = {
    {"tga_rgb24.tga", "tga_rgb24.png", 0, 0},
    {"tga_rgb24_rle.tga", "tga_rgb24_rle.png", 0, 0},
    {"tga_rgba32.tga", "tga_rgba32.png", 0, 0},
    {"tga_grey8_rle.tga", "tga_grey8_rle.png", 0, 0},
    {"tga_pal8.tga", "tga_pal8.png", 0, 0},
    {"tga_pal8_rle.vda", "tga_pal8_rle.png", 0, 0},
    {"pil_rgb_rle.tga", "pil_rgb_rle.png", 0, 0},
    {"pil_rgba.icb", "pil_rgba.png", 0, 0},
    {"gen_tga16.tga", "gen_tga16.png", 0, 0},
    {"gen_tga16_bl.win", "gen_tga16_bl.png", 0, 0},
    {"gen_tga_map15.tga", "gen_tga_map15.png", 0, 0},
    {"gen_tga_map16.tga", "gen_tga_map16.png", 0, 0},
    {"gen_tga_map24.vst", "gen_tga_map24.png", 0, 0},
    {"gen_tga_map32.tga", "gen_tga_map32.png", 0, 0},
    {"pcx_rgb24.pcx", "pcx_rgb24.png", 0, 0},
    {"pcx_pal8.pcc", "pcx_pal8.png", 0, 0},
    {"pcx_mono.pcx", "pcx_mono.png", 0, 0},
    {"pil_grey.pcx", "pil_grey.png", 0, 0},
    {"pil_pal.scr", "pil_pal.png", 0, 0},
    {"gen_pcx_ega.pcx", "gen_pcx_ega.png", 0, 0},
    {"gen_pcx_ega_v0.pcx", "gen_pcx_ega_v0.png", 0, 0},
    {"gen_pcx_nibble.pcx", "gen_pcx_nibble.png", 0, 0},
    {"sgi_rgb_rle.sgi", "sgi_rgb_rle.png", 0, 0},
    {"sgi_rgba.rgba", "sgi_rgba.png", 0, 0},
    {"sgi_grey16.bw", "sgi_grey16.png", 0, 0},
    {"pil_rgb.rgb", "pil_rgb.png", 0, 0},
    {"pil_grey.sgi", "pil_grey.png", 0, 0},
    {"psd_rgb_rle.psd", "psd_rgb_rle.png", 0, 0},
    {"psd_rgba_raw.pdd", "psd_rgba_raw.png", 0, 0},
    {"psd_grey16.psd", "psd_grey16.png", 0, 0},
    {"psd_pal.psd", "psd_pal.png", 1, 0},
    {"psd_cmyk.psd", "psd_cmyk.png", 1, 0},
    {"psd_bitmap.psd", "psd_bitmap.png", 0, 0},
    {"psd_lab.psd", "psd_lab.png", 2, 0},
    {"gen_rla_rgba8.rla", "gen_rla_rgba8.png", 0, 0},
    {"gen_rla_rgb16.rla", "gen_rla_rgb16.png", 0, 0},
    {"gen_rpf_grey_aux.rpf", "gen_rpf_grey_aux.png", 0, 0},
    {"gen_cel.cel", "gen_cel.png", 0, 0},
    {"gen_pic.pic", "gen_pic.png", 0, 0},
    {"pcd_landscape.pcd.gz", "pcd_landscape.png", 0, 0, 0, true},
    {"pcd_portrait.pcd.gz", "pcd_portrait.png", 0, 0, 0, true},
    {"gen_pcd_kodak.pcd.gz", "gen_pcd_kodak.png", 12, 0.02},
    {"gen_cut.cut", "gen_cut.png", 0, 0},
    {"gen_cut_grey.cut", "gen_cut_grey.png", 0, 0},
    {"gen_psp_composite.psp", "gen_psp_composite.png", 0, 0},
    {"gen_psp_layer_rle.psp", "gen_psp_layer_rle.png", 0, 0},
    {"gen_psp_indexed.psp", "gen_psp_indexed.png", 0, 0},
    {"inkscape.emf", "inkscape.png", 40, 0.03, 4},
    {"inkscape.wmf", "inkscape.png", 40, 0.03, 4},
};

const kv::DecoderClass& classFor(const QString& extension) {
    static const std::map<QString, const kv::DecoderClass*> classes = {
        {"tga", &kv::codecs::TTargaGraphicClass},    {"win", &kv::codecs::TTargaGraphicClass},
        {"vst", &kv::codecs::TTargaGraphicClass},    {"vda", &kv::codecs::TTargaGraphicClass},
        {"icb", &kv::codecs::TTargaGraphicClass},    {"pcx", &kv::codecs::TPCXGraphicClass},
        {"pcc", &kv::codecs::TPCXGraphicClass},      {"scr", &kv::codecs::TPCXGraphicClass},
        {"sgi", &kv::codecs::TSGIGraphicClass},      {"rgba", &kv::codecs::TSGIGraphicClass},
        {"rgb", &kv::codecs::TSGIGraphicClass},      {"bw", &kv::codecs::TSGIGraphicClass},
        {"psd", &kv::codecs::TPSDGraphicClass},      {"pdd", &kv::codecs::TPSDGraphicClass},
        {"rla", &kv::codecs::TRLAGraphicClass},      {"rpf", &kv::codecs::TRLAGraphicClass},
        {"cel", &kv::codecs::TAutodeskGraphicClass}, {"pic", &kv::codecs::TAutodeskGraphicClass},
        {"pcd", &kv::codecs::TPCDGraphicClass},      {"cut", &kv::codecs::TCUTGraphicClass},
        {"psp", &kv::codecs::TPSPGraphicClass},      {"wmf", &kv::codecs::TMetafileClass},
        {"emf", &kv::codecs::TMetafileClass},
    };
    return *classes.at(extension);
}

class FixtureDecodeTest : public ::testing::TestWithParam<Row> {};

TEST_P(FixtureDecodeTest, DecodesToTheExpectedPixels) {
    const Row& row = GetParam();
    QString path = fixturePath(row.fixture);
    QString name = row.fixture;
    QTemporaryDir dir;
    if (name.endsWith(".gz")) {
        // Packed only for the repository: the decoder reads the file itself.
        name.chop(3);
        path = dir.filePath(name);
        QFile out(path);
        const auto bytes = readFixture(row.fixture);
        ASSERT_FALSE(bytes.empty());
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    }
    const QString extension = name.section('.', -1);
    QImage image;
    QString error;
    ASSERT_TRUE(classFor(extension).load(path, image, error)) << error.toStdString();
    const QImage expected(fixturePath(row.expected));
    ASSERT_FALSE(expected.isNull());
    if (row.shapeOnly) {
        ASSERT_EQ(image.size(), expected.size());
        EXPECT_GE(lumaCorrelation(image, expected), 0.8);
        return;
    }
    const Difference d = compare(image, expected, row.slack, row.sizeSlack);
    ASSERT_TRUE(d.sameSize) << image.width() << "x" << image.height() << " instead of "
                            << expected.width() << "x" << expected.height();
    EXPECT_LE(d.outliers, row.outliers) << "largest difference " << d.largest;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureDecodeTest, ::testing::ValuesIn(Rows),
                         [](const ::testing::TestParamInfo<Row>& info) {
                             std::string name = info.param.fixture;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
