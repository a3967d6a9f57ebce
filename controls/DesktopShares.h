#pragma once
// The folders the desktop shares on this host: the Samba user shares that file
// managers create. Read from the user-share folder's definition files ("path="
// lines); when that folder exists but can't be read, from `net usershare info`.
// When it doesn't exist nothing is run and nothing is shared.

#include <QSet>
#include <QString>

namespace kv {

class DesktopShares {
  public:
    // Reads the shares now (the tree asks when its overlay is turned on or refreshed).
    // usershareFolder: where the definitions live; the system's by default.
    explicit DesktopShares(
        const QString& usershareFolder = QStringLiteral("/var/lib/samba/usershares"));

    // True when the host folder is shared (compared without a final slash).
    bool isShared(const QString& hostFolder) const;
    bool empty() const { return paths_.isEmpty(); }

    // The "path=" values of a definition text (one share per file, or the blocks
    // of `net usershare info`), without final slashes.
    static QSet<QString> parsePaths(const QString& text);

  private:
    QSet<QString> paths_;
};

}  // namespace kv
