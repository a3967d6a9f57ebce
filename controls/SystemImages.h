#pragma once
// SystemImages: the indexed list of small icons that the directory tree and the
// add-files dialog's file list share, taken from the desktop: its icon theme for
// folders, drives and file types (by MIME type), Qt's style icons where the theme
// has none. An icon is added once and keeps its index for the whole run, so a
// node or list item can hold a plain index. One shared instance; never freed.
//
// Paths are Windows paths; nothing here reads file contents (file types come
// from the name), so asking for the icon of a large folder's entries is cheap.

#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>

#include "platform/Platform.h"

namespace kv {

class SystemImages {
  public:
    static SystemImages& shared();

    static constexpr int IconSize = 16;
    // The overlay index of a shared folder; -1 means no overlay.
    static constexpr int SharedOverlay = 0;

    int count() const { return static_cast<int>(icons_.size()); }
    // The icon at an index; a null icon out of range.
    QIcon icon(int index) const;
    // The icon with an overlay drawn over its lower left corner (the shared-folder
    // hand for SharedOverlay); the plain icon for overlay -1 or out of range.
    QIcon iconWithOverlay(int index, int overlay);

    // The standard closed and open folder icons.
    int closedFolderIndex() const { return closedFolder_; }
    int openFolderIndex() const { return openFolder_; }

    // The small icon of a path, as the shell would give it: a drive root ("C:\")
    // by its drive type, a folder (attributes) as a folder, anything else by the
    // type of its name. open asks for the open state (an open folder).
    int iconIndex(const QString& path, bool open = false);
    // The same for an entry already listed: its attributes say whether it is a folder.
    int iconIndexFor(const QString& name, uint32_t attributes, bool open = false);
    // The icon of a drive of this type.
    int driveIndex(DriveType type);

    // The type text of a listed entry: the MIME type's description for a file,
    // the folder type's description for a folder (attributes with attr::Directory).
    static QString typeName(const QString& name, uint32_t attributes);

  private:
    SystemImages();
    int add(const QString& key, const QIcon& icon);
    int themed(const QString& key, const QStringList& themeNames, int styleFallback);

    QList<QIcon> icons_;
    QHash<QString, int> byKey_;
    QHash<qint64, QIcon> overlaid_;
    int closedFolder_ = 0;
    int openFolder_ = 0;
};

}  // namespace kv
