#include "engine/Restore.h"

#include <algorithm>

#include "engine/ArchiveFormat.h"
#include "engine/CatalogReader.h"
#include "engine/EntryExtract.h"
#include "text/Text.h"
#include "util/Error.h"
#include "util/FileRoutines.h"
#include "util/PathHelpers.h"

namespace kv {

namespace {

// Moves the overall bar one step while it is below its maximum.
class OverallBar {
  public:
    OverallBar(Ui& ui, int maximum) : ui_(ui), maximum_(std::max(maximum, 0)) {
        ui_.setOverallRange(maximum_);
        ui_.setOverall(0);
    }
    void step() {
        if (position_ < maximum_) ui_.setOverall(++position_);
    }

  private:
    Ui& ui_;
    int maximum_;
    int position_ = 0;
};

class RestoreRun {
  public:
    RestoreRun(const RestoreChoices& choices, Ui& ui)
        : ui_(ui),
          asking_(choices.overwrite == format::Overwrite::Ask),
          writer_(choices.toOrigin ? format::Placement::Origin
                  : choices.tree   ? format::Placement::Tree
                                   : format::Placement::Flat,
                  WithBackslash(choices.folder), choices.overwrite) {
        writer_.setQuestion([this](const std::string& path) { return askReplace(path); });
        // Each payload's read moves the per-file bar.
        filePercent_ = [&ui](int percent) {
            ui.setFilePercent(std::clamp(percent, 0, 100));
            ui.pump();
        };
    }

    // Restores the entry whose record was just read; the archive is
    // positioned at its payload.
    void restoreEntry(File& archive, const format::EntryRecord& record, int64_t payloadStart) {
        auto folder = writer_.destinationOf(record);
        if (!folder) {
            // Written where it says, the file would land outside the chosen
            // folder, or nowhere on a drive.
            refused(record);
            return;
        }
        ui_.setLabel(ProgressLabel::Path, "Dossier : " + *folder);
        ui_.pump();

        if (IsCdRomDrive(text::upper(folder->substr(0, 3)))) {
            ui_.message(MessageKind::Warning, "Impossible de restaurer le fichier < " + *folder +
                                                  record.fileName +
                                                  " >,\rsur un CDROM, choisissez un "
                                                  "autre dossier de destination.");
            ui_.setLabel(ProgressLabel::File, "Opération annulée");
            ++outcome.failed;
            return;
        }

        switch (writer_.extract(archive, record, payloadStart, *folder, filePercent_)) {
            case format::ExtractResult::Done:
                ++outcome.restored;
                break;
            case format::ExtractResult::Refused:
                refused(record);  // a link on the way, or under the file's name
                break;
            case format::ExtractResult::Duplicate:
                ui_.message(MessageKind::Error,
                            "Impossible de restaurer le fichier < " + record.fullPath() +
                                " > : une autre entrée de l'archive vient d'être restaurée sous "
                                "le même nom < " +
                                writer_.lastPath() + " >");
                ++outcome.failed;
                break;
            case format::ExtractResult::KeptNewer:
                // A file the user chose to keep is not told again.
                if (!asking_) kept("conservé : plus récent que la copie archivée");
                ++outcome.kept;
                break;
            case format::ExtractResult::KeptExisting:
                kept("conservé : le fichier existe déjà");
                ++outcome.kept;
                break;
            case format::ExtractResult::Stopped:
                ++outcome.kept;
                outcome.stopped = true;
                break;
            case format::ExtractResult::Damaged:
            case format::ExtractResult::DecompressFailed:
            case format::ExtractResult::NoFolder:
                // A folder that cannot be made shows up as a failed decompression.
                decompressFailed(record);
                break;
        }
        ui_.pump();
    }

    // What kept an all-entries walk from reaching every entry, told once.
    void walkEnded(const format::ArchiveWalker& walk, const std::string& archive) {
        if (walk.fileSize() < format::HeaderSize) {
            ui_.message(MessageKind::Error,
                        "L'archive < " + archive + " > est tronquée : en-tête incomplet");
            ++outcome.failed;
        } else if (walk.cutShort()) {
            ui_.message(
                MessageKind::Error,
                "L'archive < " + archive + " > est incomplète : sa dernière entrée est coupée");
            ++outcome.failed;
        } else if (!walk.damage().empty()) {
            // The damaged entry itself was counted when it failed to restore.
            ui_.message(MessageKind::Error,
                        "L'archive < " + archive + " > est endommagée : " + walk.damage() +
                            ", les entrées qui pourraient la suivre ne peuvent pas être lues");
        }
    }

    RestoreOutcome outcome;

