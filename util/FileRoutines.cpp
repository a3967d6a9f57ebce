#include "util/FileRoutines.h"

#include <filesystem>
#include <vector>

#include "platform/Platform.h"
#include "platform/TempFile.h"
#include "util/Error.h"

namespace kv {

namespace {

constexpr int64_t CopyMargin = 100;
constexpr int64_t CopyBlock = 65536;

// The path whose free space stands for the destination's drive.
std::string freeSpacePathFor(const std::string& destination) {
    char first = destination.empty() ? '\0' : destination[0];
    if (first >= 'A' && first <= 'Z') {
        if (destination.size() >= 3 && destination[1] == ':' && destination[2] == '\\')
            return destination;
        return std::string(1, first) + ":\\";
    }
    return std::string(1, platform().currentDrive()) + ":\\";
}

}  // namespace

std::string DefaultWorkFolder() {
    return platform().tempFolder();
}

int64_t DriveFreeBytes(const std::string& path) {
    return platform().freeBytes(freeSpacePathFor(path));
}

bool HasRoomForCopy(const std::string& source, const std::string& destination) {
    // The whole 64-bit size: an archive over 4 GiB must not pass as its low bits.
    int64_t size = 0;
    auto entries = platform().find(source, attr::FilesOnly);
    if (!entries.empty()) size = entries.front().size;
    int64_t free = DriveFreeBytes(destination);
    if (free < 0) return false;
    return size + CopyMargin < free;
}

bool IsSameFile(const std::string& a, const std::string& b) {
    const auto hostA = platform().toHost(a);
    const auto hostB = platform().toHost(b);
    if (!hostA || !hostB) return false;
    std::error_code error;
    const bool same = std::filesystem::equivalent(*hostA, *hostB, error);
    return error ? *hostA == *hostB : same;
}

void CopyFileContents(const std::string& source, const std::string& destination) {
    auto in = platform().open(source, OpenMode::Read);
    if (!in) throw Error("Impossible d'ouvrir le fichier " + source);
    if (IsSameFile(source, destination)) {
        in->close();
        throw Error("Impossible de copier le fichier " + source + " sur lui-même");
    }
    // Written beside the destination and put in its place only when whole: a
    // failure leaves an existing destination as it was.
    TempFile out = TempFile::beside(destination);
    if (!out) {
        in->close();
        throw Error("Impossible de créer le fichier " + destination);
    }
    std::vector<char> buffer(CopyBlock);
    for (;;) {
        int64_t got = in->read(buffer.data(), CopyBlock);
        if (got < 0) {
            in->close();
            throw Error("Erreur de lecture du fichier " + source);
        }
        if (got == 0) break;
        if (!out.file().write(buffer.data(), got)) {
            in->close();
            throw Error("Erreur d'écriture du fichier " + destination);
        }
    }
    in->close();
    if (!out.close() || !out.renameTo(destination))
        throw Error("Erreur d'écriture du fichier " + destination);
}

int64_t FileSizeOf(const std::string& path) {
    auto entries = platform().find(path, attr::FilesOnly);
    return entries.empty() ? 0 : entries.front().size;
}

bool IsDirectory(const std::string& path) {
    if (path.empty() || path.back() == '\\') return false;
    auto entries = platform().find(path, attr::AnyFile);
    return !entries.empty() && (entries.front().attributes & attr::Directory) != 0;
}

bool IsCdRomDrive(const std::string& rootPath) {
    return platform().driveType(rootPath) == DriveType::CdRom;
}

}  // namespace kv
