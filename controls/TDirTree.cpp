#include "controls/TDirTree.h"

#include <QCollator>
#include <QDir>
#include <QHash>
#include <QHeaderView>
#include <QMetaMethod>
#include <QSet>
#include <QSocketNotifier>
#include <algorithm>
#include <memory>

#include "controls/TDirNode.h"
#include "gui/HourGlass.h"
#include "util/Error.h"
#include "util/PathHelpers.h"

namespace kv {

using namespace dirtree;

TDirTree::TDirTree(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(SystemImages::IconSize, SystemImages::IconSize));
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setUniformRowHeights(true);
    // Long folder names scroll into view instead of being cut.
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);

    initialDirectory_ = currentDirectory();
    for (int i = 0; i < 26; ++i) lastFolder_[i] = rootOf(char('A' + i));
    if (const int cur = letterIndex(initialDirectory_.isEmpty() ? QChar() : initialDirectory_[0]);
        cur >= 0)
        lastFolder_[cur] = initialDirectory_.toUpper();
    (void)SystemImages::shared();

    connect(this, &QTreeWidget::itemExpanded, this, &TDirTree::expansionRequest);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { selectionChange(current); });
    connect(this, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item, int) { click(item); });

    mountGeneration_ = platform().mountGeneration();
    if (const int fd = platform().mountWatchHandle(); fd >= 0) {
        mountNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Exception, this);
        connect(mountNotifier_, &QSocketNotifier::activated, this, &TDirTree::pollMounts);
    }
    mountPoll_.setInterval(1000);
    connect(&mountPoll_, &QTimer::timeout, this, &TDirTree::pollMounts);
    mountPoll_.start();
}

TDirTree::~TDirTree() {
    mountPoll_.stop();
    updateLock_ = 0;
    destroying_ = true;
    shownSelected_ = nullptr;
    clear();
}

QString TDirTree::currentDirectory() {
    if (auto windows = platform().toWindows(QDir::currentPath().toStdString())) {
        QString dir = qstr(*windows);
        if (!dir.endsWith(u'\\')) dir += u'\\';
        return dir;
    }
    return rootOf(platform().currentDrive());
}

// ----- records, nodes, icons -----

TDirEntry* TDirTree::EntryOf(QTreeWidgetItem* node) {
    return node ? asNode(node)->entry.get() : nullptr;
}
int TDirTree::OverlayOf(QTreeWidgetItem* node) {
    return node ? asNode(node)->overlay : -1;
}
int TDirTree::ImageIndexOf(QTreeWidgetItem* node) {
    return node ? asNode(node)->imageIndex : -1;
}
int TDirTree::SelectedIndexOf(QTreeWidgetItem* node) {
    return node ? asNode(node)->selectedIndex : -1;
}

QString TDirTree::LastFolder(char letter) const {
    const int i = letterIndex(QChar(letter));
    return i < 0 ? QString() : lastFolder_[i];
}

int64_t TDirTree::StoredSerial(char letter) const {
    const int i = letterIndex(QChar(letter));
    return i < 0 ? 0 : serials_[i];
}

QList<QTreeWidgetItem*> TDirTree::topNodes() const {
    QList<QTreeWidgetItem*> nodes;
    for (int i = 0; i < topLevelItemCount(); ++i) nodes.append(topLevelItem(i));
    return nodes;
}

void TDirTree::nodeDeleted(QTreeWidgetItem* node) {
    if (shownSelected_ == node) shownSelected_ = nullptr;
    if (dropTarget_ == node) dropTarget_ = nullptr;
    emit OnDeleteItem(node);
}

QTreeWidgetItem* TDirTree::newNode(QTreeWidgetItem* parent, int insertAt, const QString& path,
                                   const QString& caption, int imageIndex, void* data) {
    auto* node = new TDirNode(this);
    node->setText(0, caption);
    node->entry = std::make_unique<TDirEntry>();
    node->entry->Path = path.toUpper();
    node->entry->Data = data;
    if (parent) {
        if (insertAt < 0)
            parent->addChild(node);
        else
            parent->insertChild(insertAt, node);
    } else {
        if (insertAt < 0)
            addTopLevelItem(node);
        else
            insertTopLevelItem(insertAt, node);
    }
    if (showShareOverlay_) computeOverlay(node);
    setIcons(node, imageIndex);
    return node;
}

void TDirTree::addPlaceholder(QTreeWidgetItem* node) {
    node->addChild(new TDirNode(this));
}