  private:
    format::Reply askReplace(const std::string& path) {
        switch (ui_.message(MessageKind::Confirmation,
                            "Le fichier < " + path +
                                " > existe déjà et il est plus récent que la copie archivée."
                                "\rLe remplacer ?",
                            Buttons::YesAllNoCancel)) {
            case Answer::Yes:
                return format::Reply::Replace;
            case Answer::YesToAll:
                return format::Reply::ReplaceAll;
            case Answer::No:
                return format::Reply::Keep;
            case Answer::Ok:
            case Answer::Cancel:
                break;
        }
        return format::Reply::Stop;
    }

    void refused(const format::EntryRecord& record) {
        ui_.message(
            MessageKind::Error,
            text::firstChars("Impossible de restaurer le fichier < " + record.fullPath(), 140) +
                " > : chemin refusé");
        ++outcome.failed;
    }

    void kept(const std::string& why) {
        ui_.message(MessageKind::Information, writer_.lastPath() + " : " + why);
    }

    void decompressFailed(const format::EntryRecord& record) {
        ui_.message(
            MessageKind::Error,
            text::firstChars("Impossible de décompresser le fichier < " + record.fileName, 140) +
                " >");
        ++outcome.failed;
    }

    Ui& ui_;
    bool asking_;
    format::EntryWriter writer_;
    MemberCodec::Progress filePercent_;
};

}  // namespace

RestoreOutcome RestoreFiles(const OpenArchive& archive, const RestoreChoices& choices,
                            const std::vector<std::size_t>& selectedRows, Ui& ui) {
    auto file = platform().open(archive.path, OpenMode::Read);
    if (!file) throw Error("Impossible d'ouvrir l'archive < " + archive.path + " >");
    format::HeaderBlock header{};
    if (!format::readHeaderBlock(*file, header) || !format::CheckSignature(header)) {
        ui.message(MessageKind::Error, format::IncompatibleMessage);
        return {};
    }

    const format::Version version = format::decodeHeader(header).version;
    RestoreRun run(choices, ui);

    if (choices.selection == RestoreSelection::AllEntries) {
        OverallBar bar(ui, static_cast<int>(archive.rows.size()) - 1);
        format::ArchiveWalker walk(*file);
        while (auto record = walk.next()) {
            bar.step();
            ui.setLabel(ProgressLabel::File,
                        text::firstChars("Fichier : " + record->fileName, 110));
            if (ui.cancelRequested()) {
                run.outcome.stopped = true;
                break;
            }
            run.restoreEntry(*file, *record, walk.payloadStart());
            if (run.outcome.stopped) break;
        }
        if (walk.failed()) throw Error("Erreur de lecture dans l'archive < " + archive.path + " >");
        if (!run.outcome.stopped) run.walkEnded(walk, archive.path);
    } else {
        std::vector<std::size_t> rows;
        for (std::size_t index : selectedRows)
            if (index < archive.rows.size()) rows.push_back(index);
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());

        OverallBar bar(ui, static_cast<int>(rows.size()));
        for (std::size_t index : rows) {
            const CatalogRow& row = archive.rows[index];
            const std::string fullPath = row.fullPath();
            const std::string name = FileNameOf(fullPath);
            bar.step();
            ui.setLabel(ProgressLabel::File, "Fichier : " + name);
            if (ui.cancelRequested()) {
                run.outcome.stopped = true;
                break;
            }
            const std::optional<int64_t> offset = row.entryOffset;
            if (!offset) {
                ui.message(MessageKind::Information,
                           "Le fichier < " + name + " > ne se trouve pas dans l'archive");
                ++run.outcome.notFound;
                continue;
            }
            auto record = format::readRecordAt(*file, version, *offset, fullPath);
            if (!record) {
                ++run.outcome.notFound;
                continue;
            }
            run.restoreEntry(*file, *record, *offset + format::recordSize(version));
            if (run.outcome.stopped) break;
        }
    }
    file->close();
    return run.outcome;
}

std::vector<std::size_t> missingRows(const Catalog& rows) {
    std::vector<std::size_t> missing;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].status == Missing) missing.push_back(i);
    return missing;
}

RestoreOutcome RestoreMissingFiles(OpenArchive& archive, Ui& ui) {
    const std::vector<std::size_t> rows = missingRows(archive.rows);
    if (rows.empty()) return {};
    RestoreChoices choices;
    choices.selection = RestoreSelection::SelectedRows;
    choices.toOrigin = true;
    // What is there now was not there at the load: it is not replaced.
    choices.overwrite = format::Overwrite::Never;
    const RestoreOutcome outcome = RestoreFiles(archive, choices, rows, ui);
    refreshStatuses(archive, rows);
    return outcome;
}

}  // namespace kv
