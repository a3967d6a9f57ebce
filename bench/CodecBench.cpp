// kv_bench_codecs FOLDER [RUNS]: loads FOLDER/picture.tga and
// FOLDER/picture.psd through their decoder class records, and the same
// picture saved as FOLDER/picture.png through Qt's own reader, in the same
// run, RUNS times each (default 5), and prints the medians and the ratios.

#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/BenchCommon.h"
#include "codecs/CodecClasses.h"

using namespace kvbench;

namespace {

// Seconds to load path with the class record, or with Qt's reader when
// decoder is null; exits when the picture does not load.
double timeLoad(const QString& path, const kv::DecoderClass* decoder, QSize& size) {
    const auto start = Clock::now();
    QImage image;
    QString error;
    const bool ok = decoder ? decoder->load(path, image, error) : QImageReader(path).read(&image);
    const double seconds = secondsSince(start);
    if (!ok || image.isNull()) {
        std::fprintf(stderr, "cannot load %s: %s\n", qPrintable(path), qPrintable(error));
        std::exit(1);
    }
    size = image.size();
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kv_bench_codecs FOLDER [RUNS]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    QImageReader::setAllocationLimit(0);  // the PNG baseline is larger than Qt's default limit

    struct Case {
        const char* label;
        QString file;
        const kv::DecoderClass* decoder;
    };
    const Case cases[] = {
        {"Targa", folder + "/picture.tga", &kv::codecs::TTargaGraphicClass},
        {"Photoshop", folder + "/picture.psd", &kv::codecs::TPSDGraphicClass},
    };
    const QString png = folder + "/picture.png";
    bool within = true;
    for (const Case& c : cases) {
        std::vector<double> ours, qt;
        QSize size, pngSize;
        for (int i = 0; i < runs; ++i) {
            // Alternated, so that both see the same state of the machine.
            ours.push_back(timeLoad(c.file, c.decoder, size));
            qt.push_back(timeLoad(png, nullptr, pngSize));
        }
        const double ratio = median(ours) / median(qt);
        within = within && ratio <= 1.5;
        std::printf(
            "%-9s %dx%d: %s %.3f s, Qt PNG reader %.3f s (median of %d), ratio %.2f (goal <= "
            "1.5)\n",
            c.label, size.width(), size.height(), c.decoder->name, median(ours), median(qt), runs,
            ratio);
    }
    return within ? 0 : 1;
}