void TDirTree::setIcons(QTreeWidgetItem* item, int imageIndex) {
    SystemImages& images = SystemImages::shared();
    TDirNode* node = asNode(item);
    node->imageIndex = imageIndex;
    if (imageIndex == images.closedFolderIndex())
        node->selectedIndex = images.openFolderIndex();
    else if (node->entry)
        node->selectedIndex = images.iconIndex(node->entry->Path, true);
    else
        node->selectedIndex = imageIndex;
    applyIcon(node);
    emit OnGetIcon(node);
}

void TDirTree::SetNodeImages(QTreeWidgetItem* item, int imageIndex, int selectedIndex) {
    if (!item) return;
    asNode(item)->imageIndex = imageIndex;
    asNode(item)->selectedIndex = selectedIndex;
    applyIcon(item);
}

void TDirTree::applyIcon(QTreeWidgetItem* item) {
    TDirNode* node = asNode(item);
    const int index = (item == shownSelected_) ? node->selectedIndex : node->imageIndex;
    node->setIcon(0, SystemImages::shared().iconWithOverlay(index, node->overlay));
}

QString TDirTree::driveCaption(char letter) {
    const DriveCaption caption = DriveLabel(letter);
    serials_[letter - 'A'] = caption.serial;
    return qstr(caption.text);
}

// ----- filters -----

uint32_t TDirTree::DriveMask() const {
    const uint32_t present = platform().logicalDrives();
    uint32_t mask = 0;
    for (int i = 0; i < 26; ++i) {
        if (!(present & (1u << i))) continue;
        bool keep = true;
        switch (platform().driveType(str(rootOf(char('A' + i))))) {
            case DriveType::Unknown:
                keep = driveTypes_ & driveTypeBit(drtUnknown);
                break;
            case DriveType::NoRootDir:
                keep = true;
                break;
            case DriveType::Removable:
                keep = driveTypes_ & driveTypeBit(drtRemovable);
                break;
            case DriveType::Fixed:
                keep = driveTypes_ & driveTypeBit(drtFixed);
                break;
            case DriveType::Remote:
                keep = driveTypes_ & driveTypeBit(drtRemote);
                break;
            case DriveType::CdRom:
                keep = driveTypes_ & driveTypeBit(drtCDRom);
                break;
            case DriveType::RamDisk:
                keep = driveTypes_ & driveTypeBit(drtRamDisk);
                break;
        }
        if (keep) mask |= 1u << i;
    }
    return mask;
}

bool TDirTree::AcceptFolder(const QString& path) {
    if (!goBelowRecycleBin_) {
        const QString lowered = path.toLower();
        qsizetype p = lowered.indexOf(QStringLiteral("\\recycled\\"));
        if (p < 0) p = lowered.indexOf(QStringLiteral("\\recycler\\"));
        // 1-based position below length - 9: a folder inside the recycle folder.
        if (p >= 0 && p + 1 < path.size() - 9) return false;
    }
    bool doAdd = true;
    if (isSignalConnected(QMetaMethod::fromSignal(&TDirTree::OnAddDir))) emit OnAddDir(path, doAdd);
    return doAdd;
}

bool TDirTree::AcceptAttributes(uint32_t attributes) const {
    if (dirTypes_ & dirTypeBit(dtAll)) return true;
    if ((attributes & attr::Hidden) && !(dirTypes_ & dirTypeBit(dtHidden))) return false;
    if ((attributes & attr::System) && !(dirTypes_ & dirTypeBit(dtSystem))) return false;
    if ((attributes & attr::Archive) && !(dirTypes_ & dirTypeBit(dtArchive))) return false;
    return (dirTypes_ & dirTypeBit(dtNormal)) ||
           (attributes & (attr::Hidden | attr::System | attr::Archive));
}

// ----- enumeration, listing, probing -----

std::vector<TDirTree::Found> TDirTree::enumerate(QTreeWidgetItem* item, Walk walk) {
    TDirNode* node = asNode(item);
    const QString path = node->entry->Path;
    std::vector<Found> found;
    auto counts = [&](const QString& name, uint32_t attributes) {
        return (attributes & attr::Directory) && name != u"." && name != u".." &&
               AcceptFolder(path + name + u'\\') && AcceptAttributes(attributes);
    };

    if (isSignalConnected(QMetaMethod::fromSignal(&TDirTree::OnFindDir))) {
        TDirRec rec;
        rec.Data = node->entry->Data;
        int result = 0;
        emit OnFindDir(path, rec, result, true);
        while (result == 0) {
            if (walk == Walk::Probe) node->entry->Data = rec.Data;
            if (counts(rec.Name, rec.Attr)) {
                found.push_back({rec.Name, rec.Attr, rec.Data});
                if (walk == Walk::Probe) break;
            }
            rec.Data = node->entry->Data;
            result = 1;
            emit OnFindDir(path, rec, result, false);
        }
        rec.FindHandle = 0;
        return found;
    }

    for (const FindEntry& entry : platform().find(str(path) + "*.*", attr::AnyFile)) {
        const QString name = qstr(entry.name);
        if (!counts(name, entry.attributes)) continue;
        found.push_back({name, entry.attributes, nullptr});
        if (walk == Walk::Probe) break;
    }
    return found;
}

