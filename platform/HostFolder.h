#pragma once
// The host's Folder: a descriptor on a folder, with every name below it
// resolved from that descriptor by the *at() calls, never through a link
// (O_NOFOLLOW, AT_SYMLINK_NOFOLLOW). Names are single components, so no step
// can climb out of the folder either.
//
// Lookups without regard to case ask the process's folder-name lookups
// (platform/FolderNames.h) by the host path the folder was reached by, and
// the changes made here keep those lookups up to date; a name they answer is
// looked up again in the held folder itself, so an answer is always an entry
// of this folder.

#include <memory>
#include <string>

#include "platform/Platform.h"

namespace kv {

class HostFolder final : public Folder {
  public:
    // Holds the folder at hostPath (links on the way are followed); nullptr
    // when no folder is there. windowsPath is what path() answers.
    static std::unique_ptr<HostFolder> open(const std::string& hostPath, std::string windowsPath);
    ~HostFolder() override;
    HostFolder(const HostFolder&) = delete;
    HostFolder& operator=(const HostFolder&) = delete;

    const std::string& path() const override { return path_; }
    std::optional<FolderEntry> lookup(const std::string& name) override;
    std::unique_ptr<Folder> openFolder(const std::string& name, bool followOwnLink) override;
    bool createFolder(const std::string& name) override;
    std::unique_ptr<File> createFile(const std::string& name) override;
    bool rename(const std::string& from, const std::string& to, bool replace) override;
    bool removeFile(const std::string& name) override;
    bool flush() override;

  private:
    HostFolder(int fd, std::string hostPath, std::string windowsPath)
        : fd_(fd), hostPath_(std::move(hostPath)), path_(std::move(windowsPath)) {}
    int fd_;
    std::string hostPath_;  // how it was reached: the key of the folder-name lookups
    std::string path_;
};

}  // namespace kv
