#pragma once
// TDirTree: the tree of the machine's drives and their folders.
//
// Drives of the platform layer's drive map are the root nodes, in letter order.
// Folders are read lazily: a node's subfolders are listed when it first expands,
// and a node that has at least one subfolder carries an empty placeholder child
// until then, so that it shows an expand button. Per drive letter the tree keeps
// the last folder selected there and the volume serial it last saw, so a changed
// medium is noticed on the next selection or click. It follows drives that come
// and go (mount table changes), can hide folders by attribute and the content of
// the recycle folders, can mark shared folders, and can take files dropped from
// the desktop onto a folder node.
//
// Every node with a record holds a TDirEntry (Path upper case, ending in "\").
// Nodes keep their insertion order; the tree never sorts.
//
// The owner sets the properties, then calls Loaded() once (what finishing
// loading from a form does): the drive list is built when ReadOnStart is true
// and the tree moves to InitialDirectory (the current folder when empty).

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QTreeWidget>
#include <array>
#include <cstdint>

#include "controls/SystemImages.h"
#include "controls/TDirEntry.h"

class QSocketNotifier;

namespace kv {

class TDirTree : public QTreeWidget {
    Q_OBJECT
    Q_PROPERTY(bool ReadOnStart READ ReadOnStart WRITE setReadOnStart)
    Q_PROPERTY(unsigned DirTypes READ DirTypes WRITE setDirTypes)
    Q_PROPERTY(bool GoBelowRecycleBin READ GoBelowRecycleBin WRITE setGoBelowRecycleBin)
    Q_PROPERTY(bool FastLoad READ FastLoad WRITE setFastLoad)
    Q_PROPERTY(QString InitialDirectory READ InitialDirectory WRITE setInitialDirectory)
    Q_PROPERTY(unsigned DriveTypes READ DriveTypes WRITE setDriveTypes)
    Q_PROPERTY(bool ShowShareOverlay READ ShowShareOverlay WRITE setShowShareOverlay)
    Q_PROPERTY(bool AcceptDropFiles READ AcceptDropFiles WRITE setAcceptDropFiles)
    Q_PROPERTY(QString Directory READ Directory WRITE setDirectory)

  public:
    // The MIME format of a drag that starts in the tree: the selected folder's
    // path (UTF-8), so that a drop target can tell a drag from a directory tree.
    static constexpr const char* DragFormat = "application/x-korvelt-dirtree";

    explicit TDirTree(QWidget* parent = nullptr);
    ~TDirTree() override;

    // Finishes set-up: builds the drive list when ReadOnStart is true, then moves
    // to InitialDirectory, or to the current folder when it is empty.
    void Loaded();

    // The selected folder as the disk spells it (Platform::trueCase of the
    // node's upper-case Path), ending in "\"; "?" when no node is selected;
    // empty when the selected node has no record. Never fails.
    QString Directory() const;
    // Moves to a folder: opens the branches down to it, selects it (OnChange).
    // Throws kv::Error("Invalid Path Name") for an empty path; "?" does nothing;
    // a folder that doesn't exist moves to the root of the current drive; when a
    // level isn't in the tree (a hidden drive or folder) the selection stays.
    void setDirectory(const QString& path);

    SystemImages& systemImages() const { return SystemImages::shared(); }

    bool ReadOnStart() const { return readOnStart_; }
    void setReadOnStart(bool value) { readOnStart_ = value; }
    TDirTypes DirTypes() const { return dirTypes_; }
    void setDirTypes(TDirTypes value);  // refresh on change
    bool GoBelowRecycleBin() const { return goBelowRecycleBin_; }
    void setGoBelowRecycleBin(bool value);  // refresh on change
    bool FastLoad() const { return fastLoad_; }
    void setFastLoad(bool value) { fastLoad_ = value; }
    QString InitialDirectory() const { return initialDirectory_; }
    void setInitialDirectory(const QString& value) { initialDirectory_ = value; }
    TDriveTypes DriveTypes() const { return driveTypes_; }
    void setDriveTypes(TDriveTypes value);  // drive resynchronisation on change
    bool ShowShareOverlay() const { return showShareOverlay_; }
    void setShowShareOverlay(bool value);
    bool AcceptDropFiles() const { return acceptDropFiles_; }
    void setAcceptDropFiles(bool value);

    // Rebuilds the drive list (every node dropped). Nothing before Loaded().
    void Build();
    // Rebuilds keeping the selected folder, falling back to its drive root, then
    // to a drive node with its remembered last folder.
    void Refresh();
    // Adds the drives that appeared and removes those that went, in letter
    // place; true when anything changed.
    bool ResyncDrives();
    // Looks for one shown drive (Z down to A) whose volume serial changed and
    // resets its node; at most one per call.
    void MediaCheck();
    // Handles a notice that the mount table changed: resynchronisation, else the
    // media check, then the selection-change handling (OnChange always fires).
    void DeviceChange();

