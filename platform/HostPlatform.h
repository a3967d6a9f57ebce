#pragma once
// The host implementation of Platform (see docs/platform.md for how each
// answer is computed on this host).
//
// The drive map comes, in this order of preference, from setDriveMap() (tests
// and tools, in-process), from KORVELT_DRIVES, or from the mount table, which
// is followed while the program runs: a mount or unmount rebuilds the
// automatic map and bumps mountGeneration().

#include <sys/stat.h>

#include <mutex>

#include "platform/Platform.h"

namespace kv {

class HostPlatform final : public Platform {
  public:
    HostPlatform();
    ~HostPlatform() override;
    HostPlatform(const HostPlatform&) = delete;
    HostPlatform& operator=(const HostPlatform&) = delete;

    // Replaces the map until resetDriveMap() (which returns to KORVELT_DRIVES
    // or the mount table). Both bump mountGeneration().
    void setDriveMap(std::vector<Drive> drives);
    void resetDriveMap();

    std::vector<Drive> drives() override;
    std::optional<Drive> drive(char letter) override;
    std::optional<std::string> toHost(const std::string& windowsPath) override;
    std::optional<std::string> toWindows(const std::string& hostPath) override;

    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override;
    ReadRefusal readRefusal(const std::string& path) override;
    uint32_t attributes(const std::string& path) override;
    bool setAttributes(const std::string& path, uint32_t attributes) override;
    using Platform::find;
    std::vector<FindEntry> find(const std::string& pattern, uint32_t mask,
                                std::vector<std::string>* unwritable) override;
    bool fileExists(const std::string& path) override;
    PathInfo pathInfo(const std::string& path) override;
    bool directoryExists(const std::string& path) override;
    bool createDirectory(const std::string& path) override;
    bool removeDirectory(const std::string& path) override;
    bool removeFile(const std::string& path) override;
    bool renameFile(const std::string& from, const std::string& to) override;
    bool replaceFile(const std::string& from, const std::string& to,
                     const std::string& permissionsOf) override;
    std::optional<std::string> linkedFile(const std::string& path) override;
    std::optional<int32_t> lastWriteDos(const std::string& path) override;
    std::optional<int32_t> fileLastWriteDos(const std::string& path) override;
    bool setLastWriteDos(const std::string& path, int32_t dosDateTime) override;
    bool setExecutable(const std::string& path) override;
    std::unique_ptr<Folder> openFolder(const std::string& path) override;

    int64_t freeBytes(const std::string& path) override;
    DriveType driveType(const std::string& rootPath) override;
    bool volumeInformation(const std::string& rootPath, std::string& label,
                           uint32_t& serial) override;
    uint32_t logicalDrives() override;
    char currentDrive() override;
    uint64_t mountGeneration() override;
    int mountWatchHandle() override;

    std::string tempFolder() override;
    std::string programFolder() override;

    int openDocument(const std::string& file, const std::string& folder) override;
    std::string displayName(const std::string& path) override;
    std::string shellFolder(const std::string& valueName) override;
    bool writeShortcut(const std::string& target, const std::string& shortcutPath) override;

    bool findWindowClass(const std::string& className) override;
    bool closeWindowClass(const std::string& className) override;

  private:
    // toHost, and what the lookup learnt of the path on its way: when the
    // path names an existing entry, spelled as on disk, that is not a link
    // and is not asked for as a folder (no trailing separator), *found holds
    // its stat and *known is true, so the caller needs no second stat.
    std::optional<std::string> resolve(const std::string& windowsPath, struct stat* found,
                                       bool* known);
    // The stat of a resolved path (following links, or of a dangling link
    // itself), from the lookup when it knows it.
    bool statResolved(const std::string& windowsPath, std::optional<std::string>& host,
                      struct stat& st);

    void loadLocked();
    void refreshLocked(bool pathCall = false);
    std::optional<Drive> driveLocked(char letter);
    // True when the device holds one of the kernel's own file systems.
    bool kernelDevice(uint64_t device);

    std::mutex mutex_;
    std::vector<Drive> drives_;
    bool loaded_ = false;
    bool inProcess_ = false;       // set by setDriveMap
    bool fromMountTable_ = false;  // the automatic map, rebuilt on mount changes
    int mountFd_ = -1;             // our own view of the mount table
    int watchFd_ = -1;             // handed out by mountWatchHandle
    std::string mountsText_;
    uint64_t generation_ = 0;
    int64_t lastCheckMs_ = 0;  // last mount check of a path call (monotonic ms)
    // The devices of the kernel's file systems in mountsText_, as of generation:
    std::vector<uint64_t> kernelDevices_;
    uint64_t kernelGeneration_ = UINT64_MAX;
};

// The process's host implementation (what platform() answers by default).
HostPlatform& hostPlatform();

// The host path of a drive-letter path without case-insensitive lookups:
// pure text work on a parsed path ('\' and '/' separate, "." and ".." are
// resolved so that a path never leaves its drive; each component is turned
// into its host name, nullopt when one has none). Used by conversions.
struct WindowsPath {
    char letter = 0;                      // upper case
    std::vector<std::string> components;  // host names (platform/HostNames.h); empty for the root
    bool trailingSeparator = false;       // "C:\a\" (never set for the root)
};
std::optional<WindowsPath> parseWindowsPath(const std::string& path);

// The shell's name of a drive root: "LABEL (D:)" when the medium has a
// label, else the kind of drive: "Disque local (C:)", "Disque amovible (A:)",
// "Lecteur CD (E:)", "Lecteur réseau (F:)", "Disque RAM (R:)", "Lecteur (X:)".
std::string driveDisplayName(const Drive& drive);

// The socket address a window class stands for: "korvelt-<uid>-<class>" in
// the abstract namespace. Shared with WindowClassListener.
std::string windowClassSocketName(const std::string& className);

}  // namespace kv
