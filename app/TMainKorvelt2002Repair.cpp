// The ways out when files or the archive itself are damaged: restoring every
// missing file in one command, and repairing an archive whose records or
// members are damaged.

#include <QAction>
#include <QTreeView>
#include <optional>

#include "app/TMainKorvelt2002.h"
#include "app/WaitNotice.h"
#include "dialogs/TFormProgress.h"
#include "engine/ArchiveFormat.h"
#include "engine/ArchiveRepair.h"
#include "engine/Restore.h"
#include "gui/HourGlass.h"
#include "platform/WriterLock.h"
#include "util/PathHelpers.h"

namespace kv {
namespace {

// Losses a question lists before it says how many more there are.
constexpr std::size_t ShownLosses = 10;

// What the repair found, one line each, the first few of each kind.
std::string findings(const ArchiveRepair& repair) {
    std::string list;
    const auto add = [&list](const std::vector<std::string>& lines, const char* heading) {
        if (lines.empty()) return;
        list += std::string("\r") + heading;
        for (std::size_t i = 0; i < lines.size() && i < ShownLosses; ++i) list += "\r" + lines[i];
        if (lines.size() > ShownLosses)
            list += "\r... et " + std::to_string(lines.size() - ShownLosses) + " autre(s)";
    };
    std::vector<std::string> losses;
    for (const RepairLoss& loss : repair.losses()) losses.push_back(loss.text());
    add(losses, "Perdu :");
    add(repair.corrections(), "Corrigé :");
    return list;
}

// Examines the archive, asks, and writes the repaired one; what was done, to
// be told, or nothing when nothing was written (the user was told why). The
// writer lock is let go on return.
std::optional<std::string> repairArchive(Ui& ui, TFormWait* notice, const std::string& archive) {
    const std::string name = FileNameOf(archive);
    ArchiveRepair repair(archive);
    ArchiveRepair::Finding finding;
    {
        WaitNotice wait(notice, "Examen de l'archive.");
        HourGlass glass;
        finding = repair.examine(ui);
    }
    switch (finding) {
        case ArchiveRepair::Finding::Busy:
            ui.message(MessageKind::Error, WriterLock::busyMessage(archive));
            return std::nullopt;
        case ArchiveRepair::Finding::Incompatible:
            ui.message(MessageKind::Error, format::IncompatibleMessage);
            return std::nullopt;
        case ArchiveRepair::Finding::Stopped:
            return std::nullopt;  // Escape has said "Opération abandonnée"
        case ArchiveRepair::Finding::Sound:
            ui.message(MessageKind::Information,
                       "L'archive < " + name + " > est intacte :\rses " +
                           std::to_string(repair.kept()) +
                           " entrée(s) se relisent sans erreur, il n'y a rien à réparer.");
            return std::nullopt;
        case ArchiveRepair::Finding::Damaged:
            break;
    }
    if (ui.message(MessageKind::Confirmation,
                   "L'archive < " + name + " > est endommagée." + findings(repair) +
                       "\r\rRéparer l'archive ? Une nouvelle archive gardera ses " +
                       std::to_string(repair.kept()) +
                       " entrée(s) intacte(s),\rl'archive actuelle sera conservée sous < " +
                       FileNameOf(repair.backupPath()) + " >.",
                   Buttons::YesCancel) == Answer::Cancel)
        return std::nullopt;
    {
        WaitNotice wait(notice, "Réparation de l'archive.");
        HourGlass glass;
        if (!repair.write(ui)) return std::nullopt;
    }
    return "L'archive < " + name + " > a été réparée : " + std::to_string(repair.kept()) +
           " entrée(s) conservée(s), " + std::to_string(repair.corrections().size()) +
           " corrigée(s), " + std::to_string(repair.losses().size()) +
           " perte(s).\rL'archive d'origine est conservée sous < " +
           FileNameOf(repair.backupPath()) + " >.";
}

}  // namespace

void TMainKorvelt2002::RestaureManquantsExecute() {
    if (!archiveExists()) return;
    if (archive_.listChanged) {
        ui_.message(MessageKind::Information,
                    "Le contenu de la liste a changé,\ril est obligatoire d'archiver avant de "
                    "restaurer des fichiers");
        return;
    }
    const std::size_t missing = missingRows(archive_.rows).size();
    if (missing == 0) {
        ui_.message(MessageKind::Information, "Aucun fichier de la liste ne manque sur le disque.");
        return;
    }
    runProgress(TFormProgress::Mode::RestoreMissing, static_cast<int>(missing));
}

void TMainKorvelt2002::Reparer_ArchExecute() {
    if (!archiveExists()) return;
    BusyScope busy(*this);
    keepGoing_ = true;
    const std::optional<std::string> done = repairArchive(ui_, forms_.wait, archive_.path);
    if (!done) return;

    // The catalog is read from the repaired archive; the files added since
    // the last archiving are still to be archived, so their rows stay.
    Catalog added;
    for (const CatalogRow& row : archive_.rows)
        if (row.status == New) added.push_back(row);
    const auto addBack = [&] {
        if (added.empty()) return;
        archive_.rows.insert(archive_.rows.end(), added.begin(), added.end());
        model_->syncAppended();
        archive_.listChanged = true;
    };
    try {
        LoadArchive(true, this);
    } catch (...) {
        addBack();
        throw;
    }
    addBack();
    ui_.message(MessageKind::Information, *done);
}

}  // namespace kv
