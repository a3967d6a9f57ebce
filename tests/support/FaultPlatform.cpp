#include "tests/support/FaultPlatform.h"

#include <sys/xattr.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/HostPlatform.h"
#include "platform/Wildcard.h"
#include "text/Text.h"

namespace fs = std::filesystem;

namespace kv::test {
namespace {

std::string slashesToBackslashes(std::string s) {
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

char upperLetter(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

char letterOf(const std::string& path) {
    return (path.size() >= 2 && path[1] == ':') ? upperLetter(path[0]) : 0;
}

std::optional<std::string> getEnv(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::optional<std::string>(v) : std::nullopt;
}

void restoreEnv(const char* name, const std::optional<std::string>& value) {
    if (value)
        setenv(name, value->c_str(), 1);
    else
        unsetenv(name);
}

// Guards the write budgets, shared by every file the double hands out.
std::mutex& budgetMutex() {
    static std::mutex mutex;
    return mutex;
}

// A File that passes through to the host file and fails on cue.
class FaultFile final : public File {
  public:
    FaultFile(std::unique_ptr<File> inner, std::optional<int64_t> readLimit, bool failClose,
              std::vector<std::shared_ptr<FaultPlatform::WriteBudget>> budgets, bool lockHeld)
        : inner_(std::move(inner)),
          readLimit_(readLimit),
          failClose_(failClose),
          budgets_(std::move(budgets)),
          lockHeld_(lockHeld) {}

    int64_t read(void* buffer, int64_t count) override {
        if (readLimit_) {
            const int64_t pos = inner_->position();
            if (pos < 0 || pos >= *readLimit_) return -1;
            count = std::min(count, *readLimit_ - pos);
        }
        return inner_->read(buffer, count);
    }

    bool write(const void* buffer, int64_t count) override {
        int64_t allowed = count;
        {
            std::lock_guard lock(budgetMutex());
            for (const auto& b : budgets_)
                allowed = std::min(allowed, std::max<int64_t>(0, b->limit - b->written));
            for (const auto& b : budgets_) b->written += allowed;
        }
        bool ok = allowed == count;
        if (allowed > 0) ok = inner_->write(buffer, allowed) && ok;
        return ok;
    }

    bool seek(int64_t position) override { return inner_->seek(position); }
    int64_t position() override { return inner_->position(); }
    int64_t size() override { return inner_->size(); }
    bool truncate(int64_t size) override { return inner_->truncate(size); }
    bool close() override {
        const bool ok = inner_->close();
        return ok && !failClose_;
    }
    bool lock(LockKind kind) override { return !lockHeld_ && inner_->lock(kind); }
    bool setLastWriteDos(int32_t dosDateTime) override {
        return inner_->setLastWriteDos(dosDateTime);
    }
    bool setPermissions(uint32_t permissions) override {
        return inner_->setPermissions(permissions);
    }
    bool flush() override { return inner_->flush(); }
    PathInfo info() override { return inner_->info(); }

  private:
    std::unique_ptr<File> inner_;
    std::optional<int64_t> readLimit_;
    bool failClose_;
    std::vector<std::shared_ptr<FaultPlatform::WriteBudget>> budgets_;
    bool lockHeld_;
};

}  // namespace

// A held folder of the host whose files and renames meet the double's rules,
// by the Windows path the folder was reached by.
class FaultPlatform::FaultFolder final : public Folder {
  public:
    FaultFolder(std::unique_ptr<Folder> inner, FaultPlatform& faults)
        : inner_(std::move(inner)), faults_(faults) {}

    const std::string& path() const override { return inner_->path(); }
    std::optional<FolderEntry> lookup(const std::string& name) override {
        return inner_->lookup(name);
    }
    std::unique_ptr<Folder> openFolder(const std::string& name, bool followOwnLink) override {
        auto folder = inner_->openFolder(name, followOwnLink);
        if (!folder) return nullptr;
        return std::make_unique<FaultFolder>(std::move(folder), faults_);
    }
    bool createFolder(const std::string& name) override { return inner_->createFolder(name); }
    std::unique_ptr<File> createFile(const std::string& name) override {
        const std::string path = inner_->path() + name;
        if (!faults_.mayOpen(path, OpenMode::CreateNew)) return nullptr;
        return faults_.withFaults(path, OpenMode::CreateNew, inner_->createFile(name));
    }
    bool rename(const std::string& from, const std::string& to, bool replace) override {
        return faults_.mayRename(inner_->path() + from, inner_->path() + to) &&
               inner_->rename(from, to, replace);
    }
    bool removeFile(const std::string& name) override {
        return !faults_.held(inner_->path() + name) && inner_->removeFile(name);
    }
    bool flush() override { return inner_->flush(); }

  private:
    std::unique_ptr<Folder> inner_;
    FaultPlatform& faults_;
};

bool faultPathMatches(const std::string& faultPath, const std::string& path) {
    const std::string f = slashesToBackslashes(faultPath);
    const std::string p = slashesToBackslashes(path);
    if (hasWildcards(f)) return wildcardMatch(f, p);
    const std::string fk = text::foldKey(f);
    const std::string pk = text::foldKey(p);
    if (!fk.empty() && fk.back() == '\\') return pk.rfind(fk, 0) == 0;
    return fk == pk;
}

bool hostKeepsDosAttributes(const std::string& hostFolder) {
    const std::string probe = hostFolder + "/.korvelt-xattr-probe";
    { std::ofstream(probe) << ""; }
    const bool ok = setxattr(probe.c_str(), "user.DOSATTRIB", "0x20", 4, 0) == 0;
    std::remove(probe.c_str());
    return ok;
}

// ----- TempDrives -----

TempDrives::TempDrives() {
    std::string templ = (fs::temp_directory_path() / "korvelt-drives-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("TempDrives: no temporary folder");
    base_ = templ;
    oldTmpDir_ = getEnv("TMPDIR");
    oldHome_ = getEnv("KORVELT_HOME");
    const std::string c = add('C', DriveType::Fixed, "SYSTEME", 0xC0C0C0C0);
    fs::create_directories(c + "/Temp");
    fs::create_directories(c + "/Korvelt");
    setenv("TMPDIR", (c + "/Temp").c_str(), 1);
    setenv("KORVELT_HOME", (c + "/Korvelt").c_str(), 1);
}

TempDrives::~TempDrives() {
    resetHostDriveMap();
    restoreEnv("TMPDIR", oldTmpDir_);
    restoreEnv("KORVELT_HOME", oldHome_);
    std::error_code ec;
    // Read-only folders left by a test must not keep their contents alive.
    for (auto it = fs::recursive_directory_iterator(base_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(base_, ec);
}

void TempDrives::install() {
    setHostDriveMap(drives_);
}

std::string TempDrives::root(char letter) const {
    letter = upperLetter(letter);
    for (const Drive& d : drives_) {
        if (d.letter == letter) return d.hostRoot;
    }
    return {};
}

std::string TempDrives::add(char letter, DriveType type, const std::string& label,
                            uint32_t serial) {
    letter = upperLetter(letter);
    const std::string folder = base_ + "/" + letter;
    fs::create_directories(folder);
    Drive d;
    d.letter = letter;
    d.hostRoot = folder;
    d.type = type;
    d.label = label;
    d.serial = serial;
    std::erase_if(drives_, [&](const Drive& x) { return x.letter == letter; });
    drives_.push_back(d);
    std::sort(drives_.begin(), drives_.end(),
              [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
    install();
    return folder;
}

void TempDrives::setDrive(const Drive& drive) {
    for (Drive& d : drives_) {
        if (d.letter == upperLetter(drive.letter)) {
            const std::string folder = d.hostRoot;
            d = drive;
            d.letter = upperLetter(drive.letter);
            if (d.hostRoot.empty()) d.hostRoot = folder;
        }
    }
    install();
}

void TempDrives::remove(char letter) {
    std::erase_if(drives_, [&](const Drive& x) { return x.letter == upperLetter(letter); });
    install();
}

std::string TempDrives::hostPath(const std::string& windowsPath) const {
    const auto host = hostPlatform().toHost(windowsPath);
    return host ? *host : std::string();
}

void TempDrives::writeFile(const std::string& windowsPath, std::string_view bytes) const {
    const std::string host = hostPath(windowsPath);
    if (host.empty()) throw std::runtime_error("TempDrives: not on a mapped drive: " + windowsPath);
    fs::create_directories(fs::path(host).parent_path());
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("TempDrives: cannot write " + host);
}

std::string TempDrives::readFile(const std::string& windowsPath) const {
    std::ifstream in(hostPath(windowsPath), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void TempDrives::makeFolder(const std::string& windowsPath) const {
    const std::string host = hostPath(windowsPath);
    if (host.empty()) throw std::runtime_error("TempDrives: not on a mapped drive: " + windowsPath);
    fs::create_directories(host);
}

// ----- FaultPlatform -----

FaultPlatform::FaultPlatform() : FaultPlatform(hostPlatform()) {}
FaultPlatform::FaultPlatform(Platform& inner) : inner_(inner) {}

FaultPlatform::~FaultPlatform() {
    if (&platform() == this) setPlatform(nullptr);
}

void FaultPlatform::install() {
    setPlatform(this);
}

void FaultPlatform::failOpen(const std::string& path, std::optional<OpenMode> mode) {
    std::lock_guard lock(mutex_);
    failOpen_.push_back({path, mode});
}
void FaultPlatform::holdExclusively(const std::string& path) {
    std::lock_guard lock(mutex_);
    held_.push_back(path);
}
void FaultPlatform::denyRead(const std::string& path) {
    std::lock_guard lock(mutex_);
    denied_.push_back(path);
}
void FaultPlatform::release(const std::string& path) {
    std::lock_guard lock(mutex_);
    std::erase_if(held_, [&](const std::string& h) { return text::equalNoCase(h, path); });
}
void FaultPlatform::holdLock(const std::string& path) {
    std::lock_guard lock(mutex_);
    locked_.push_back(path);
}
void FaultPlatform::failReadAfter(const std::string& path, int64_t bytes) {
    std::lock_guard lock(mutex_);
    readLimits_.push_back({path, bytes});
}
void FaultPlatform::failClose(const std::string& path) {
    std::lock_guard lock(mutex_);
    failClose_.push_back(path);
}
void FaultPlatform::failRename(const std::string& from) {
    std::lock_guard lock(mutex_);
    failRename_.push_back(from);
}

void FaultPlatform::diskFullAfter(const std::string& path, int64_t bytes) {
    std::lock_guard lock(mutex_);
    auto b = std::make_shared<WriteBudget>();
    b->path = path;
    b->limit = bytes;
    budgets_.push_back(std::move(b));
}

int64_t FaultPlatform::bytesWritten(const std::string& path) const {
    std::lock_guard lock(mutex_);
    std::lock_guard budgets(budgetMutex());
    for (const auto& b : budgets_) {
        if (text::equalNoCase(b->path, path)) return b->written;
    }
    return 0;
}

void FaultPlatform::setFreeBytes(char letter, int64_t bytes) {
    std::lock_guard lock(mutex_);
    freeBytes_[upperLetter(letter)] = bytes;
}

void FaultPlatform::setDriveType(char letter, DriveType type) {
    std::lock_guard lock(mutex_);
    overrides_[upperLetter(letter)].type = type;
    ++extraGeneration_;
}

void FaultPlatform::changeMedium(char letter, uint32_t serial, const std::string& label) {
    std::lock_guard lock(mutex_);
    DriveOverride& o = overrides_[upperLetter(letter)];
    o.serial = serial;
    o.label = label;
    o.mediaPresent = true;
    ++extraGeneration_;
}

void FaultPlatform::ejectMedium(char letter) {
    std::lock_guard lock(mutex_);
    overrides_[upperLetter(letter)].mediaPresent = false;
    ++extraGeneration_;
}

void FaultPlatform::setCurrentDrive(char letter) {
    std::lock_guard lock(mutex_);
    currentDrive_ = upperLetter(letter);
}
void FaultPlatform::setOpenDocumentResult(int result) {
    std::lock_guard lock(mutex_);
    openResult_ = result;
}
void FaultPlatform::setWindowClass(const std::string& className, bool present) {
    std::lock_guard lock(mutex_);
    windowClasses_[className] = present;
}

void FaultPlatform::reset() {
    std::lock_guard lock(mutex_);
    failOpen_.clear();
    held_.clear();
    denied_.clear();
    readLimits_.clear();
    failClose_.clear();
    failRename_.clear();
    locked_.clear();
    budgets_.clear();
    freeBytes_.clear();
    if (!overrides_.empty()) ++extraGeneration_;
    overrides_.clear();
    currentDrive_.reset();
    openResult_.reset();
    windowClasses_.clear();
    opened_.clear();
    closed_.clear();
    openCounts_.clear();
}

int FaultPlatform::openCount(OpenMode mode) const {
    std::lock_guard lock(mutex_);
    const auto it = openCounts_.find(mode);
    return it == openCounts_.end() ? 0 : it->second;
}

Drive FaultPlatform::patched(Drive d) const {
    std::lock_guard lock(mutex_);
    const auto it = overrides_.find(d.letter);
    if (it == overrides_.end()) return d;
    const DriveOverride& o = it->second;
    if (o.type) d.type = *o.type;
    if (o.serial) d.serial = *o.serial;
    if (o.label) d.label = *o.label;
    if (o.mediaPresent) d.mediaPresent = *o.mediaPresent;
    return d;
}

bool FaultPlatform::reachable(const std::string& path) {
    std::lock_guard lock(mutex_);
    const auto it = overrides_.find(letterOf(path));
    return it == overrides_.end() || it->second.mediaPresent.value_or(true);
}

bool FaultPlatform::denied(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return std::any_of(denied_.begin(), denied_.end(),
                       [&](const std::string& d) { return faultPathMatches(d, path); });
}

bool FaultPlatform::held(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return std::any_of(held_.begin(), held_.end(),
                       [&](const std::string& h) { return faultPathMatches(h, path); });
}

std::vector<Drive> FaultPlatform::drives() {
    std::vector<Drive> list = inner_.drives();
    for (Drive& d : list) d = patched(d);
    return list;
}

std::optional<Drive> FaultPlatform::drive(char letter) {
    auto d = inner_.drive(letter);
    if (d) d = patched(*d);
    return d;
}

std::optional<std::string> FaultPlatform::toHost(const std::string& windowsPath) {
    if (!reachable(windowsPath)) return std::nullopt;
    return inner_.toHost(windowsPath);
}

std::optional<std::string> FaultPlatform::toWindows(const std::string& hostPath) {
    auto w = inner_.toWindows(hostPath);
    if (w && !reachable(*w)) return std::nullopt;
    return w;
}

bool FaultPlatform::mayOpen(const std::string& path, OpenMode mode) {
    std::lock_guard lock(mutex_);
    if (!reachable(path) || held(path)) return false;
    if ((mode == OpenMode::Read || mode == OpenMode::ReadWrite) && denied(path)) return false;
    // A rule for Create stands for every creation, exclusive ones included.
    const auto ruleMode = [](OpenMode m) {
        return m == OpenMode::CreateNew || m == OpenMode::CreatePrivate ? OpenMode::Create : m;
    };
    for (const OpenRule& r : failOpen_) {
        if ((!r.mode || ruleMode(*r.mode) == ruleMode(mode)) && faultPathMatches(r.path, path))
            return false;
    }
    return true;
}

std::unique_ptr<File> FaultPlatform::open(const std::string& path, OpenMode mode) {
    if (!mayOpen(path, mode)) return nullptr;
    return withFaults(path, mode, inner_.open(path, mode));
}

std::unique_ptr<File> FaultPlatform::withFaults(const std::string& path, OpenMode mode,
                                                std::unique_ptr<File> file) {
    std::lock_guard lock(mutex_);
    if (!file) return nullptr;
    ++openCounts_[mode];
    std::optional<int64_t> readLimit;
    for (const auto& [p, limit] : readLimits_) {
        if (faultPathMatches(p, path)) readLimit = readLimit ? std::min(*readLimit, limit) : limit;
    }
    const bool failClose =
        std::any_of(failClose_.begin(), failClose_.end(),
                    [&](const std::string& p) { return faultPathMatches(p, path); });
    std::vector<std::shared_ptr<WriteBudget>> budgets;
    for (const auto& b : budgets_) {
        if (faultPathMatches(b->path, path)) budgets.push_back(b);
    }
    const bool lockHeld = std::any_of(locked_.begin(), locked_.end(), [&](const std::string& p) {
        return faultPathMatches(p, path);
    });
    if (!readLimit && !failClose && budgets.empty() && !lockHeld) return file;
    return std::make_unique<FaultFile>(std::move(file), readLimit, failClose, std::move(budgets),
                                       lockHeld);
}

ReadRefusal FaultPlatform::readRefusal(const std::string& path) {
    if (!reachable(path)) return ReadRefusal::Missing;
    if (held(path)) return ReadRefusal::InUse;
    if (denied(path)) return ReadRefusal::AccessDenied;
    return inner_.readRefusal(path);
}

uint32_t FaultPlatform::attributes(const std::string& path) {
    return reachable(path) ? inner_.attributes(path) : attr::Invalid;
}

bool FaultPlatform::setAttributes(const std::string& path, uint32_t attributes) {
    return reachable(path) && inner_.setAttributes(path, attributes);
}

std::vector<FindEntry> FaultPlatform::find(const std::string& pattern, uint32_t mask,
                                           std::vector<std::string>* unwritable) {
    if (!reachable(pattern)) return {};
    return inner_.find(pattern, mask, unwritable);
}

bool FaultPlatform::fileExists(const std::string& path) {
    return reachable(path) && inner_.fileExists(path);
}
PathInfo FaultPlatform::pathInfo(const std::string& path) {
    return reachable(path) ? inner_.pathInfo(path) : PathInfo{};
}
bool FaultPlatform::directoryExists(const std::string& path) {
    return reachable(path) && inner_.directoryExists(path);
}
bool FaultPlatform::createDirectory(const std::string& path) {
    return reachable(path) && inner_.createDirectory(path);
}
bool FaultPlatform::removeDirectory(const std::string& path) {
    return reachable(path) && inner_.removeDirectory(path);
}
bool FaultPlatform::removeFile(const std::string& path) {
    return reachable(path) && !held(path) && inner_.removeFile(path);
}
bool FaultPlatform::mayRename(const std::string& from, const std::string& to) {
    {
        std::lock_guard lock(mutex_);
        for (const std::string& p : failRename_)
            if (faultPathMatches(p, from)) return false;
    }
    return reachable(from) && reachable(to) && !held(from) && !held(to);
}
bool FaultPlatform::renameFile(const std::string& from, const std::string& to) {
    return mayRename(from, to) && inner_.renameFile(from, to);
}
bool FaultPlatform::replaceFile(const std::string& from, const std::string& to,
                                const std::string& permissionsOf) {
    {
        std::lock_guard lock(mutex_);
        for (const std::string& p : failRename_)
            if (faultPathMatches(p, from)) return false;
    }
    return reachable(from) && reachable(to) && !held(from) && !held(to) &&
           inner_.replaceFile(from, to, permissionsOf);
}
std::optional<std::string> FaultPlatform::linkedFile(const std::string& path) {
    if (!reachable(path)) return path;
    return inner_.linkedFile(path);
}
std::optional<int32_t> FaultPlatform::lastWriteDos(const std::string& path) {
    if (!reachable(path)) return std::nullopt;
    return inner_.lastWriteDos(path);
}
bool FaultPlatform::setLastWriteDos(const std::string& path, int32_t dosDateTime) {
    return reachable(path) && inner_.setLastWriteDos(path, dosDateTime);
}
bool FaultPlatform::setExecutable(const std::string& path) {
    return reachable(path) && inner_.setExecutable(path);
}
std::unique_ptr<Folder> FaultPlatform::openFolder(const std::string& path) {
    if (!reachable(path)) return nullptr;
    auto folder = inner_.openFolder(path);
    if (!folder) return nullptr;
    return std::make_unique<FaultFolder>(std::move(folder), *this);
}

int64_t FaultPlatform::freeBytes(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (!reachable(path)) return -1;
    const auto it = freeBytes_.find(letterOf(path));
    if (it != freeBytes_.end()) return it->second;
    return inner_.freeBytes(path);
}

DriveType FaultPlatform::driveType(const std::string& rootPath) {
    std::lock_guard lock(mutex_);
    const char letter = rootPath.empty() ? currentDrive() : letterOf(rootPath);
    const DriveType host =
        inner_.driveType(rootPath.empty() ? std::string(1, letter) + ":\\" : rootPath);
    if (host == DriveType::NoRootDir) return host;
    const auto it = overrides_.find(letter);
    return (it != overrides_.end() && it->second.type) ? *it->second.type : host;
}

bool FaultPlatform::volumeInformation(const std::string& rootPath, std::string& label,
                                      uint32_t& serial) {
    const auto d = drive(letterOf(rootPath));
    if (!d || !d->mediaPresent) return false;
    std::string hostLabel;
    uint32_t hostSerial = 0;
    if (!inner_.volumeInformation(rootPath, hostLabel, hostSerial)) return false;
    label = d->label;
    serial = d->serial;
    return true;
}

uint32_t FaultPlatform::logicalDrives() {
    return inner_.logicalDrives();
}

char FaultPlatform::currentDrive() {
    std::lock_guard lock(mutex_);
    return currentDrive_ ? *currentDrive_ : inner_.currentDrive();
}

uint64_t FaultPlatform::mountGeneration() {
    std::lock_guard lock(mutex_);
    return inner_.mountGeneration() + extraGeneration_;
}
int FaultPlatform::mountWatchHandle() {
    return inner_.mountWatchHandle();
}
std::string FaultPlatform::tempFolder() {
    return inner_.tempFolder();
}
std::string FaultPlatform::programFolder() {
    return inner_.programFolder();
}

int FaultPlatform::openDocument(const std::string& file, const std::string& folder) {
    std::lock_guard lock(mutex_);
    opened_.push_back({file, folder});
    if (openResult_) return *openResult_;
    return inner_.openDocument(file, folder);
}

std::string FaultPlatform::displayName(const std::string& path) {
    std::lock_guard lock(mutex_);
    const char letter = letterOf(path);
    const bool root =
        letter && (path.size() == 2 || (path.size() == 3 && (path[2] == '\\' || path[2] == '/')));
    if (root && overrides_.count(letter)) {
        const auto d = drive(letter);
        return d ? driveDisplayName(*d) : std::string();
    }
    if (!root && !reachable(path)) return {};
    return inner_.displayName(path);
}

std::string FaultPlatform::shellFolder(const std::string& valueName) {
    return inner_.shellFolder(valueName);
}

bool FaultPlatform::writeShortcut(const std::string& target, const std::string& shortcutPath) {
    return reachable(shortcutPath) && inner_.writeShortcut(target, shortcutPath);
}

bool FaultPlatform::findWindowClass(const std::string& className) {
    std::lock_guard lock(mutex_);
    const auto it = windowClasses_.find(className);
    return it != windowClasses_.end() ? it->second : inner_.findWindowClass(className);
}

bool FaultPlatform::closeWindowClass(const std::string& className) {
    std::lock_guard lock(mutex_);
    closed_.push_back(className);
    const auto it = windowClasses_.find(className);
    return it != windowClasses_.end() ? it->second : inner_.closeWindowClass(className);
}

}  // namespace kv::test
