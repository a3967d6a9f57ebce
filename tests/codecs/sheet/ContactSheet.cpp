// codecs_contact_sheet FILE...: a window showing each picture file loaded
// through its decoder class record, scaled up to fit a 200-pixel cell, with
// the file's name and size under it, for looking at decoded pictures by eye
// (under xvfb-run, with a screenshot).

#include <QApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QWidget>
#include <map>

#include "codecs/CodecClasses.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::map<QString, const kv::DecoderClass*> classes = {
        {"tga", &kv::codecs::TTargaGraphicClass},    {"pcx", &kv::codecs::TPCXGraphicClass},
        {"sgi", &kv::codecs::TSGIGraphicClass},      {"rgba", &kv::codecs::TSGIGraphicClass},
        {"psd", &kv::codecs::TPSDGraphicClass},      {"rla", &kv::codecs::TRLAGraphicClass},
        {"rpf", &kv::codecs::TRLAGraphicClass},      {"cel", &kv::codecs::TAutodeskGraphicClass},
        {"pic", &kv::codecs::TAutodeskGraphicClass}, {"pcd", &kv::codecs::TPCDGraphicClass},
        {"cut", &kv::codecs::TCUTGraphicClass},      {"psp", &kv::codecs::TPSPGraphicClass},
        {"wmf", &kv::codecs::TMetafileClass},        {"emf", &kv::codecs::TMetafileClass},
    };
    QWidget window;
    window.setWindowTitle(QStringLiteral("Décodeurs d'images"));
    auto* grid = new QGridLayout(&window);
    for (int i = 1; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        const QString extension = QFileInfo(path).suffix().toLower();
        QImage image;
        QString error;
        const auto found = classes.find(extension);
        const bool ok = found != classes.end() && found->second->load(path, image, error);
        auto* picture = new QLabel;
        picture->setFixedSize(200, 150);
        picture->setAlignment(Qt::AlignCenter);
        picture->setStyleSheet(QStringLiteral("background: #c0c0c0"));
        if (ok)
            picture->setPixmap(QPixmap::fromImage(
                image.scaled(200, 150, Qt::KeepAspectRatio, Qt::FastTransformation)));
        else
            picture->setText(QStringLiteral("Fichier image non compatible !"));
        auto* caption = new QLabel(QStringLiteral("%1 (%2 x %3)")
                                       .arg(QFileInfo(path).fileName())
                                       .arg(image.width())
                                       .arg(image.height()));
        const int cell = i - 1;
        grid->addWidget(picture, (cell / 5) * 2, cell % 5);
        grid->addWidget(caption, (cell / 5) * 2 + 1, cell % 5);
    }
    window.show();
    return app.exec();
}
