// Adding rows to the catalog (the add-files dialog, files dropped on the
// window, selection scripts) and removing selected rows.

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMimeData>
#include <QTreeView>
#include <QUrl>
#include <functional>

#include "app/TMainKorvelt2002.h"
#include "app/WaitNotice.h"
#include "controls/TDirTree.h"
#include "dialogs/TFormAddArch.h"
#include "dialogs/TFormDellSelect.h"
#include "dialogs/TFormFileValide.h"
#include "engine/Adding.h"
#include "engine/SelectionScript.h"
#include "gui/DialogRunner.h"
#include "gui/FormBitmap.h"
#include "gui/HourGlass.h"
#include "mime/TypeText.h"
#include "platform/Platform.h"
#include "platform/UserFolders.h"
#include "text/Text.h"

namespace kv {
namespace {

// The host paths of the local files a drag carries.
QStringList droppedHostPaths(const QMimeData* mime) {
    QStringList paths;
    if (!mime || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) paths << QFileInfo(url.toLocalFile()).absoluteFilePath();
    return paths;
}

}  // namespace

std::string TMainKorvelt2002::typeNameOf(const std::string& path) {
    return TypeTextOf(path);
}

void TMainKorvelt2002::dragEnterEvent(QDragEnterEvent* event) {
    if (acceptDrops_ && !droppedHostPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TMainKorvelt2002::dragMoveEvent(QDragMoveEvent* event) {
    if (acceptDrops_ && !droppedHostPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TMainKorvelt2002::dropEvent(QDropEvent* event) {
    const QStringList hostPaths = droppedHostPaths(event->mimeData());
    if (!acceptDrops_ || hostPaths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    QStringList paths;
    for (const QString& host : hostPaths) {
        // A host name that cannot be written as a Windows path is left out.
        if (const auto windows = platform().toWindows(host.toStdString()))
            paths << QString::fromStdString(*windows);
    }
    // The drop is answered before the files are taken in, so the file manager
    // that sent them is not held while the catalog grows.
    QMetaObject::invokeMethod(
        this, [this, paths] { guarded(Command::Changes, [&] { DropFiles(paths); }); },
        Qt::QueuedConnection);
}

void TMainKorvelt2002::DropFiles(const QStringList& paths) {
    if (!archiveOpen()) New_ArchExecute();
    if (!archiveOpen()) return;

    AddRunScope adding(*this);
    AddOperation op(archive_, ui_, typeNameOf, [this](const std::string& name) {
        return TFormFileValide::askName(this, QString::fromStdString(name)).toStdString();
    });
    ui_.pumpNow();
    BusyScope busy(*this);
    HourGlass hourGlass;
    ui_.setBeforeEvents([this] { model_->syncAppendedIfDue(); });
    struct Finish {
        TMainKorvelt2002& window;
        AddOperation& op;
        ~Finish() {
            window.ui_.setBeforeEvents({});
            window.model_->syncAppended();
            // Rows taken in before an error are changes all the same.
            if (op.added > 0) window.archive_.listChanged = true;
            window.recountCatalogSummary();
        }
    } finish{*this, op};

    for (const QString& p : paths) {
        if (!keepGoing_) break;
        const std::string path = p.toStdString();
        const uint32_t attributes = platform().attributes(path);
        if (attributes != attr::Invalid && (attributes & attr::Directory))
            ScanFolder(op, path, "*.*");
        else
            TakeInPath(op, path, false);
    }
    archive_.listChanged = true;
}

void TMainKorvelt2002::DellFile_ArchExecute() {
    auto selected = selectedRows();
    if (archive_.rows.empty() || selected.empty()) return;
    if (ui_.message(MessageKind::Confirmation, "Supprimer le(s) fichier(s) sélectionné(s) ?",
                    Buttons::YesCancel) == Answer::Cancel)
        return;
    if (model_->filter() != StatusFilter::All) {
        // The rows shown are not the catalog's rows one for one: the list is
        // laid out afresh once they are gone.
        Catalog kept;
        size_t next = 0;  // selected is ascending
        for (size_t row = 0; row < archive_.rows.size(); ++row) {
            if (next < selected.size() && selected[next] == row) {
                ++next;
                continue;
            }
            kept.push_back(std::move(archive_.rows[row]));
        }
        archive_.rows = std::move(kept);
        model_->resetFromRows();
        selected.clear();
    }
    // From the last selected row to the first, one contiguous run at a time.
    size_t i = selected.size();
    while (i > 0) {
        size_t last = selected[i - 1];
        size_t first = last;
        --i;
        while (i > 0 && selected[i - 1] == first - 1) {
            first = selected[i - 1];
            --i;
        }
        if (last >= archive_.rows.size()) continue;
        model_->beginErase(static_cast<int>(first), static_cast<int>(last));
        archive_.rows.erase(archive_.rows.begin() + static_cast<std::ptrdiff_t>(first),
                            archive_.rows.begin() + static_cast<std::ptrdiff_t>(last) + 1);
        model_->endErase();
    }
    archive_.listChanged = true;
    recountCatalogSummary();
    ListViewFileClick(this);
}

namespace {

// The end of an add operation, on every way out: the list view catches up with
// the appended rows, and rows taken in before an error still count as changes.
class AddFinish {
  public:
    // recount brings the status bar's catalog summary up to date.
    AddFinish(QtUi& ui, CatalogModel& model, OpenArchive& archive, AddOperation& op,
              std::function<void()> recount)
        : ui_(ui), model_(model), archive_(archive), op_(op), recount_(std::move(recount)) {
        ui_.setBeforeEvents([this] { model_.syncAppended(); });
    }
    ~AddFinish() {
        ui_.setBeforeEvents({});
        model_.syncAppended();
        if (op_.added > 0) archive_.listChanged = true;
        recount_();
    }
    AddFinish(const AddFinish&) = delete;
    AddFinish& operator=(const AddFinish&) = delete;

  private:
    QtUi& ui_;
    CatalogModel& model_;
    OpenArchive& archive_;
    AddOperation& op_;
    std::function<void()> recount_;
};

}  // namespace

void TMainKorvelt2002::AddFileExecute() {
    if (!archiveOpen()) return;
    auto* dialog = qobject_cast<TFormAddArch*>(forms_.addArch);
    if (!dialog) return;

    AddRunScope adding(*this);
    AddOperation op(archive_, ui_, typeNameOf, [this](const std::string& name) {
        return TFormFileValide::askName(this, QString::fromStdString(name)).toStdString();
    });
    const std::string& archive = archive_.path;
    dialog->dirtree1->setDirectory(
        QString::fromStdString(archive.substr(0, archive.rfind('\\') + 1)));
    if (DialogRunner::exec(*dialog) != QDialog::Accepted) return;
    const QStringList lines = dialog->selection();
    if (lines.isEmpty()) {
        ui_.message(MessageKind::Notice, "Aucun fichiers à ajouter");
        return;
    }

    BusyScope busy(*this);
    WaitNotice wait(forms_.wait, "Ajout de fichiers.");
    HourGlass hourGlass;
    AddFinish finish(ui_, *model_, archive_, op, [this] { recountCatalogSummary(); });
    for (const QString& line : lines) {
        if (!keepGoing_) break;
        AddSelectionEntry(op, line.toStdString());
    }
    archive_.listChanged = true;
}

void TMainKorvelt2002::DellScriptExecute() {
    TFormDellSelect::showScripts(ui_, this);
}

void TMainKorvelt2002::Scripts1Click() {
    const QList<QAction*> items = menuScripts_->actions();
    for (int i = 3; i < items.size(); ++i) {
        menuScripts_->removeAction(items[i]);
        items[i]->deleteLater();
    }
    const std::string folder = ScriptFolder();
    if (!platform().directoryExists(folder.substr(0, folder.size() - 1))) return;
    constexpr uint32_t mask =
        attr::ReadOnly | attr::Hidden | attr::System | attr::Directory | attr::Archive;
    for (const FindEntry& entry : platform().find(folder + "*.kvl", mask)) {
        if (entry.name == "." || entry.name == "..") continue;
        QString name = QString::fromStdString(entry.name);
        if (const qsizetype dot = name.lastIndexOf(u'.'); dot > 0) name.truncate(dot);
        QAction* item = menuScripts_->addAction(TFormBitmap::statusIcon(TFormBitmap::ImageScript),
                                                QStringLiteral("-  ") + name);
        item->setStatusTip(name);
        item->setData(name);
        connect(item, &QAction::triggered, this, [this, item] {
            guarded(Command::Changes, [this, item] { ScriptItemClick(item); });
        });
    }
}

void TMainKorvelt2002::ScriptItemClick(QAction* item) {
    if (!archiveOpen() || !item) return;
    const std::string path = ScriptFolder() + item->data().toString().toStdString() + ".kvl";
    if (!platform().fileExists(path)) return;

    BusyScope busy(*this);
    WaitNotice wait(forms_.wait, "Ajout des fichiers du script.");
    AddRunScope adding(*this);
    AddOperation op(archive_, ui_, typeNameOf, [this](const std::string& name) {
        return TFormFileValide::askName(this, QString::fromStdString(name)).toStdString();
    });
    const std::vector<std::string> lines = ReadSelectionScript(path);
    HourGlass hourGlass;
    AddFinish finish(ui_, *model_, archive_, op, [this] { recountCatalogSummary(); });
    for (const std::string& line : lines) {
        if (!keepGoing_) break;
        // A folder line always counts as a change; a file line when its file
        // was added or was listed already (never the archive itself, a long
        // name left as it was, or a missing file).
        const bool folderLine = splitFolderLine(line).has_value();
        const bool wasKnown =
            !folderLine && op.known.contains(line) && !text::equalNoCase(line, archive_.path);
        const int before = op.added;
        AddSelectionEntry(op, line);
        if (folderLine || wasKnown || op.added > before) archive_.listChanged = true;
    }
}

}  // namespace kv
