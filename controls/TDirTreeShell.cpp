#include <QDir>
#include <QDragEnterEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>
#include <memory>

#include "controls/DesktopShares.h"
#include "controls/TDirNode.h"
#include "controls/TDirTree.h"

namespace kv {

using namespace dirtree;

namespace {

const DesktopShares& shares(bool reread = false) {
    static std::unique_ptr<DesktopShares> cache;
    if (!cache || reread) cache = std::make_unique<DesktopShares>();
    return *cache;
}

}  // namespace

// ----- drives coming and going -----

bool TDirTree::ResyncDrives() {
    bool changed = false;
    --updateLock_;
    beginUpdate();
    const uint32_t mask = DriveMask();
    for (int i = 0; i < 26; ++i) {
        const uint32_t bit = 1u << i;
        if ((shownMask_ & bit) && !(mask & bit)) {
            if (QTreeWidgetItem* node = FindNode(rootOf(char('A' + i)))) {
                ResetNode(node);
                delete node;
            }
            changed = true;
        }
    }
    for (int i = 0; i < 26; ++i) {
        const uint32_t bit = 1u << i;
        if (!(mask & bit) || (shownMask_ & bit)) continue;
        const char letter = char('A' + i);
        const QString root = rootOf(letter);
        int insertAt = -1;
        for (int k = 0; k < topLevelItemCount(); ++k) {
            TDirEntry* entry = EntryOf(topLevelItem(k));
            if (entry && entry->Path > root) {
                insertAt = k;
                break;
            }
        }
        QTreeWidgetItem* node = addDriveNode(letter, insertAt);
        const DriveType type = platform().driveType(str(root));
        if (fastLoad_ || static_cast<int>(type) < static_cast<int>(DriveType::Fixed) ||
            type == DriveType::CdRom)
            addPlaceholder(node);
        else
            ProbeChildren(node);
        changed = true;
    }
    shownMask_ = mask;
    ++updateLock_;
    endUpdate();
    viewport()->update();
    if (changed) selectionChange(currentItem());
    return changed;
}

void TDirTree::MediaCheck() {
    for (int i = 25; i >= 0; --i) {
        if (!(shownMask_ & (1u << i))) continue;
        const char letter = char('A' + i);
        if (DriveSerial(letter) == serials_[i]) continue;
        if (QTreeWidgetItem* drive = FindNode(rootOf(letter))) {
            --updateLock_;
            ResetNode(drive);
            drive->setText(0, driveCaption(letter));
            if (serials_[i] != -1 && drive->childCount() == 0) addPlaceholder(drive);
            ++updateLock_;
        }
        return;
    }
}

void TDirTree::DeviceChange() {
    --updateLock_;
    const bool changed = ResyncDrives();
    if (!changed) MediaCheck();
    ++updateLock_;
    selectionChange(currentItem());
}

void TDirTree::pollMounts() {
    const uint64_t generation = platform().mountGeneration();
    if (generation == mountGeneration_) return;
    mountGeneration_ = generation;
    if (!loading_ && !destroying_) DeviceChange();
}

// ----- share overlay -----

void TDirTree::computeOverlay(QTreeWidgetItem* item) {
    TDirNode* node = asNode(item);
    if (!node->entry) return;
    if (!node->entry->ShareKnown) {
        std::string folder = RemoveBackslash(str(node->entry->Path));
        if (folder.size() == 2) folder += '\\';
        const auto host = platform().toHost(folder);
        node->entry->HostFolder = host ? qstr(*host) : QString();
        node->entry->ShareKnown = true;
    }
    const bool shared =
        !node->entry->HostFolder.isEmpty() && shares().isShared(node->entry->HostFolder);
    node->overlay = shared ? SystemImages::SharedOverlay : -1;
}

void TDirTree::overlayAll(QTreeWidgetItem* item, bool on) {
    TDirNode* node = asNode(item);
    if (!node->entry) return;
    if (on)
        computeOverlay(node);
    else
        node->overlay = -1;
    applyIcon(node);
    if (on && !node->entry->Listed) return;
    for (int i = 0; i < node->childCount(); ++i) overlayAll(node->child(i), on);
}

void TDirTree::setShowShareOverlay(bool value) {
    if (value == showShareOverlay_) return;
    showShareOverlay_ = value;
    if (value) shares(true);
    for (QTreeWidgetItem* node : topNodes()) overlayAll(node, value);
}

// ----- drag source and shell drops -----

void TDirTree::setAcceptDropFiles(bool value) {
    acceptDropFiles_ = value;
    setAcceptDrops(value);
    viewport()->setAcceptDrops(value);
    setDragDropMode(value ? QAbstractItemView::DragDrop : QAbstractItemView::DragOnly);
}

QStringList TDirTree::mimeTypes() const {
    return {QString::fromLatin1(DragFormat)};
}

QMimeData* TDirTree::mimeData(const QList<QTreeWidgetItem*>& items) const {
    if (items.isEmpty() || !EntryOf(items.first())) return nullptr;
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(DragFormat), Directory().toUtf8());
    return data;
}

void TDirTree::dragEnterEvent(QDragEnterEvent* event) {
    if (acceptDropFiles_ && event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TDirTree::dragMoveEvent(QDragMoveEvent* event) {
    if (acceptDropFiles_ && event->mimeData()->hasUrls() && itemAt(event->position().toPoint()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TDirTree::dropEvent(QDropEvent* event) {
    if (!acceptDropFiles_ || !event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    const QPoint point = event->position().toPoint();
    if (!viewport()->rect().contains(point)) return;
    dropTarget_ = itemAt(point);
    if (!dropTarget_) return;
    droppedFiles_.clear();
    for (const QUrl& url : event->mimeData()->urls()) {
        if (!url.isLocalFile()) continue;
        if (auto windows = platform().toWindows(QDir::cleanPath(url.toLocalFile()).toStdString()))
            droppedFiles_.append(qstr(*windows));
    }
    event->acceptProposedAction();
    if (!droppedFiles_.isEmpty()) {
        const Qt::KeyboardModifiers shift =
            QGuiApplication::queryKeyboardModifiers() &
            (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier);
        if (TDirEntry* entry = EntryOf(dropTarget_))
            emit OnDropFiles(point.x(), point.y(), qstr(platform().trueCase(str(entry->Path))),
                             droppedFiles_, shift);
    }
    dropTarget_ = nullptr;
}

}  // namespace kv
