#include "gui/Chooser.h"

#include <QFileDialog>
#include <QFileInfo>

#include "gui/DialogRunner.h"
#include "platform/Platform.h"

namespace kv {
namespace {

// A Windows folder as the host folder the dialog opens in; empty when the
// folder has no place on this host.
QString hostFolder(const QString& windowsFolder) {
    if (windowsFolder.isEmpty()) return {};
    const auto host = platform().toHost(windowsFolder.toStdString());
    return host ? QString::fromStdString(*host) : QString();
}

std::optional<QString> windowsPathOf(const QString& hostPath) {
    if (hostPath.isEmpty()) return std::nullopt;
    const auto windows = platform().toWindows(QFileInfo(hostPath).absoluteFilePath().toStdString());
    if (!windows) return std::nullopt;
    return QString::fromStdString(*windows);
}

// The extension a save dialog's filter stands for: "rtf" for "Fichiers RTF
// (*rtf)" or "(*.rtf)"; empty for a filter of every file ("*.*") or one that
// names no single extension.
QString extensionOfFilter(const QString& filter) {
    const qsizetype open = filter.lastIndexOf(u'(');
    const qsizetype close = filter.lastIndexOf(u')');
    if (open < 0 || close < open) return {};
    QString pattern = filter.mid(open + 1, close - open - 1).trimmed();
    if (pattern.contains(u' ') || !pattern.startsWith(u'*')) return {};
    pattern.remove(0, 1);
    if (pattern.startsWith(u'.')) pattern.remove(0, 1);
    for (const QChar c : pattern)
        if (!c.isLetterOrNumber()) return {};
    return pattern;
}

std::optional<QString> runFileDialog(QWidget* parent, const FileDialogRequest& request, bool save) {
    QFileDialog dialog(parent, request.title, hostFolder(request.initialFolder), request.filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(request.defaultExtension);
    QFileDialog::Options options = QFileDialog::DontUseNativeDialog;
    if (save && !request.askOverwrite) options |= QFileDialog::DontConfirmOverwrite;
    dialog.setOptions(options);
    const QStringList filters = request.filter.split(QStringLiteral(";;"));
    if (request.filterIndex > 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[request.filterIndex - 1]);
    if (!request.initialName.isEmpty()) dialog.selectFile(request.initialName);
    if (DialogRunner::exec(dialog) != QDialog::Accepted) return std::nullopt;
    // A name typed without extension takes the one of the filter the user
    // ended on ("Fichiers RTF" writes name.rtf), the request's own for a
    // filter of every file.
    if (save) {
        const QString chosen = extensionOfFilter(dialog.selectedNameFilter());
        dialog.setDefaultSuffix(chosen.isEmpty() ? request.defaultExtension : chosen);
    }
    if (dialog.selectedFiles().isEmpty()) return std::nullopt;
    if (request.chosenFilter)
        *request.chosenFilter = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    return windowsPathOf(dialog.selectedFiles().first());
}

class QtChooser : public Chooser {
  public:
    std::optional<QString> openFile(QWidget* parent, const FileDialogRequest& request) override {
        return runFileDialog(parent, request, false);
    }
    std::optional<QString> saveFile(QWidget* parent, const FileDialogRequest& request) override {
        return runFileDialog(parent, request, true);
    }
    std::optional<QString> folder(QWidget* parent, const QString& title,
                                  const QString& initialFolder) override {
        // A start folder that does not exist opens with no preselection.
        QString start = hostFolder(initialFolder);
        if (!start.isEmpty() && !QFileInfo(start).isDir()) start.clear();
        QFileDialog dialog(parent, title, start);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
        if (DialogRunner::exec(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        auto windows = windowsPathOf(dialog.selectedFiles().first());
        // Only a drive root keeps its final backslash.
        if (windows && windows->size() > 3 && windows->endsWith(QLatin1Char('\\')))
            windows->chop(1);
        return windows;
    }
};

Chooser*& installed() {
    static Chooser* chooser = nullptr;
    return chooser;
}

}  // namespace

Chooser& Chooser::instance() {
    static QtChooser real;
    Chooser* chooser = installed();
    return chooser ? *chooser : real;
}

void Chooser::install(Chooser* chooser) {
    installed() = chooser;
}

}  // namespace kv
