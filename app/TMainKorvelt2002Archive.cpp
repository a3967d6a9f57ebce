// The commands on the archive file as a whole (new, open, save as, move,
// close, delete), the window side of loading the catalog, and the commands
// that hand the open archive to the engine: archive, header only, restore,
// self-extractor.

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QTreeView>

#include "app/RunSummary.h"
#include "app/TMainKorvelt2002.h"
#include "app/WaitNotice.h"
#include "dialogs/TFormProgress.h"
#include "dialogs/TFormRestaure.h"
#include "engine/ArchiveRun.h"
#include "engine/CatalogReader.h"
#include "engine/HeaderUpdate.h"
#include "engine/Restore.h"
#include "engine/SfxBuilder.h"
#include "gui/Chooser.h"
#include "gui/DialogRunner.h"
#include "gui/HourGlass.h"
#include "platform/Platform.h"
#include "platform/WriterLock.h"
#include "text/Text.h"
#include "util/FileRoutines.h"
#include "util/PathHelpers.h"

namespace kv {
namespace {

constexpr const char* kChangedText =
    "Le contenue de la liste a changé,\rvoulez-vous archiver les changements ?";

FileDialogRequest archiveDialog(const char* title) {
    FileDialogRequest request;
    request.title = QString::fromUtf8(title);
    request.filter = QStringLiteral("Fichiers KVR (*.kvr)");
    request.defaultExtension = QStringLiteral("kvr");
    request.askOverwrite = false;
    return request;
}

// The tail Save as and Move share: copies source to destination unless it is
// the source itself, an existing file the user will not overwrite (the prompt
// names shownName), or the drive lacks room. False when nothing was copied;
// the user has been told why.
bool copyArchiveFile(QtUi& ui, const std::string& source, const std::string& destination,
                     const std::string& shownName, bool removeSource = false) {
    if (text::equalNoCase(destination, source)) {
        ui.message(MessageKind::Error,
                   "Le fichier de destination est identique au fichier source.");
        return false;
    }
    // Both archives are written here (a move removes the source): no other
    // writer may have either meanwhile. A destination named through a link is
    // the file the link leads to.
    const WriterLock sourceLock(source);
    const WriterLock destinationLock(destination);
    if (sourceLock.stops() || destinationLock.stops()) {
        ui.message(MessageKind::Error,
                   sourceLock.stops() ? sourceLock.message() : destinationLock.message());
        return false;
    }
    if (platform().fileExists(destination) &&
        ui.message(MessageKind::Information,
                   "Le fichier < " + shownName + " > existe déjà,\rEcraser le fichier ?",
                   Buttons::YesCancel) == Answer::Cancel)
        return false;
    if (!HasRoomForCopy(source, destination)) {
        ui.message(MessageKind::Warning, "Espace insuffisant sur le lecteur ( " +
                                             destination.substr(0, 1) + "),\rOpération annulée.");
        return false;
    }
    try {
        HourGlass wait;
        CopyFileContents(source, destinationLock.target());
    } catch (const std::exception&) {
        ui.message(MessageKind::Error, "L'opération à échouée");
        return false;
    }
    if (removeSource) platform().removeFile(source);  // a failure leaves both files, silently
    return true;
}

}  // namespace

void TMainKorvelt2002::setArchiveCaption() {
    if (archive_.path.empty())
        setWindowTitle(QStringLiteral("Korvelt"));
    else
        setWindowTitle(QStringLiteral("Korvelt - [ ") +
                       QString::fromStdString(FileNameOf(archive_.path)) + QStringLiteral(" ]"));
}

bool TMainKorvelt2002::askArchiveChanges() {
    const Answer answer =
        ui_.message(MessageKind::Confirmation, kChangedText, Buttons::YesNoCancel);
    if (answer == Answer::Cancel) return false;
    if (answer == Answer::Yes) ArchiverExecute();
    return true;
}

void TMainKorvelt2002::LoadArchive(bool interactive, QObject* sender) {
    if (!platform().fileExists(archive_.path)) {
        // The rows were read from no file: a file that appears there before
        // the run is another writer's.
        archive_.catalogSource = ArchiveStampOf(archive_.path);
        return;
    }
    BusyScope busy(*this);
    WaitNotice wait(interactive ? forms_.wait : nullptr, "Chargement de l'archive.");
    setCatalogSummary(QString());
    setWindowTitle(QStringLiteral("Korvelt - Chargement de l'archive (kvr), patientez s.v.p"));
    editComment_->clear();
    HourGlass hourGlass;
    clearCatalog();

    // The list shows the rows as they come in, a few times a second.
    ui_.setBeforeEvents([this] { model_->syncAppendedIfDue(); });
    const LoadResult result = kv::LoadArchive(archive_, ui_);
    ui_.setBeforeEvents({});

    wait.close();
    hourGlass.restore();
    model_->resetFromRows();  // the rows were sorted once at the end of the load
    editComment_->setText(QString::fromStdString(archive_.comment));
    showCatalogSummary(result.totalSize);
    setArchiveCaption();
    ListViewFileClick(sender);
    archive_.listChanged = false;

    if (result.outcome == LoadOutcome::ReadError) throw Error(result.error);
    if (result.outcome == LoadOutcome::Loaded && interactive && result.modifiedSeen)
        ui_.message(MessageKind::Information,
                    "Certains fichiers ont été modifiés depuis la dernière sauvegarde");
}

void TMainKorvelt2002::New_ArchExecute() {
    if (archive_.listChanged && archiveOpen() && !askArchiveChanges()) return;
    const auto chosen =
        Chooser::instance().saveFile(this, archiveDialog("Créer une nouvelle archive KVR"));
    if (!chosen) return;
    const std::string path = chosen->toStdString();
    if (platform().fileExists(path)) {
        ui_.message(MessageKind::Information,
                    "Le fichier < " + FileNameOf(path) + " > existe déjà.");
        return;
    }
    archive_.path = path;
    archive_.catalogSource = ArchiveStampOf(path);
    setArchiveCaption();
    applyFilter(StatusFilter::All);
    const std::string comment = options_.dateComment
                                    ? formatDateBracket(env_.now(), env_.separators) + " Sauvegarde"
                                    : std::string("Sauvegarde");
    editComment_->setText(QString::fromStdString(comment));
    clearCatalog();
    ListViewFileClick(this);
    archive_.listChanged = false;
    setCatalogSummary(QString());
    setStatusText(1, QString());
}

void TMainKorvelt2002::Open_ArchExecute() {
    if (archive_.listChanged && archiveOpen() && !askArchiveChanges()) return;
    const auto chosen = Chooser::instance().openFile(this, archiveDialog("Ouvrir une archive KVR"));
    if (!chosen) return;
    const std::string path = chosen->toStdString();
    if (!platform().fileExists(path)) {
        ui_.message(MessageKind::Warning, "Le fichier < " + FileNameOf(path) + " > n'existe pas.");
        return;
    }
    archive_.path = path;
    applyFilter(StatusFilter::All);
    LoadArchive(true, this);
}

void TMainKorvelt2002::SaveAs_ArchExecute() {
    if (archive_.listChanged && !askArchiveChanges()) return;
    // Only an archive on disk can be copied (its shortcut outlives the menu's rule).
    if (!archiveExists()) return;
    const auto chosen = Chooser::instance().saveFile(
        this, archiveDialog("Enregistrer l'archive sous un nouveau nom"));
    if (!chosen) return;
    const std::string path = chosen->toStdString();
    if (!copyArchiveFile(ui_, archive_.path, path, FileNameOf(path))) return;
    archive_.path = path;
    LoadArchive(true, this);
}

void TMainKorvelt2002::Move_ArchExecute() {
    if (archive_.listChanged && !askArchiveChanges()) return;
    if (!archiveExists()) return;
    const auto folder = Chooser::instance().folder(
        this, QStringLiteral("Sélectionner un dossier de destination"), {});
    if (!folder) return;
    const std::string destination =
        WithBackslash(folder->toStdString()) + FileNameOf(archive_.path);
    if (!copyArchiveFile(ui_, archive_.path, destination, destination, true)) return;
    archive_.path = destination;
    LoadArchive(true, this);
}

void TMainKorvelt2002::closeArchive() {
    applyFilter(StatusFilter::All);
    clearCatalog();
    archive_.path.clear();
    setArchiveCaption();
    editComment_->clear();
    setCatalogSummary(QString());
    setStatusText(1, QString());
    archive_.listChanged = false;
}

void TMainKorvelt2002::Close_ArchExecute() {
    if (archive_.listChanged && !askArchiveChanges()) return;
    closeArchive();
}

void TMainKorvelt2002::Dell_ArchExecute() {
    if (!archiveExists()) return;
    // The file goes for good: Enter (the default button) keeps it.
    if (ui_.message(MessageKind::Confirmation,
                    "ATTENTION, vous avez demandé de détruire une archive,\rcette commande efface "
                    "définitivement "
                    "l'archive sans\rpasser par la corbeille, le fichier est donc "
                    "irrécupérable.\r\rEtes-vous "
                    "sûr(e) de vouloir supprimer cette archive ?\r\r< " +
                        FileNameOf(archive_.path) + " >",
                    Buttons::YesCancel, Answer::Cancel) == Answer::Cancel)
        return;
    if (!archive_.path.empty()) platform().removeFile(archive_.path);
    closeArchive();
}

// Prepares the progress dialog for a run of that mode and shows it modally;
// its start button calls runEngine() (set in setForms()).
bool TMainKorvelt2002::runProgress(TFormProgress::Mode mode, int maximum) {
    TFormProgress* progress = forms_.progress;
    if (!progress) return false;
    progress->prepare(mode, maximum);
    DialogRunner::exec(*progress);
    return true;
}

void TMainKorvelt2002::runEngine(TFormProgress::Mode mode) {
    BusyScope busy(*this);
    // The figures of files and bytes left follow the rows in the order the run visits them.
    ui_.setSeparators(env_.separators);
    struct RunFigures {
        QtUi& ui;
        ~RunFigures() { ui.endRun(); }
    } figures{ui_};
    switch (mode) {
        case TFormProgress::Mode::Archive: {
            ui_.startRun(rowSizes(allRows()));
            options_.checkRecupeFile = forms_.progress->checkRecupeFile();
            const ArchiveResult result = ArchiveFiles(archive_, options_, env_, ui_);
            ui_.endRun();
            // The archive was written (or the run went to its end trying): the
            // catalog is read from it again. A catalog that cannot be read back
            // is said, and the run's summary still follows.
            if (result.completed) {
                try {
                    LoadArchive(true, this);
                } catch (const Error& error) {
                    ui_.message(MessageKind::Error, error.what());
                }
            }
            showRunSummary(archiveRunSummary(result, env_.separators));
            // The run told why it refused; the catalog can be brought up to date
            // at once, at the price of the changes not archived.
            if (result.changed &&
                ui_.message(MessageKind::Confirmation,
                            "Charger l'archive de nouveau maintenant ?\rLes changements de la "
                            "liste qui n'ont pas été archivés seront perdus.",
                            Buttons::YesNo) == Answer::Yes)
                LoadArchive(true, this);
            break;
        }
        case TFormProgress::Mode::Restore: {
            if (!forms_.restaure) break;
            const RestoreChoices choices = forms_.restaure->choices();
            ui_.startRun(rowSizes(choices.selection == RestoreSelection::SelectedRows
                                      ? selectedRows()
                                      : rowsInFileOrder()));
            const RestoreOutcome outcome = RestoreFiles(archive_, choices, selectedRows(), ui_);
            ui_.endRun();
            showRunSummary(restoreRunSummary(outcome, env_.separators));
            break;
        }
        case TFormProgress::Mode::RestoreMissing: {
            ui_.startRun(rowSizes(missingRows(archive_.rows)));
            const RestoreOutcome outcome = RestoreMissingFiles(archive_, ui_);
            ui_.endRun();
            // The rows restored show their new status, and leave a "Manquants" list.
            model_->resetFromRows();
            showRunSummary(restoreRunSummary(outcome, env_.separators));
            break;
        }
        case TFormProgress::Mode::Verify:
            runVerify(VerifyScope::AgainstDisk);
            break;
        case TFormProgress::Mode::Test:
            runVerify(VerifyScope::ArchiveOnly);
            break;
    }
}

void TMainKorvelt2002::showRunSummary(const std::string& text) {
    // The progress dialog closes as the run ends: the status bar keeps the
    // word that the work is done, for a few seconds, with no box to dismiss.
    if (!text.empty()) statusBar()->showMessage(QString::fromStdString(text), RunSummaryMs);
}

void TMainKorvelt2002::ArchiverExecute() {
    if (!archiveOpen() || archive_.rows.empty()) return;
    runProgress(TFormProgress::Mode::Archive, static_cast<int>(archive_.rows.size()) - 1);
}

void TMainKorvelt2002::ModiEnTeteExecute() {
    if (!archiveExists()) return;
    WriteHeaderOnly(archive_, ui_);
}

void TMainKorvelt2002::RestaureExecute() {
    if (!archiveExists()) return;
    if (archive_.listChanged) {
        ui_.message(MessageKind::Information,
                    "Le contenu de la liste a changé,\ril est obligatoire d'archiver avant de "
                    "restaurer des fichiers");
        return;
    }
    if (archive_.rows.empty()) return;
    TFormRestaure* restaure = forms_.restaure;
    if (!restaure) return;
    restaure->prepareSelection(!selectedRows().empty());
    if (DialogRunner::exec(*restaure) != QDialog::Accepted) return;
    if (restaure->destinationMissing()) {
        ui_.message(MessageKind::Information,
                    "Vous n'avez pas indiqué le chemin du dossier de restauration");
        return;
    }
    const bool selected = restaure->choices().selection == RestoreSelection::SelectedRows;
    runProgress(TFormProgress::Mode::Restore, selected
                                                  ? static_cast<int>(selectedRows().size())
                                                  : static_cast<int>(archive_.rows.size()) - 1);
}

void TMainKorvelt2002::SelfExtractorExecute() {
    if (!archiveExists()) return;
    FileDialogRequest request;
    request.title = QStringLiteral("Enregistrer l'auto-extractible sous...");
    request.filter = QStringLiteral("Fichier exe(*.exe)");
    request.defaultExtension = QStringLiteral("exe");
    request.askOverwrite = false;
    std::string proposed = FileNameOf(archive_.path);
    const auto dot = proposed.find_last_of('.');
    if (dot != std::string::npos) proposed.erase(dot);
    request.initialName = QString::fromStdString(proposed + ".exe");
    request.initialFolder = QString::fromStdString(FolderOf(archive_.path));
    const auto chosen = Chooser::instance().saveFile(this, request);
    if (!chosen) return;
    const std::string output = chosen->toStdString();
    if (IsSameFile(archive_.path, output)) {
        ui_.message(MessageKind::Error, SfxOntoArchiveMessage(output));
        return;
    }
    if (platform().fileExists(output) &&
        ui_.message(MessageKind::Information,
                    "Le fichier < " + FileNameOf(output) + " > existe déjà,\rEcraser le fichier ?",
                    Buttons::YesCancel) == Answer::Cancel)
        return;
    if (archive_.listChanged && !askArchiveChanges()) return;
    HourGlass wait;
    BuildSelfExtractor(archive_.path, output, ui_);
}

}  // namespace kv
