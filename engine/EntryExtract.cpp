#include "engine/EntryExtract.h"

#include <cctype>

#include "util/Error.h"

namespace kv::format {

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// RAII: a temporary file goes away on every exit path unless released.
class TempFile {
  public:
    explicit TempFile(std::string path) : path_(std::move(path)) {}
    ~TempFile() {
        if (!path_.empty()) platform().removeFile(path_);
    }
    const std::string& path() const { return path_; }
    void release() { path_.clear(); }

  private:
    std::string path_;
};

bool isDriveLetter(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

bool isSafeFileName(const std::string& fileName) {
    if (fileName.empty() || fileName == "." || fileName == "..") return false;
    for (char c : fileName)
        if (isSeparator(c) || c == ':') return false;
    return true;
}

bool hasNoParentStep(const std::string& folder) {
    std::size_t start = 0;
    while (start <= folder.size()) {
        std::size_t end = start;
        while (end < folder.size() && !isSeparator(folder[end])) ++end;
        if (folder.compare(start, end - start, "..") == 0 && end - start == 2) return false;
        start = end + 1;
    }
    return true;
}

bool isDrivePath(const std::string& folder) {
    return folder.size() >= 3 && isDriveLetter(folder[0]) && folder[1] == ':' &&
           folder[2] == '\\' && hasNoParentStep(folder.substr(3));
}

std::optional<std::string> destinationFolder(const EntryRecord& record, Placement placement,
                                             const std::string& chosenFolder) {
    if (!isSafeFileName(record.fileName)) return std::nullopt;
    const std::string belowDrive =
        record.folder.size() > 3 ? record.folder.substr(3) : std::string();
    if (!hasNoParentStep(belowDrive)) return std::nullopt;
    switch (placement) {
        case Placement::Origin:
            if (!isDrivePath(record.folder)) return std::nullopt;
            return record.folder.back() == '\\' ? record.folder : record.folder + '\\';
        case Placement::Tree: {
            // A stored folder always ends in a backslash; one that does not is
            // completed, and a leading separator cannot climb to the root.
            std::string tail = belowDrive;
            while (!tail.empty() && isSeparator(tail.front())) tail.erase(0, 1);
            if (!tail.empty() && tail.back() != '\\') tail += '\\';
            return chosenFolder + tail;
        }
        case Placement::Flat:
            return chosenFolder;
    }
    return std::nullopt;
}

bool createFolderPath(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    if (platform().directoryExists(path)) return true;
    // Create each level in turn, from the first one below the root.
    for (std::size_t pos = path.find('\\', 3);; pos = path.find('\\', pos + 1)) {
        std::string level = path.substr(0, pos);
        if (!platform().directoryExists(level) && !platform().createDirectory(level) &&
            !platform().directoryExists(level))
            return false;
        if (pos == std::string::npos) break;
    }
    return platform().directoryExists(path);
}

std::string uniqueFileName(const std::string& folder, const std::string& stem) {
    for (unsigned n = 1;; ++n) {
        std::string name = stem + std::to_string(n) + ".tmp";
        if (platform().attributes(folder + name) == attr::Invalid) return name;
    }
}

ExtractResult extractPayload(File& archive, const EntryRecord& record, int64_t payloadStart,
                             const std::string& destinationFolder, TGzip& gzip) {
    // No payload at all can only stand for an empty file.
    if (!payloadFits(record, payloadStart, archive.size()) ||
        (record.compressedSize == 0 && record.fileSize != 0))
        return ExtractResult::Damaged;
    if (!archive.seek(payloadStart))
        throw Error("Erreur de lecture dans l'archive (fichier < " + record.fileName + " >)");

    const std::string destination = destinationFolder + record.fileName;
    const uint32_t old = platform().attributes(destination);
    if (old == attr::Invalid) {
        // Nothing to keep safe: decompress in place, and remove what a failure left.
        TempFile partial(destination);
        gzip.FileDestination = destination;
        if (gzip.DecompressMember(archive, record.compressedSize) != 0)
            return ExtractResult::DecompressFailed;
        partial.release();
        return ExtractResult::Done;
    }
    if (old & attr::Directory) return ExtractResult::DecompressFailed;

    TempFile fresh(destinationFolder + uniqueFileName(destinationFolder, "~kvr"));
    gzip.FileDestination = fresh.path();
    if (gzip.DecompressMember(archive, record.compressedSize) != 0)
        return ExtractResult::DecompressFailed;

    // Renaming replaces a read-only file on this host; where the attributes
    // stand in the way, they are cleared and the rename tried once more.
    if (!platform().renameFile(fresh.path(), destination) &&
        (!platform().setAttributes(destination, old & 0xFFF8) ||
         !platform().renameFile(fresh.path(), destination)))
        return ExtractResult::DecompressFailed;
    fresh.release();
    return ExtractResult::Done;
}

}  // namespace kv::format
