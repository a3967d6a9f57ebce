#pragma once
// Qt's own texts in French. The program speaks French whatever the user's
// locale, and so do the windows Qt builds for it: the file and folder dialogs
// ("Regarder dans", "Nom de fichier", "Annuler", the folder-not-found notice),
// the page set-up and print dialogs, the standard buttons and the context menus
// of edit boxes. The texts come from Qt's translation of qtbase installed on
// the system (the qtbase_fr catalogue of Qt's translations folder); the few
// words of the file dialogs' type column it lacks ("Dossier", "Lecteur") are
// the program's own.

#include <optional>
#include <string>

class QCoreApplication;
class QTranslator;

namespace kv {

// Installs the French qtbase catalogue into the application, behind the
// program's own words. Returns the catalogue's translator (owned by app), or
// nullptr when the catalogue is not installed; its texts then stay in English.
QTranslator* installQtTranslations(QCoreApplication& app);

// Under no locale (C or POSIX: the user chose none for numbers and dates),
// Qt's idea of the user's locale is French (France): the program's sizes and
// dates, and those of Qt's own file dialogs, read "80,99 Ko", "77,24 Mio",
// "2 octets", "09/12/2026". A user who chose a locale keeps its separators
// and formats.
//
// Qt reads the user's locale from the environment once, when the application
// object is made. So this object, made just before it, names the French
// locale in LC_ALL for that moment only; end(), called right after, puts the
// environment back and the C library's locale as the user had it, so the
// programs the window starts and the C library see the user's own choice.
class FrenchWithoutLocale {
  public:
    FrenchWithoutLocale();
    ~FrenchWithoutLocale() { end(); }
    FrenchWithoutLocale(const FrenchWithoutLocale&) = delete;
    FrenchWithoutLocale& operator=(const FrenchWithoutLocale&) = delete;

    // True while LC_ALL names the French locale for Qt.
    bool active() const { return active_; }
    void end();

  private:
    bool active_ = false;
    std::optional<std::string> oldAll_;
};

}  // namespace kv
