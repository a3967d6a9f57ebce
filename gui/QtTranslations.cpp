#include "gui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <clocale>
#include <cstdlib>
#include <cstring>

#include "util/Format.h"

namespace kv {

namespace {

// The few texts of Qt's file dialogs that its French catalogue lacks: the
// type column's words for a drive, a folder and a link. Looked up after the
// catalogue, so a catalogue that has them wins.
class MissingQtTexts : public QTranslator {
  public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* sourceText, const char*,
                      int) const override {
        if (!context || !sourceText || std::strcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        static const struct {
            const char* english;
            const char* french;
        } texts[] = {{"Drive", "Lecteur"},
                     {"Folder", "Dossier"},
                     {"Shortcut", "Raccourci"},
                     {"Unknown", "Inconnu"}};
        for (const auto& t : texts)
            if (std::strcmp(sourceText, t.english) == 0) return QString::fromUtf8(t.french);
        return {};
    }
    bool isEmpty() const override { return false; }
};

}  // namespace

FrenchWithoutLocale::FrenchWithoutLocale() {
    if (!isNoLocale(chosenLocale("LC_NUMERIC")) || !isNoLocale(chosenLocale("LC_TIME"))) return;
    if (const char* all = std::getenv("LC_ALL")) oldAll_ = all;
    setenv("LC_ALL", "fr_FR.UTF-8", 1);
    active_ = true;
}

void FrenchWithoutLocale::end() {
    if (!active_) return;
    active_ = false;
    if (oldAll_)
        setenv("LC_ALL", oldAll_->c_str(), 1);
    else
        unsetenv("LC_ALL");
    // The application object set the C library's locale from the French
    // name (missing on most systems): it gets the user's back.
    std::setlocale(LC_ALL, "");
}

QTranslator* installQtTranslations(QCoreApplication& app) {
    // Installed first, so asked last (the newest translator is asked first).
    QCoreApplication::installTranslator(new MissingQtTexts(&app));
    auto* translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::French, QLocale::France), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

}  // namespace kv
