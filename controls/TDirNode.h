#pragma once
// The tree's own node type and the small conversions its source files share.
// Private to the TDirTree sources (TDirTree.cpp: nodes, listing, navigation;
// TDirTreeShell.cpp: drives coming and going, share overlays, drag and drop).

#include <QString>
#include <QTreeWidgetItem>
#include <memory>
#include <string>

#include "controls/TDirTree.h"
#include "util/PathHelpers.h"

namespace kv {

// A node of the tree: its record (none for a placeholder), its image indices and
// its share overlay. Deleting it frees the record, then tells the tree.
class TDirNode : public QTreeWidgetItem {
  public:
    explicit TDirNode(TDirTree* tree) : tree_(tree) {}
    ~TDirNode() override {
        const bool hadRecord = entry != nullptr;
        entry.reset();
        if (tree_ && hadRecord) tree_->nodeDeleted(this);
    }

    TDirTree* tree_;
    std::unique_ptr<TDirEntry> entry;
    int imageIndex = -1;
    int selectedIndex = -1;
    int overlay = -1;
};

namespace dirtree {

inline std::string str(const QString& s) {
    return s.toStdString();
}
inline QString qstr(const std::string& s) {
    return QString::fromStdString(s);
}

inline TDirNode* asNode(QTreeWidgetItem* item) {
    return static_cast<TDirNode*>(item);
}

inline int letterIndex(QChar c) {
    const char16_t u = QChar(c).toUpper().unicode();
    return (u >= 'A' && u <= 'Z') ? u - 'A' : -1;
}

inline QString rootOf(char letter) {
    return QString(QChar(letter)) + QStringLiteral(":\\");
}

// The folder named by a path ending in "\" exists (a drive root included).
inline bool folderExists(const QString& path) {
    QString p = qstr(RemoveBackslash(str(path)));
    if (p.size() == 2 && p[1] == u':') p += u'\\';
    return !p.isEmpty() && platform().directoryExists(str(p));
}

}  // namespace dirtree
}  // namespace kv
