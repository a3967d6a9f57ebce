#pragma once
// Case-insensitive lookups of names in host folders, for HostPlatform's path
// conversion. Listing a large folder for every path that is spelled
// differently from the disk (or that does not exist yet, as every file of a
// restore) would cost a full directory read per file, so the folded names of
// a folder are kept and changes the platform makes itself are applied to the
// kept names in place. See FolderNames.cpp for when kept names are trusted.

#include <sys/stat.h>

#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace kv {

class FolderNames {
  public:
    // The first name (in byte order) of hostFolder that equals name when
    // folded; "" when none does (or the folder cannot be read).
    std::string match(const std::string& hostFolder, const std::string& name);

    // A change the platform makes to a folder: taken before the change
    // (the folder's state then), applied after it succeeded.
    struct Change {
        std::string folder;  // host folder, as match() is given it
        bool known = false;  // the folder could be examined before the change
        struct stat before {};
    };
    static Change begin(const std::string& hostPath);  // for the entry hostPath
    void added(const Change& change, const std::string& name);
    void removed(const Change& change, const std::string& name);
    // One rename within or across folders (both begun before the rename).
    void renamed(const Change& from, const std::string& fromName, const Change& to,
                 const std::string& toName);
    // The kept names of a folder itself (removed by us) are forgotten.
    void forget(const std::string& hostFolder);

  private:
    struct Folder {
        dev_t dev = 0;
        ino_t ino = 0;
        timespec mtime{};
        off_t size = 0;
        nlink_t nlink = 0;
        bool trusted = false;  // false: only a mark that the folder is looked up in
        std::unordered_map<std::string, std::vector<std::string>>
            names;  // folded -> spellings, sorted
        bool same(const struct stat& st) const;
        void record(const struct stat& st);
        void add(const std::string& name);
        void remove(const std::string& name);
    };

    template <typename Edit>
    void applyLocked(const Change& change, Edit edit);
    static bool list(const std::string& hostFolder, Folder& folder);
    static std::string scan(const std::string& hostFolder, const std::string& name);
    void keepLocked(const std::string& hostFolder, Folder folder);

    std::mutex mutex_;
    std::unordered_map<std::string, Folder> folders_;
};

// The process's lookups (shared by every HostPlatform).
FolderNames& folderNames();

}  // namespace kv