void TDirTree::ListChildren(QTreeWidgetItem* item) {
    TDirEntry* entry = EntryOf(item);
    if (!entry || entry->Listed) return;
    const bool fromHandler = isSignalConnected(QMetaMethod::fromSignal(&TDirTree::OnFindDir));
    qDeleteAll(item->takeChildren());
    entry->Listed = true;
    const std::vector<Found> found = sortedFolders(item);
    for (const Found& f : found) addFolderNode(item, -1, f, fromHandler);
}

std::vector<TDirTree::Found> TDirTree::sortedFolders(QTreeWidgetItem* item) {
    std::vector<Found> found = enumerate(item, Walk::List);
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(found.begin(), found.end(), [&](const Found& a, const Found& b) {
        const int c = collator.compare(a.name, b.name);
        return c != 0 ? c < 0 : QString::compare(a.name, b.name, Qt::CaseInsensitive) < 0;
    });
    return found;
}

QTreeWidgetItem* TDirTree::addFolderNode(QTreeWidgetItem* parent, int insertAt, const Found& f,
                                         bool fromHandler) {
    const QString path = EntryOf(parent)->Path + f.name + u'\\';
    // The caption is the name as the disk spells it; a handler's entry is
    // looked up on disk like any other path.
    QString caption = f.name;
    if (fromHandler) {
        const QString normal = qstr(NormalizePathCase(str(path), false));
        caption = normal.mid(normal.lastIndexOf(u'\\') + 1);
    }
    return newNode(parent, insertAt, path, caption,
                   SystemImages::shared().iconIndexFor(f.name, f.attributes | attr::Directory),
                   f.data);
}

void TDirTree::RelistChildren(QTreeWidgetItem* item) {
    TDirEntry* entry = EntryOf(item);
    if (!entry || !entry->Listed) return;
    const bool fromHandler = isSignalConnected(QMetaMethod::fromSignal(&TDirTree::OnFindDir));
    const std::vector<Found> found = sortedFolders(item);
    QSet<QString> present;
    for (const Found& f : found) present.insert((entry->Path + f.name + u'\\').toUpper());

    // Folders gone from the disk go from the tree (a selection inside them
    // moves, as when any node is deleted).
    QHash<QString, QTreeWidgetItem*> kept;
    for (int i = item->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* child = item->child(i);
        const TDirEntry* childEntry = EntryOf(child);
        if (childEntry && present.contains(childEntry->Path)) {
            kept.insert(childEntry->Path, child);
            continue;
        }
        delete item->takeChild(i);
    }
    // The new ones take their place in the order; the others keep their nodes.
    int at = 0;
    for (const Found& f : found) {
        const QString path = (entry->Path + f.name + u'\\').toUpper();
        if (QTreeWidgetItem* old = kept.value(path)) {
            at = item->indexOfChild(old) + 1;
            continue;
        }
        ProbeChildren(addFolderNode(item, at, f, fromHandler));
        ++at;
    }
}

void TDirTree::ProbeChildren(QTreeWidgetItem* item) {
    TDirEntry* entry = EntryOf(item);
    if (!entry || entry->Listed) return;
    if (!enumerate(item, Walk::Probe).empty()) addPlaceholder(item);
}

void TDirTree::ResetNode(QTreeWidgetItem* item) {
    TDirEntry* entry = EntryOf(item);
    if (!entry) return;
    const bool wasExpanded = item->isExpanded();
    {
        // Collapsing must not list the node again before it is probed.
        const QSignalBlocker block(this);
        if (wasExpanded) item->setExpanded(false);
    }
    qDeleteAll(item->takeChildren());
    entry->Listed = false;
    ProbeChildren(item);
}

void TDirTree::expansionRequest(QTreeWidgetItem* item) {
    TDirEntry* entry = EntryOf(item);
    if (!entry) return;
    HourGlass wait;
    // A node opened again is read again: folders made or removed while the
    // program runs show up.
    if (entry->Listed)
        RelistChildren(item);
    else
        ListChildren(item);
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem* child = item->child(i);
        // A child without an expand button may have gained a subfolder.
        if (child->childCount() == 0) ProbeChildren(child);
    }
}

