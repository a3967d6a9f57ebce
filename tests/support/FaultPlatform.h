#pragma once
// Test fixtures for code that works on drive-letter paths.
//
// kv::test::TempDrives: an RAII drive map over fresh temporary host folders.
//   TempDrives drives;                      // C: (fixed, label "SYSTEME", serial 0xC0C0C0C0)
//                                           //   -> a new empty host folder
//   drives.root('C')                        // its host folder
//   drives.hostPath("C:\\a\\b.txt")         // host path of a drive path
//   drives.writeFile("C:\\a\\b.txt", "x");  // creates the folders on the way
//   drives.readFile("C:\\a\\b.txt")         // whole content, "" when missing
//   drives.add('D', kv::DriveType::Removable, "CLE", 0x1A2B3C4D);  // one more drive
//   drives.remove('D');                     // the drive disappears from the map
// While it lives, TMPDIR points at C:\Temp\ and KORVELT_HOME at the folder
// C:\Korvelt (both created), so platform().tempFolder() and programFolder() answer inside
// the fixture; both variables and the previous map come back at the end, and
// the folders are deleted. Every map change bumps mountGeneration().
//
// kv::test::FaultPlatform: a Platform that forwards every call to the host
// implementation (so it works on the TempDrives map) and injects faults:
//   kv::test::FaultPlatform fp;             // uninstalls itself when destroyed
//   kv::setPlatform(&fp);                   // or fp.install()
//   fp.failOpen("C:\\x\\a.txt");            // every open of that file fails
//   fp.failOpen("C:\\x\\*.tmp", kv::OpenMode::Create);  // only creating those fails
//                                           //   (exclusive creation, CreateNew and
//                                           //   CreatePrivate, included)
//   fp.holdLock("C:\\x\\a.kvr.lock");      // "another program holds a lock on it":
//                                           //   File::lock() of files opened there fails
//   fp.holdExclusively("C:\\x\\a.txt");     // "held by another program": every open,
//                                           //   removeFile and renameFile of it fail
//                                           //   (readRefusal answers InUse)
//   fp.denyRead("C:\\x\\a.txt");            // "access refused": opens to read it fail
//                                           //   (readRefusal answers AccessDenied)
//   fp.diskFullAfter("C:\\out\\", 4096);    // writes to files below C:\out\ fail once
//                                           //   4096 bytes were written to them in all
//   fp.failReadAfter("C:\\a.bin", 100);     // reads fail (-1) past byte 100
//   fp.failClose("C:\\out\\a.kvr");         // File::close() answers false
//   fp.failRename("C:\\Work\\");             // renameFile and replaceFile from there fail,
//                                           //   as a rename to another file system does
//   fp.setFreeBytes('C', 1000);             // freeBytes() of any path on C:
//   fp.setDriveType('D', kv::DriveType::CdRom);
//   fp.changeMedium('D', 0x11112222, "AUTRE");  // new serial and label, medium present
//   fp.ejectMedium('D');                    // no medium: volume queries and file calls fail
//   fp.setCurrentDrive('D');
//   fp.setOpenDocumentResult(42);           // openDocument starts nothing, answers 42
//   fp.openedDocuments()                    // every openDocument call (file, folder)
//   fp.setWindowClass("TFormVantrel", true);  // findWindowClass answers true
//   fp.closedWindowClasses()                // every closeWindowClass call
//   fp.reset();                             // forget every fault
//
// Path arguments of the fault setters are matched without regard to case and
// with '/' taken as '\': a path with * or ? is a wildcard pattern over the
// whole path (* crosses backslashes), a path ending in '\' stands for
// everything below that folder, anything else for that one path.
// Medium changes and drive types are the double's own view: the host map is
// not touched. Each fault setter bumps nothing but changeMedium/ejectMedium/
// setDriveType, which bump mountGeneration() as a real mount change would.
// The double may be used from several threads at once (the archiving run's
// workers open, read and write files while the test's thread sets faults).

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace kv::test {

class TempDrives {
  public:
    TempDrives();
    ~TempDrives();
    TempDrives(const TempDrives&) = delete;
    TempDrives& operator=(const TempDrives&) = delete;

    // The host folder of a drive of this map ("" when the letter is not mapped).
    std::string root(char letter) const;
    // Adds (or replaces) a drive over a new empty host folder; returns that folder.
    std::string add(char letter, DriveType type = DriveType::Fixed, const std::string& label = {},
                    uint32_t serial = 0);
    // Changes how a mapped drive is described (its folder stays).
    void setDrive(const Drive& drive);
    void remove(char letter);
    const std::vector<Drive>& drives() const { return drives_; }

    // Host path of a drive path, through the host layer's conversion.
    std::string hostPath(const std::string& windowsPath) const;
    // Writes a file (creating its folders) / reads it whole ("" when missing).
    void writeFile(const std::string& windowsPath, std::string_view bytes) const;
    std::string readFile(const std::string& windowsPath) const;
    void makeFolder(const std::string& windowsPath) const;

  private:
    void install();
    std::string base_;  // host folder holding one folder per drive
    std::vector<Drive> drives_;
    std::optional<std::string> oldTmpDir_, oldHome_;
};

class FaultPlatform : public Platform {
  public:
    FaultPlatform();  // forwards to the host implementation
    explicit FaultPlatform(Platform& inner);
    ~FaultPlatform() override;
    void install();

    void failOpen(const std::string& path, std::optional<OpenMode> mode = std::nullopt);
    void holdExclusively(const std::string& path);
    void denyRead(const std::string& path);
    void holdLock(const std::string& path);
    void release(const std::string& path);  // undoes holdExclusively
    void failReadAfter(const std::string& path, int64_t bytes);
    void failClose(const std::string& path);
    void failRename(const std::string& from);
    void diskFullAfter(const std::string& path, int64_t bytes);
    // Bytes written so far under a diskFullAfter rule set with this path.
    int64_t bytesWritten(const std::string& path) const;
    void setFreeBytes(char letter, int64_t bytes);
    void setDriveType(char letter, DriveType type);
    void changeMedium(char letter, uint32_t serial, const std::string& label);
    void ejectMedium(char letter);
    void setCurrentDrive(char letter);
    void setOpenDocumentResult(int result);
    void setWindowClass(const std::string& className, bool present);
    void reset();

    struct OpenedDocument {
        std::string file, folder;
    };
    const std::vector<OpenedDocument>& openedDocuments() const { return opened_; }
    const std::vector<std::string>& closedWindowClasses() const { return closed_; }
    // Number of successful open() calls so far, by mode.
    int openCount(OpenMode mode) const;

    // ----- Platform -----
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
    bool setLastWriteDos(const std::string& path, int32_t dosDateTime) override;
    bool setExecutable(const std::string& path) override;
    // Held folders meet the same rules: files created in them (as CreateNew),
    // renames in them and removals, by the folder's path + the name.
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

    // Shared with the files the double hands out (they may outlive it).
    struct WriteBudget {
        std::string path;
        int64_t limit = 0;
        int64_t written = 0;
    };

  private:
    class FaultFolder;
    bool mayOpen(const std::string& path, OpenMode mode);
    std::unique_ptr<File> withFaults(const std::string& path, OpenMode mode,
                                     std::unique_ptr<File> file);
    bool mayRename(const std::string& from, const std::string& to);
    struct OpenRule {
        std::string path;
        std::optional<OpenMode> mode;
    };
    struct DriveOverride {
        std::optional<DriveType> type;
        std::optional<uint32_t> serial;
        std::optional<std::string> label;
        std::optional<bool> mediaPresent;
    };
    bool reachable(const std::string& path);
    bool held(const std::string& path) const;
    bool denied(const std::string& path) const;
    Drive patched(Drive d) const;

    Platform& inner_;
    mutable std::recursive_mutex mutex_;  // guards every rule and count below
    std::vector<OpenRule> failOpen_;
    std::vector<std::string> held_;
    std::vector<std::string> denied_;
    std::vector<std::pair<std::string, int64_t>> readLimits_;
    std::vector<std::string> failClose_;
    std::vector<std::string> failRename_;
    std::vector<std::string> locked_;
    std::vector<std::shared_ptr<WriteBudget>> budgets_;
    std::map<char, int64_t> freeBytes_;
    std::map<char, DriveOverride> overrides_;
    std::optional<char> currentDrive_;
    std::optional<int> openResult_;
    std::map<std::string, bool> windowClasses_;
    std::vector<OpenedDocument> opened_;
    std::vector<std::string> closed_;
    std::map<OpenMode, int> openCounts_;
    uint64_t extraGeneration_ = 0;
};

// True when the host file system of that folder keeps user extended
// attributes (where hidden and system bits are stored); tests of those bits
// skip themselves where it does not (tmpfs before Linux 6.6, some overlays).
bool hostKeepsDosAttributes(const std::string& hostFolder);

// True when a path falls under a fault path as the setters above describe.
bool faultPathMatches(const std::string& faultPath, const std::string& path);

}  // namespace kv::test
