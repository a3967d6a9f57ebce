// Every fixture, written by an independent program or by the fixture
// writers from the format descriptions (tests/data/images/README.md), loads
// through its decoder class record to the pixels of the PNG beside it.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <map>

#include "codecs/CodecClasses.h"
#include "codecs/CodecTestSupport.h"
#include "codecs/TPPMGraphic.h"
#include "codecs/TTargaGraphic.h"

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
    // Every dash has two anti-aliased ends: a few more edge pixels.
    {"inkscape_dashes.emf", "inkscape_dashes.png", 40, 0.06, 4},
    {"pnm_p1_plain.pbm", "pnm_p1_plain.png", 0, 0},
    {"pnm_p2_plain.pgm", "pnm_p2_plain.png", 0, 0},
    {"pnm_p3_plain.ppm", "pnm_p3_plain.png", 0, 0},
    {"pnm_p4.pbm", "pnm_p4.png", 0, 0},
    {"pnm_p5.pgm", "pnm_p5.png", 0, 0},
    {"pnm_p6.ppm", "pnm_p6.png", 0, 0},
    {"pnm_p6_16.ppm", "pnm_p6_16.png", 0, 0},
    // Its PNG holds 16-bit levels, rounded to 8 bits by Qt apart from us.
    {"pnm_p5_1000.pgm", "pnm_p5_1000.png", 1, 0},
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
        {"emf", &kv::codecs::TMetafileClass},        {"ppm", &kv::codecs::TPPMGraphicClass},
        {"pgm", &kv::codecs::TPPMGraphicClass},      {"pbm", &kv::codecs::TPPMGraphicClass},
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

TEST(PortableMap, PlainBitmapsTakeTheirDigitsWithOrWithoutBlanks) {
    for (const char* text : {"P1\n2 1\n10\n", "P1 2 1 1 0", "P1\n# comment\n2 # width\n1\n1\n0"}) {
        const std::string file(text);
        kv::codecs::RgbaImage image;
        std::string error;
        ASSERT_TRUE(kv::codecs::TPPMGraphic::decode(reinterpret_cast<const uint8_t*>(file.data()),
                                                    file.size(), image, error))
            << text << ": " << error;
        ASSERT_EQ(image.width, 2);
        ASSERT_EQ(image.height, 1);
        EXPECT_EQ(image.pixels, (std::vector<uint8_t>{0, 0, 0, 255, 255, 255, 255, 255})) << text;
    }
}

// A picture stored bottom row first in run-length packets is decoded where it
// lies and turned round there: beside the picture, the decoder needs little
// more than the file (a second buffer the size of the picture took a 16000 x
// 16000 file of 8 MB to 2 GB). Measured in a child process, whose peak
// resident memory is its own.
TEST(LargePicture, BottomUpRunLengthTargaNeedsNoSecondPicture) {
    const std::vector<uint8_t> file = readFixture("tga_large_rle.tga.gz");
    ASSERT_GT(file.size(), 18u);
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        kv::codecs::RgbaImage image;
        std::string error;
        const bool ok = kv::codecs::TTargaGraphic::decode(file.data(), file.size(), image, error);
        getrusage(RUSAGE_SELF, &after);
        // The picture, its top and bottom rows, and the growth of the peak.
        const long report[4] = {
            ok ? long(image.width) * image.height * 4 : -1, ok ? long(image.row(0)[0]) : -1,
            ok ? long(image.row(image.height - 1)[0]) : -1, after.ru_maxrss - before.ru_maxrss};
        (void)!write(channel[1], report, sizeof report);
        _exit(0);
    }
    close(channel[1]);
    long report[4] = {};
    const auto got = read(channel[0], report, sizeof report);
    close(channel[0]);
    waitpid(child, nullptr, 0);
    ASSERT_EQ(got, ssize_t(sizeof report));
    ASSERT_EQ(report[0], 4096L * 4096 * 4);
    // The file's first rows are white, and its header says they are the bottom ones.
    EXPECT_LT(report[1], 16);
    EXPECT_GT(report[2], 240);
    const long pictureKiB = report[0] / 1024;
    EXPECT_LT(report[3], pictureKiB * 3 / 2)
        << "peak grew by " << report[3] << " KiB for a " << pictureKiB << " KiB picture";
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureDecodeTest, ::testing::ValuesIn(Rows),
                         [](const ::testing::TestParamInfo<Row>& info) {
                             std::string name = info.param.fixture;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