// ----- building -----

void TDirTree::beginUpdate() {
    if (updateDepth_++ == 0) setUpdatesEnabled(false);
}

void TDirTree::endUpdate() {
    if (updateDepth_ > 0 && --updateDepth_ == 0) setUpdatesEnabled(true);
}

QTreeWidgetItem* TDirTree::addDriveNode(char letter, int insertAt) {
    const QString root = rootOf(letter);
    const DriveType type = platform().driveType(str(root));
    // A removable drive is never touched: the shell's name, no volume query.
    QString caption;
    if (type == DriveType::Removable) {
        caption = qstr(platform().displayName(str(root)));
        if (caption.isEmpty()) caption = QStringLiteral("(%1:)").arg(QChar(letter));
    } else {
        caption = driveCaption(letter);
    }
    return newNode(nullptr, insertAt, root, caption, SystemImages::shared().driveIndex(type),
                   nullptr);
}

void TDirTree::Build() {
    if (loading_ || destroying_) return;
    --updateLock_;
    HourGlass wait;
    beginUpdate();
    clear();
    shownSelected_ = nullptr;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    shownMask_ = DriveMask();
    for (int i = 0; i < 26; ++i) {
        if (!(shownMask_ & (1u << i))) continue;
        const char letter = char('A' + i);
        if (!AcceptFolder(rootOf(letter))) continue;
        QTreeWidgetItem* node = addDriveNode(letter, -1);
        const DriveType type = platform().driveType(str(rootOf(letter)));
        if (!fastLoad_ &&
            (type == DriveType::Fixed || type == DriveType::Remote || type == DriveType::RamDisk))
            ProbeChildren(node);
        else
            addPlaceholder(node);
    }
    ++updateLock_;
    endUpdate();
    if (currentItem()) scrollToItem(currentItem());
}

void TDirTree::Loaded() {
    if (!loading_) return;
    loading_ = false;
    if (readOnStart_) Build();
    const QString target = initialDirectory_.isEmpty() ? currentDirectory() : initialDirectory_;
    setDirectory(target);
}

void TDirTree::ClearTree() {
    --updateLock_;
    beginUpdate();
    shownSelected_ = nullptr;
    clear();
    ++updateLock_;
    if (updateLock_ == 0) selectionChange(currentItem());
    endUpdate();
}

// ----- navigation -----

QString TDirTree::selectedPath() const {
    QTreeWidgetItem* node = currentItem();
    if (!node) return QStringLiteral("?");
    TDirEntry* entry = EntryOf(node);
    return entry ? entry->Path : QString();
}

QString TDirTree::Directory() const {
    const QString path = selectedPath();
    if (path.isEmpty() || path == u"?") return path;
    return qstr(platform().trueCase(str(path)));
}

void TDirTree::setDirectory(const QString& value) {
    if (value.isEmpty()) throw Error("Invalid Path Name");
    if (value == u"?") return;
    std::string p = str(value);
    AddBackslash(p);
    QString path = qstr(p);
    if (!folderExists(path)) path = currentDirectory().left(1) + QStringLiteral(":\\");
    const int n = CountBackslashes(str(path));
    if (n == 0) return;

    HourGlass wait;
    beginUpdate();
    path = path.toUpper();
    QTreeWidgetItem* found = nullptr;
    auto findLevel = [this](QTreeWidgetItem* parent, const QString& part,
                            int level) -> QTreeWidgetItem* {
        const int count = level == 1 ? topLevelItemCount() : parent->childCount();
        for (int i = 0; i < count; ++i) {
            QTreeWidgetItem* node = level == 1 ? topLevelItem(i) : parent->child(i);
            TDirEntry* entry = EntryOf(node);
            if (!entry) break;
            if (QString::compare(entry->Path, part, Qt::CaseInsensitive) == 0) return node;
        }
        return nullptr;
    };
    for (int level = 1; level <= n; ++level) {
        const QString part = qstr(PathToLevel(str(path), level));
        QTreeWidgetItem* match = findLevel(found, part, level);
        if (!match && level > 1 && folderExists(part)) {
            // The folder was made after its parent was listed: read the parent
            // again. The selection may have been below it: it is handled once,
            // when the navigation ends.
            const QString before = selectedPath();
            --updateLock_;
            ResetNode(found);
            ListChildren(found);
            ++updateLock_;
            match = findLevel(found, part, level);
            if (!match && selectedPath() != before) selectionChange(currentItem());
        }
        if (!match) {
            endUpdate();
            return;
        }
        found = match;
        ListChildren(found);
    }
    // Open the branches from the top, each through the expansion request.
    QList<QTreeWidgetItem*> ancestors;
    for (QTreeWidgetItem* a = found->parent(); a; a = a->parent()) ancestors.prepend(a);
    for (QTreeWidgetItem* a : ancestors) a->setExpanded(true);
    setCurrentItem(found);
    scrollToItem(found);
    endUpdate();
}

