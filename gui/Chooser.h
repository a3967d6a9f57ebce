#pragma once
// File and folder pickers. The program works with Windows paths; the real
// chooser shows host folders (Qt's dialogs) and converts through the platform
// layer. Tests install a chooser that answers from a script.

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QWidget;

namespace kv {

struct FileDialogRequest {
    QString title;
    QString filter;  // Qt filter text, e.g. "Archive Korvelt (*.kvr)"
    // Without the dot, e.g. "kvr". A name typed without extension in a save
    // dialog takes the extension of the filter the user ended on, this one
    // when that filter names none (every file).
    QString defaultExtension;
    QString initialFolder;        // Windows path; empty = the current folder
    QString initialName;          // file name proposed in a save dialog
    bool askOverwrite = true;     // save dialogs: ask before replacing an existing file
    int filterIndex = 1;          // the filter (1-based, in the ";;" list) selected at the start
    int* chosenFilter = nullptr;  // when set, receives the 1-based filter the user ended on
};

class Chooser {
  public:
    virtual ~Chooser() = default;
    // The chosen file as a Windows path, or nullopt when cancelled.
    virtual std::optional<QString> openFile(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual std::optional<QString> saveFile(QWidget* parent, const FileDialogRequest& request) = 0;
    // BrowseForFolder's face: the chosen folder as a Windows path (ending in a
    // backslash only for a drive root), or nullopt when cancelled.
    virtual std::optional<QString> folder(QWidget* parent, const QString& title,
                                          const QString& initialFolder) = 0;

    // The process-wide chooser: Qt's dialogs unless a test installed another
    // (the caller keeps ownership; nullptr restores the real one).
    static Chooser& instance();
    static void install(Chooser* chooser);
};

}  // namespace kv
