#include "platform/FolderNames.h"

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "text/Text.h"

namespace kv {

// When kept names are trusted. A lookup uses them while the folder keeps the
// identity (device, inode), modification time, size and link count recorded
// with them, and only when they were recorded at a moment after which any
// change by another program must move that time stamp:
//  - a listing of a folder whose time stamp was at least two seconds old when
//    it was read (folder time stamps are at worst two seconds coarse, so a
//    later change gets a later stamp);
//  - the state right after a change of our own: the names updated in place
//    when they were current just before it, else the folder listed again
//    right after it.
// The one change this cannot see is one by another program within the very
// clock tick of our own change, after we looked, that leaves the folder's
// size and link count as they were. With fine time stamps that tick is a few
// milliseconds, in a folder we are writing into ourselves; the cost of a miss
// is a name looked up with the spelling it was given.
// A folder looked up while its stamp is recent is read without keeping the
// result; a mark is kept instead, so that our next change in it lists it once
// and keeps it from then on.

namespace {

constexpr std::size_t kMaxFolders = 256;
constexpr time_t kSettledSeconds = 2;

}  // namespace

bool FolderNames::Folder::same(const struct stat& st) const {
    return st.st_dev == dev && st.st_ino == ino && st.st_mtim.tv_sec == mtime.tv_sec &&
           st.st_mtim.tv_nsec == mtime.tv_nsec && st.st_size == size && st.st_nlink == nlink;
}

void FolderNames::Folder::record(const struct stat& st) {
    dev = st.st_dev;
    ino = st.st_ino;
    mtime = st.st_mtim;
    size = st.st_size;
    nlink = st.st_nlink;
}

void FolderNames::Folder::add(const std::string& name) {
    std::vector<std::string>& spellings = names[text::foldKey(name)];
    const auto at = std::lower_bound(spellings.begin(), spellings.end(), name);
    if (at == spellings.end() || *at != name) spellings.insert(at, name);
}

void FolderNames::Folder::remove(const std::string& name) {
    const auto it = names.find(text::foldKey(name));
    if (it == names.end()) return;
    std::vector<std::string>& spellings = it->second;
    const auto at = std::lower_bound(spellings.begin(), spellings.end(), name);
    if (at != spellings.end() && *at == name) spellings.erase(at);
    if (spellings.empty()) names.erase(it);
}

// Every name of hostFolder, with the folder's state before and after the
// read; false when the folder changed while it was read (or cannot be read).
bool FolderNames::list(const std::string& hostFolder, Folder& folder) {
    struct stat st;
    if (stat(hostFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    DIR* dir = opendir(hostFolder.c_str());
    if (!dir) return false;
    folder.names.clear();
    while (dirent* e = readdir(dir)) {
        const char* entry = e->d_name;
        if (std::strcmp(entry, ".") == 0 || std::strcmp(entry, "..") == 0) continue;
        folder.add(entry);
    }
    closedir(dir);
    struct stat after;
    if (stat(hostFolder.c_str(), &after) != 0) return false;
    folder.record(st);
    return folder.same(after);
}

// One pass over the folder without keeping it. Folding never changes a
// character's length in bytes, so only names of the same length can match.
std::string FolderNames::scan(const std::string& hostFolder, const std::string& name) {
    DIR* dir = opendir(hostFolder.c_str());
    if (!dir) return {};
    std::string best;
    while (dirent* e = readdir(dir)) {
        if (std::strlen(e->d_name) != name.size()) continue;
        const std::string_view entry = e->d_name;
        if (entry == "." || entry == ".." || !text::equalNoCase(entry, name)) continue;
        if (best.empty() || entry < best) best = entry;
    }
    closedir(dir);
    return best;
}

void FolderNames::keepLocked(const std::string& hostFolder, Folder folder) {
    if (folders_.size() >= kMaxFolders && !folders_.count(hostFolder)) folders_.clear();
    folders_[hostFolder] = std::move(folder);
}

std::string FolderNames::match(const std::string& hostFolder, const std::string& name) {
    struct stat st;
    if (stat(hostFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
    const std::string key = text::foldKey(name);
    std::lock_guard lock(mutex_);
    const auto it = folders_.find(hostFolder);
    if (it != folders_.end() && it->second.trusted && it->second.same(st)) {
        const auto hit = it->second.names.find(key);
        return hit == it->second.names.end() ? std::string() : hit->second.front();
    }
    Folder folder;
    if (std::time(nullptr) - st.st_mtim.tv_sec < kSettledSeconds) {
        folder.record(st);  // the mark: not trusted, nothing kept
        keepLocked(hostFolder, std::move(folder));
        return scan(hostFolder, name);
    }
    folder.trusted = list(hostFolder, folder);
    const auto hit = folder.names.find(key);
    std::string result = hit == folder.names.end() ? std::string() : hit->second.front();
    if (folder.trusted) {
        keepLocked(hostFolder, std::move(folder));
    } else {
        folders_.erase(hostFolder);
    }
    return result;
}

FolderNames::Change FolderNames::begin(const std::string& hostFolder) {
    Change change;
    change.folder = hostFolder;
    change.known = stat(hostFolder.c_str(), &change.before) == 0;
    return change;
}

template <typename Edit>
void FolderNames::applyLocked(const Change& change, Edit edit) {
    const auto it = folders_.find(change.folder);
    if (it == folders_.end()) return;  // not looked up in: nothing to keep
    Folder& folder = it->second;
    struct stat now;
    if (change.known && folder.trusted && folder.same(change.before) &&
        stat(change.folder.c_str(), &now) == 0) {
        edit(folder);
        folder.record(now);
        return;
    }
    // The kept names were not current (or only a mark): read the folder now,
    // right after our change.
    Folder fresh;
    if (list(change.folder, fresh)) {
        fresh.trusted = true;
        folder = std::move(fresh);
    } else {
        folders_.erase(it);
    }
}

void FolderNames::added(const Change& change, const std::string& name) {
    std::lock_guard lock(mutex_);
    applyLocked(change, [&](Folder& f) { f.add(name); });
}

void FolderNames::removed(const Change& change, const std::string& name) {
    std::lock_guard lock(mutex_);
    applyLocked(change, [&](Folder& f) { f.remove(name); });
}

void FolderNames::renamed(const Change& from, const std::string& fromName, const Change& to,
                          const std::string& toName) {
    std::lock_guard lock(mutex_);
    if (from.folder == to.folder) {
        applyLocked(from, [&](Folder& f) {
            f.remove(fromName);
            f.add(toName);
        });
        return;
    }
    applyLocked(from, [&](Folder& f) { f.remove(fromName); });
    applyLocked(to, [&](Folder& f) { f.add(toName); });
}

void FolderNames::forget(const std::string& hostFolder) {
    std::lock_guard lock(mutex_);
    folders_.erase(hostFolder);
}

FolderNames& folderNames() {
    static FolderNames instance;
    return instance;
}

}  // namespace kv