    // The node whose Path equals the path (case-sensitive after upper-casing),
    // walking level by level without listing anything; nullptr when not found.
    QTreeWidgetItem* FindNode(const QString& path);
    // Deletes the node's children, clears Listed and probes again.
    void ResetNode(QTreeWidgetItem* node);
    // Reads the node's subfolders into child nodes (once).
    void ListChildren(QTreeWidgetItem* node);
    // Reads a listed node's subfolders again: new folders get nodes in their
    // sorted place (probed), vanished ones lose theirs, the others keep their
    // nodes and what is open below them. Runs when a listed node expands again.
    void RelistChildren(QTreeWidgetItem* node);
    // Adds one placeholder child when the node has at least one subfolder.
    void ProbeChildren(QTreeWidgetItem* node);
    // The recycle rule and OnAddDir, for a folder path ending in "\".
    bool AcceptFolder(const QString& path);
    // The DirTypes rule for an entry's attributes.
    bool AcceptAttributes(uint32_t attributes) const;
    // The drives of the platform that DriveTypes lets through (bit 0 = A:).
    uint32_t DriveMask() const;
    // Drops every node (records freed), then the selection-change handling.
    void ClearTree();

    // The record of a node; nullptr for a placeholder or no node.
    static TDirEntry* EntryOf(QTreeWidgetItem* node);
    // The node's share overlay: SystemImages::SharedOverlay or -1.
    static int OverlayOf(QTreeWidgetItem* node);
    // The image indices the node shows (normal, selected).
    static int ImageIndexOf(QTreeWidgetItem* node);
    static int SelectedIndexOf(QTreeWidgetItem* node);
    // Sets the node's images (OnGetIcon handlers replace them with this).
    void SetNodeImages(QTreeWidgetItem* node, int imageIndex, int selectedIndex);

    // State per drive letter ('A'..'Z').
    QString LastFolder(char letter) const;
    int64_t StoredSerial(char letter) const;
    uint32_t ShownMask() const { return shownMask_; }
    // The names of the last shell drop, in the order given.
    const QStringList& DroppedFiles() const { return droppedFiles_; }

  signals:
    // After each handled selection change, with the node (nullptr when none).
    void OnChange(QTreeWidgetItem* node);
    // A click on a node whose drive kept its medium.
    void OnClick();
    // Asked for every folder path before it becomes a node; doAdd comes in true.
    void OnAddDir(const QString& fileName, bool& doAdd);
    // After a node's record has been freed, as the node goes.
    void OnDeleteItem(QTreeWidgetItem* node);
    // After the tree has set a node's icons (SetNodeImages replaces them).
    void OnGetIcon(QTreeWidgetItem* node);
    // Replaces the folder enumeration when connected: called with first true to
    // start, then false for each next entry; result 0 while an entry is delivered.
    void OnFindDir(const QString& path, kv::TDirRec& rec, int& result, bool first);
    // Files dropped from the desktop on a folder node (AcceptDropFiles on).
    void OnDropFiles(int x, int y, const QString& dropDir, const QStringList& dropFiles,
                     Qt::KeyboardModifiers shift);

  protected:
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    friend class TDirNode;
    struct Found {
        QString name;
        uint32_t attributes = 0;
        void* data = nullptr;
    };
    enum class Walk { List, Probe };

    QTreeWidgetItem* newNode(QTreeWidgetItem* parent, int insertAt, const QString& path,
                             const QString& caption, int imageIndex, void* data);
    void addPlaceholder(QTreeWidgetItem* node);
    // The node's counting subfolders, sorted case-insensitively.
    std::vector<Found> sortedFolders(QTreeWidgetItem* node);
    QTreeWidgetItem* addFolderNode(QTreeWidgetItem* parent, int insertAt, const Found& found,
                                   bool fromHandler);
    QTreeWidgetItem* addDriveNode(char letter, int insertAt);
    void setIcons(QTreeWidgetItem* node, int imageIndex);
    void applyIcon(QTreeWidgetItem* node);
    QString driveCaption(char letter);
    std::vector<Found> enumerate(QTreeWidgetItem* node, Walk walk);
    void expansionRequest(QTreeWidgetItem* node);
    void selectionChange(QTreeWidgetItem* node);
    void click(QTreeWidgetItem* node);
    void nodeDeleted(QTreeWidgetItem* node);
    void computeOverlay(QTreeWidgetItem* node);
    void overlayAll(QTreeWidgetItem* node, bool on);
    void beginUpdate();
    void endUpdate();
    bool locked() const { return updateLock_ < 0; }
    QList<QTreeWidgetItem*> topNodes() const;
    static QString currentDirectory();
    // The Path of the selected node (upper case), "?" or empty as Directory().
    QString selectedPath() const;
    void pollMounts();

    bool readOnStart_ = true;
    TDirTypes dirTypes_ = DefaultDirTypes;
    bool goBelowRecycleBin_ = false;
    bool fastLoad_ = false;
    QString initialDirectory_;
    TDriveTypes driveTypes_ = AllDriveTypes;
    bool showShareOverlay_ = false;
    bool acceptDropFiles_ = false;

    bool loading_ = true;
    bool destroying_ = false;
    int updateLock_ = 0;
    int updateDepth_ = 0;
    uint32_t shownMask_ = 0;
    std::array<QString, 26> lastFolder_;
    std::array<int64_t, 26> serials_{};
    QStringList droppedFiles_;
    QTreeWidgetItem* dropTarget_ = nullptr;
    QTreeWidgetItem* shownSelected_ = nullptr;

    QTimer mountPoll_;
    QSocketNotifier* mountNotifier_ = nullptr;
    uint64_t mountGeneration_ = 0;
};

}  // namespace kv
