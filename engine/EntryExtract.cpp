#include "engine/EntryExtract.h"

#include "engine/EntryCheck.h"
#include "platform/TempFile.h"
#include "util/Error.h"

namespace kv::format {

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

}  // namespace

// The stored folder without its drive part: past "X:\", or past the two
// backslashes of a server folder (its server and share are kept).
std::string belowDriveOf(const std::string& folder) {
    if (folder.size() >= 2 && isSeparator(folder[0]) && isSeparator(folder[1]))
        return folder.substr(2);
    return folder.size() > 3 ? folder.substr(3) : std::string();
}

std::optional<std::string> destinationFolder(const EntryRecord& record, Placement placement,
                                             const std::string& chosenFolder) {
    if (!isSafeFileName(record.fileName)) return std::nullopt;
    const std::string belowDrive = belowDriveOf(record.folder);
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

ExtractResult extractPayload(File& archive, const EntryRecord& record, int64_t payloadStart,
                             const std::string& destinationFolder, TGzip& gzip) {
    // A damaged record writes nothing, not even an empty file.
    if (record.compressedSize <= 0 || !payloadFits(record, payloadStart, archive.size()))
        return ExtractResult::Damaged;
    auto inflated = [&](File& out) {
        const EntryCheck check = CheckEntry(archive, record, payloadStart, &out, &gzip);
        if (check.fault == EntryCheck::Fault::ReadError)
            throw Error("Erreur de lecture dans l'archive (fichier < " + record.fileName + " >)");
        return check.sound();
    };

    const std::string destination = destinationFolder + record.fileName;
    uint32_t old = platform().attributes(destination);
    if (old == attr::Invalid) {
        // Nothing to keep safe: the new file is made under its own name, and
        // removed again when the entry is not sound.
        if (std::unique_ptr<File> out = platform().open(destination, OpenMode::CreateNew)) {
            bool sound = false;
            try {
                sound = inflated(*out);
            } catch (...) {
                out->close();
                platform().removeFile(destination);
                throw;
            }
            if (out->close() && sound) return ExtractResult::Done;
            platform().removeFile(destination);
            return ExtractResult::DecompressFailed;
        }
        // Something took the name meanwhile: it is replaced like any other file.
        old = platform().attributes(destination);
        if (old == attr::Invalid) return ExtractResult::DecompressFailed;
    }
    if (old & attr::Directory) return ExtractResult::DecompressFailed;

    TempFile fresh(destinationFolder, TempFile::CopyStem);
    if (!fresh) return ExtractResult::DecompressFailed;
    const bool sound = inflated(fresh.file());
    if (!fresh.close() || !sound) return ExtractResult::DecompressFailed;

    // The old file's read-only, hidden and system attributes are cleared
    // first (a failure is ignored): the restored file takes the old one's
    // permissions, and is not read-only.
    if (old & ~attr::KeepWritable) platform().setAttributes(destination, old & attr::KeepWritable);
    return fresh.renameTo(destination) ? ExtractResult::Done : ExtractResult::DecompressFailed;
}

}  // namespace kv::format
