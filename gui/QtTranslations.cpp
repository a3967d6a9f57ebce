#include "gui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstring>

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
