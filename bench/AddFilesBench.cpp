// Adding one folder of many small files through the add-files dialog into the
// real main window: how long the add takes against a bare listing of the same
// folder, whether the window stays alive meanwhile (the wait notice's bar
// ticks every 100 ms only while events run), and how Escape stops it with the
// rows taken in so far kept.
//
//   kv_bench_add_files [FILES]   (default 100000; offscreen unless a display is named)

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>

#include "app/TMainKorvelt2002.h"
#include "controls/TDirTree.h"
#include "dialogs/TFormAddArch.h"
#include "dialogs/TFormWait.h"
#include "gui/DialogRunner.h"
#include "platform/Platform.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;

    const fs::path base = fs::temp_directory_path() / "kv-bench-add";
    fs::remove_all(base);
    fs::create_directories(base / "home" / "Script");
    fs::create_directories(base / "big");
    for (int i = 0; i < count; ++i)
        std::ofstream(base / "big" / ("f" + std::to_string(i) + ".txt")) << i;
    qputenv("KORVELT_HOME", (base / "home").string().c_str());

    QApplication app(argc, argv);
    const std::string folder = *kv::platform().toWindows((base / "big").string());

    QElapsedTimer clock;
    clock.start();
    const size_t listed = kv::platform().find(folder + "\\*.*", kv::attr::AnyFile).size();
    const double listMs = clock.nsecsElapsed() / 1e6;

    kv::TMainKorvelt2002 window;
    auto* wait = new kv::TFormWait(&window);
    auto* add = new kv::TFormAddArch(window.ui(), &window);
    kv::TMainKorvelt2002::Forms forms;
    forms.wait = wait;
    forms.addArch = add;
    window.setForms(forms);
    window.show();
    window.archive().path = *kv::platform().toWindows((base / "bench.kvr").string());

    double dialogMs = 0;
    kv::DialogRunner::setHandler([&](QDialog& dialog) {
        if (&dialog == add) {
            QElapsedTimer inDialog;
            inDialog.start();
            add->dirtree1->setDirectory(QString::fromStdString(folder));
            add->dropFromTree();
            dialogMs = inDialog.nsecsElapsed() / 1e6;
            return int(QDialog::Accepted);
        }
        if (qobject_cast<QMessageBox*>(&dialog)) return int(QMessageBox::Ok);
        return int(QDialog::Rejected);
    });

    int ticks = 0;
    QObject::connect(wait->timer(), &QTimer::timeout, [&] { ++ticks; });

    clock.restart();
    window.AddFileExecute();
    const double addMs = clock.nsecsElapsed() / 1e6;
    const size_t added = window.archive().rows.size();
    const int fullTicks = ticks;
    const double listDialogMs = dialogMs;

    // Again from an empty catalog, with Escape pressed 300 ms after the wait notice shows.
    window.archive().rows.clear();
    window.catalogModel().syncAppended();
    ticks = 0;
    QElapsedTimer sinceEscape;
    struct OnShow : QObject {
        std::function<void()> shown;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Show && shown) std::exchange(shown, {})();
            return false;
        }
    } onShow;
    onShow.shown = [&] {
        QTimer::singleShot(300, &window, [&] {
            sinceEscape.start();
            QCoreApplication::postEvent(
                &window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        });
    };
    wait->installEventFilter(&onShow);
    clock.restart();
    window.AddFileExecute();
    const double stoppedMs = clock.nsecsElapsed() / 1e6;
    const double reactionMs = sinceEscape.isValid() ? sinceEscape.nsecsElapsed() / 1e6 : -1;
    const size_t kept = window.archive().rows.size();

    std::printf("files in folder          %d (listed %zu in %.0f ms)\n", count, listed, listMs);
    std::printf("add through the dialog   %.0f ms, %zu rows, ratio to the bare listing %.1f\n",
                addMs, added, addMs / std::max(listMs, 1.0));
    std::printf("  of which the dialog    %.0f ms (the folder's listing in the file list)\n",
                listDialogMs);
    std::printf("wait bar ticks           %d (one per 100 ms while events run: %.0f expected)\n",
                fullTicks, addMs / 100);
    std::printf(
        "escape 300 ms into it     stopped after %.0f ms, %.0f ms after the key, %zu rows kept\n",
        stoppedMs, reactionMs, kept);
    fs::remove_all(base);
    return 0;
}
