#include "app/RunSummary.h"

namespace kv {
namespace {

// A count and its words, the words in the plural from 2 on (French: 0 and 1
// take the singular).
std::string counted(int count, const char* singular, const char* plural,
                    const LocaleSeparators& sep) {
    return formatNumber0(static_cast<double>(count), sep) + " " + (count >= 2 ? plural : singular);
}

}  // namespace

std::string archiveRunSummary(const ArchiveResult& result, const LocaleSeparators& sep) {
    if (result.busy) return {};
    if (result.stopped) return "Archivage interrompu : l'archive n'a pas été modifiée";
    if (result.noRoom) return "Archive non mise à jour : espace insuffisant sur le lecteur";
    if (!result.replaced) return "Archive non mise à jour : la copie de l'archive a échoué";
    return "Archive mise à jour : " +
           counted(result.stored, "fichier archivé", "fichiers archivés", sep) + ", " +
           counted(result.carriedOver, "repris", "repris", sep) + ", " +
           counted(result.leftOut, "laissé de côté", "laissés de côté", sep) + ", " +
           counted(result.failures, "en erreur", "en erreur", sep);
}

std::string restoreRunSummary(const RestoreOutcome& outcome, const LocaleSeparators& sep) {
    std::string text =
        std::string(outcome.stopped ? "Restauration interrompue : " : "Restauration terminée : ") +
        counted(outcome.restored, "fichier restauré", "fichiers restaurés", sep) + ", ";
    if (outcome.kept > 0) text += counted(outcome.kept, "conservé", "conservés", sep) + ", ";
    text += counted(outcome.failed, "en erreur", "en erreur", sep);
    if (outcome.notFound > 0)
        text +=
            ", " + counted(outcome.notFound, "absent de l'archive", "absents de l'archive", sep);
    return text;
}

}  // namespace kv
