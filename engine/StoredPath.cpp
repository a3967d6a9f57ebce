#include "engine/StoredPath.h"

#include <cctype>

#include "engine/ArchiveFormat.h"
#include "text/Text.h"

namespace kv::format {

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

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

std::string storedPathProblem(const std::string& fullPath) {
    const std::size_t cut = fullPath.rfind('\\');
    EntryRecord record;
    record.folder = cut == std::string::npos ? std::string() : fullPath.substr(0, cut + 1);
    record.fileName = cut == std::string::npos ? fullPath : fullPath.substr(cut + 1);
    const EntryRecord back = decodeRecord(encodeRecord(record));
    if (text::toStored(record.fileName).size() > FileNameWidth) return "son nom dépasse 100 octets";
    if (text::toStored(record.folder).size() > FolderWidth) return "son dossier dépasse 250 octets";
    if (back.fileName != record.fileName || back.folder != record.folder)
        return "son nom ne se relirait pas à l'identique";
    if (!isSafeFileName(record.fileName))
        return "son nom contient un caractère que la restauration refuse (\\, / ou :)";
    if (!isDrivePath(record.folder)) return "son dossier n'est pas sur un lecteur";
    return {};
}

}  // namespace kv::format