QTreeWidgetItem* TDirTree::FindNode(const QString& value) {
    HourGlass wait;
    std::string p = str(value);
    AddBackslash(p);
    const QString path = qstr(p).toUpper();
    const int n = CountBackslashes(str(path));
    QTreeWidgetItem* found = nullptr;
    for (int level = 1; level <= n; ++level) {
        const QString part = qstr(PathToLevel(str(path), level));
        QTreeWidgetItem* match = nullptr;
        const int count = level == 1 ? topLevelItemCount() : found->childCount();
        for (int i = 0; i < count; ++i) {
            QTreeWidgetItem* node = level == 1 ? topLevelItem(i) : found->child(i);
            TDirEntry* entry = EntryOf(node);
            if (!entry) break;
            if (entry->Path == part) {
                match = node;
                break;
            }
        }
        if (!match) return nullptr;
        found = match;
    }
    return found;
}

void TDirTree::Refresh() {
    const QString remembered = selectedPath();
    Build();
    auto tryNavigate = [this](const QString& path) {
        if (path.isEmpty() || path == u"?") return;
        setDirectory(path);
    };
    tryNavigate(remembered);
    if (topLevelItemCount() > 0 && !currentItem()) tryNavigate(remembered.left(3));
    if (topLevelItemCount() > 0 && !currentItem()) {
        // Any drive will do: the first one shown, at the folder last shown on
        // it when there is one (an empty path is not one setDirectory takes).
        QTreeWidgetItem* drive = topLevelItem(0);
        const QString last = lastFolder_[letterIndex(EntryOf(drive)->Path[0])];
        if (!last.isEmpty()) setDirectory(last);
        if (selectedPath() != last) {
            --updateLock_;
            setCurrentItem(drive);
            ++updateLock_;
            selectionChange(drive);
        }
    }
}

void TDirTree::setDirTypes(TDirTypes value) {
    if (value == dirTypes_) return;
    dirTypes_ = value;
    Refresh();
}

void TDirTree::setGoBelowRecycleBin(bool value) {
    if (value == goBelowRecycleBin_) return;
    goBelowRecycleBin_ = value;
    Refresh();
}

void TDirTree::setDriveTypes(TDriveTypes value) {
    if (value == driveTypes_) return;
    driveTypes_ = value;
    if (!loading_) ResyncDrives();
}

// ----- selection and click -----

void TDirTree::selectionChange(QTreeWidgetItem* node) {
    if (destroying_ || locked()) return;
    if (TDirEntry* entry = EntryOf(node)) {
        const char letter = char(entry->Path[0].toUpper().unicode());
        const int i = letterIndex(entry->Path[0]);
        if (i >= 0) {
            const int64_t serial = DriveSerial(letter);
            if (serials_[i] == 0) {
                // Never read before (a removable drive is built without a volume
                // query): this is the first medium seen, not an exchanged one.
                serials_[i] = serial;
            } else if (serial != serials_[i]) {
                QTreeWidgetItem* drive = FindNode(rootOf(letter));
                if (drive) {
                    --updateLock_;
                    ResetNode(drive);
                    drive->setText(0, driveCaption(letter));
                    if (serials_[i] != -1 && drive->childCount() == 0) addPlaceholder(drive);
                    if (currentItem() != drive) setCurrentItem(drive);
                    ++updateLock_;
                }
                node = drive;
            }
        }
        if (TDirEntry* current = EntryOf(node); current && i >= 0)
            lastFolder_[i] = current->Path.toUpper();
    }
    if (shownSelected_ != node) {
        QTreeWidgetItem* previous = shownSelected_;
        shownSelected_ = node;
        if (previous) applyIcon(previous);
        if (node) applyIcon(node);
    }
    emit OnChange(node);
}

void TDirTree::click(QTreeWidgetItem*) {
    QTreeWidgetItem* node = currentItem();
    TDirEntry* entry = EntryOf(node);
    if (!entry) return;
    const int i = letterIndex(entry->Path[0]);
    if (i >= 0 && DriveSerial(char('A' + i)) == serials_[i])
        emit OnClick();
    else
        selectionChange(node);
}

}  // namespace kv
