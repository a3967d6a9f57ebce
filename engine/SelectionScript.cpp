#include "engine/SelectionScript.h"

#include "platform/Platform.h"
#include "platform/TempFile.h"
#include "text/Text.h"
#include "util/Error.h"
#include "util/PathHelpers.h"

namespace kv {

std::optional<FolderLine> splitFolderLine(const std::string& line) {
    std::size_t k = line.find("\\*.");
    if (k == std::string::npos) return std::nullopt;
    return FolderLine{line.substr(0, k), line.substr(k + 1)};
}

bool isBlankLine(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

std::vector<std::string> parseSelectionScript(std::string_view bytes) {
    const std::string decoded = text::decodeTextFile(bytes);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < decoded.size()) {
        std::size_t end = decoded.find_first_of("\r\n", start);
        if (end == std::string::npos) end = decoded.size();
        std::string_view line(decoded.data() + start, end - start);
        if (!isBlankLine(line)) lines.emplace_back(line);
        // CR LF is one line end; a bare CR or LF is one as well.
        if (end < decoded.size() && decoded[end] == '\r' && end + 1 < decoded.size() &&
            decoded[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> ReadSelectionScript(const std::string& path) {
    auto file = platform().open(path, OpenMode::Read);
    if (!file) throw Error("Impossible d'ouvrir le fichier " + path);
    std::string bytes;
    char buffer[16384];
    for (;;) {
        int64_t got = file->read(buffer, sizeof buffer);
        if (got < 0) throw Error("Erreur de lecture du fichier " + path);
        if (got == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    file->close();
    return parseSelectionScript(bytes);
}

std::string formatSelectionScript(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) bytes += line + "\r\n";
    return bytes;
}

void WriteSelectionScript(const std::string& path, const std::vector<std::string>& lines) {
    if (!ReplaceFileContents(path, formatSelectionScript(lines)))
        throw Error("Impossible d'écrire le fichier " + path);
}

}  // namespace kv
