#include "util/PathHelpers.h"

#include "platform/Platform.h"
#include "text/Text.h"

namespace kv {

namespace {

char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool hasWildcard(const std::string& name) {
    return name.find_first_of("*?") != std::string::npos;
}

}  // namespace

int CountBackslashes(const std::string& path) {
    int n = 0;
    for (char c : path)
        if (c == '\\') ++n;
    return n;
}

std::string PathToLevel(const std::string& path, int n) {
    if (n < 1) return {};
    int seen = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\' && ++seen == n) return path.substr(0, i + 1);
    }
    return path;
}

std::string& AddBackslash(std::string& path) {
    if (!path.empty() && path.back() != '\\') path += '\\';
    return path;
}

std::string FileNameOf(const std::string& path) {
    const auto pos = path.rfind('\\');
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string FolderOf(const std::string& path) {
    const auto pos = path.rfind('\\');
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::string WithBackslash(std::string path) {
    AddBackslash(path);
    return path;
}

std::string RemoveBackslash(const std::string& path) {
    if (!path.empty() && path.back() == '\\') return path.substr(0, path.size() - 1);
    return path;
}

std::string OnDiskName(const std::string& path) {
    std::string p = RemoveBackslash(path);
    std::string name = FileNameOf(p);
    // A host name may hold * or ?, which the find call takes as wildcards: then
    // only an entry that is the same name in another case may replace it.
    auto entries = platform().find(p, attr::AnyFile);
    if (!entries.empty() && (!hasWildcard(name) || text::equalNoCase(entries.front().name, name)))
        name = entries.front().name;
    return name + "\\";
}

std::string ShellDisplayName(const std::string& path) {
    std::string p = RemoveBackslash(path);
    std::string name = FileNameOf(p);
    std::string shown = platform().displayName(p);
    if (!shown.empty()) name = shown;
    return name + "\\";
}

std::string NormalizePathCase(const std::string& path, bool useDisplayNames) {
    std::string p = RemoveBackslash(path);
    int n = CountBackslashes(p);
    if (n == 0) {
        if (!p.empty()) p[0] = upperAscii(p[0]);
        return p;
    }
    std::string result;
    result += upperAscii(p[0]);
    result += ":\\";
    AddBackslash(p);
    for (int k = 2; k <= n + 1; ++k) {
        std::string level = PathToLevel(p, k);
        result += useDisplayNames ? ShellDisplayName(level) : OnDiskName(level);
    }
    return RemoveBackslash(result);
}

DriveCaption DriveLabel(char letter) {
    char l = upperAscii(letter);
    std::string root = std::string(1, l) + ":\\";
    DriveCaption caption;
    std::string label;
    uint32_t serial = 0;
    if (platform().volumeInformation(root, label, serial)) {
        caption.text = label + " (" + l + ":)";
        caption.serial = serial;
    } else {
        caption.text = std::string("(") + l + ":)";
        caption.serial = -1;
    }
    DriveType type = platform().driveType(root);
    if (type == DriveType::Removable || type == DriveType::Remote)
        caption.text = RemoveBackslash(ShellDisplayName(root + "\\"));
    return caption;
}

int64_t DriveSerial(char letter) {
    std::string root = std::string(1, upperAscii(letter)) + ":\\";
    std::string label;
    uint32_t serial = 0;
    if (!platform().volumeInformation(root, label, serial)) return -1;
    return serial;
}

}  // namespace kv
