// Korvelt: the program entry. Creates the forms that live for the whole run,
// in their order, and runs the event loop.

#include <QApplication>

#include "app/TMainKorvelt2002.h"
#include "dialogs/TFormAddArch.h"
#include "dialogs/TFormProgress.h"
#include "dialogs/TFormRestaure.h"
#include "dialogs/TFormWait.h"
#include "gui/FormBitmap.h"
#include "gui/ProgramIcon.h"
#include "gui/QtTranslations.h"
#include "viewer/TFileFormatList.h"

int main(int argc, char** argv) {
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
