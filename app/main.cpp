// Korvelt: the program entry. Creates the forms that live for the whole run,
// in their order, and runs the event loop.

#include <QApplication>
#include <cstdlib>
#include <cstring>

#include "app/TMainKorvelt2002.h"
#include "dialogs/TFormAddArch.h"
#include "dialogs/TFormProgress.h"
#include "dialogs/TFormRestaure.h"
#include "dialogs/TFormWait.h"
#include "gui/FormBitmap.h"
#include "gui/ProgramIcon.h"
#include "gui/QtTranslations.h"
#include "viewer/TFileFormatList.h"

namespace {

// The automatic mode runs from the scheduler or cron, often with no display:
// it then draws its window nowhere (Qt's offscreen platform) instead of
// stopping at the start. A platform the user chose is kept.
void runWithoutDisplayWhenNoneIs(int argc, char** argv) {
    const bool automatic = argc > 1 && std::strcmp(argv[1], "/AUTOSAVE") == 0;
    auto unset = [](const char* name) {
        const char* value = std::getenv(name);
        return value == nullptr || *value == 0;
    };
    if (automatic && unset("QT_QPA_PLATFORM") && unset("DISPLAY") && unset("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

}  // namespace

int main(int argc, char** argv) {
    runWithoutDisplayWhenNoneIs(argc, argv);
    // Qt takes the user's locale when the application object is made: French
    // numbers and dates when the user chose none.
    kv::FrenchWithoutLocale french;
    QApplication app(argc, argv);
    french.end();
    QApplication::setApplicationName(QStringLiteral("Korvelt"));
    // Qt's own dialogs and buttons speak the program's French.
    kv::installQtTranslations(app);
    // Every window of the program shows the program's icon.
    kv::installProgramIcon();

    // The image registry before any window: the main window reads its
    // extensions when it is created.
    kv::TFileFormatList& formats = kv::programFormats();
    // The main window first: creating it reads the settings and uses none of
    // the forms below.
    kv::TMainKorvelt2002 main;
    // FormBitmap: draws the program's pictures once.
    kv::TFormBitmap::imageList();
    kv::TMainKorvelt2002::Forms forms;
    forms.restaure = new kv::TFormRestaure(main.ui(), &main);
    forms.progress = new kv::TFormProgress(main.ui(), &main);
    forms.addArch = new kv::TFormAddArch(main.ui(), &main);
    forms.wait = new kv::TFormWait(&main);
    main.setForms(forms);

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    main.setCommandLine(arguments);
    main.show();
    const int status = app.exec();
    kv::unregisterProgramFormats(formats);
    // The automatic mode tells its outcome by the exit status.
    return status != 0 ? status : main.exitStatus();
}
