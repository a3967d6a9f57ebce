// Adding rows to the catalog (the add-files dialog, files dropped on the
// window, selection scripts) and removing selected rows.

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QMimeDatabase>
#include <QTreeView>
#include <QUrl>

#include "app/DialogRunner.h"
#include "app/HourGlass.h"
#include "app/TMainKorvelt2002.h"
#include "dialogs/TFormFileValide.h"
#include "engine/Adding.h"
#include "platform/Platform.h"

namespace kv {
namespace {

// The type text of a file: the desktop's description of its MIME type.
std::string typeNameOf(const std::string& path) {
    static const QMimeDatabase mimes;
    const QString name = QString::fromStdString(path.substr(path.find_last_of('\\') + 1));
    return mimes.mimeTypeForFile(name, QMimeDatabase::MatchExtension).comment().toStdString();
}

// The host paths of the local files a drag carries.
QStringList droppedHostPaths(const QMimeData* mime) {
    QStringList paths;
    if (!mime || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) paths << QFileInfo(url.toLocalFile()).absoluteFilePath();
    return paths;
}

}  // namespace

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
        if (const auto windows = platform().toWindows(host.toStdString())) paths << QString::fromStdString(*windows);
    }
    // The drop is answered before the files are taken in, so the file manager
    // that sent them is not held while the catalog grows.
    QMetaObject::invokeMethod(
        this, [this, paths] { guarded(Command::Changes, [&] { DropFiles(paths); }); }, Qt::QueuedConnection);
}

void TMainKorvelt2002::DropFiles(const QStringList& paths) {
    if (!archiveOpen()) New_ArchExecute();
    if (!archiveOpen()) return;

    keepGoing_ = true;
    AddOperation op(session_, ui_, typeNameOf,
                    [this](const std::string& name) {
                        return TFormFileValide::askName(this, QString::fromStdString(name)).toStdString();
                    });
    ui_.pumpNow();
    BusyScope busy(*this);
    HourGlass hourGlass;
    ui_.setBeforeEvents([this] { model_->syncAppended(); });
    struct Finish {
        TMainKorvelt2002& window;
        AddOperation& op;
        ~Finish() {
            window.ui_.setBeforeEvents({});
            window.model_->syncAppended();
            // Rows taken in before an error are changes all the same.
            if (op.added > 0) window.session_.listChanged = true;
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
    session_.listChanged = true;
}

void TMainKorvelt2002::DellFile_ArchExecute() {
    const auto selected = selectedRows();
    if (session_.rows.empty() || selected.empty()) return;
    if (ui_.message(MessageKind::Confirmation, "Supprimer le(s) fichier(s) sélectionné(s) ?", Buttons::YesCancel) ==
        Answer::Cancel)
        return;
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
        if (last >= session_.rows.size()) continue;
        model_->beginErase(static_cast<int>(first), static_cast<int>(last));
        session_.rows.erase(session_.rows.begin() + static_cast<std::ptrdiff_t>(first),
                            session_.rows.begin() + static_cast<std::ptrdiff_t>(last) + 1);
        model_->endErase();
    }
    findChild<QAction*>(QStringLiteral("Restaure"))->setEnabled(!session_.rows.empty());
    session_.listChanged = true;
    ListViewFileClick(this);
}

// The add-files dialog command: comes with the add-files dialog.
void TMainKorvelt2002::AddFileExecute() {}

// The script deletion dialog: comes with the Scripts menu.
void TMainKorvelt2002::DellScriptExecute() {}

// Rebuilds the script items of the Scripts menu: comes with the Scripts menu.
void TMainKorvelt2002::Scripts1Click() {}

}  // namespace kv
