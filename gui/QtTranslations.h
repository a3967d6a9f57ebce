#pragma once
// Qt's own texts in French. The program speaks French whatever the user's
// locale, and so do the windows Qt builds for it: the file and folder dialogs
// ("Regarder dans", "Nom de fichier", "Annuler", the folder-not-found notice),
// the page set-up and print dialogs, the standard buttons and the context menus
// of edit boxes. The texts come from Qt's translation of qtbase installed on
// the system (the qtbase_fr catalogue of Qt's translations folder); the few
// words of the file dialogs' type column it lacks ("Dossier", "Lecteur") are
// the program's own.

class QCoreApplication;
class QTranslator;

namespace kv {

// Installs the French qtbase catalogue into the application, behind the
// program's own words. Returns the catalogue's translator (owned by app), or
// nullptr when the catalogue is not installed; its texts then stay in English.
QTranslator* installQtTranslations(QCoreApplication& app);

}  // namespace kv
