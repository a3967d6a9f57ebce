#pragma once
// Host path helpers shared by the files of the host implementation
// (HostPlatform*.cpp): pure text work on host paths, and stat that also
// answers for a dangling link. Not for use outside platform/.

#include <sys/stat.h>

#include <cctype>
#include <string>

namespace kv::hostpath {

inline bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

inline std::string joinHost(const std::string& base, const std::string& name) {
    if (base.empty() || base.back() == '/') return base + name;
    return base + "/" + name;
}

inline std::string baseName(const std::string& hostPath) {
    std::string p = hostPath;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const std::size_t at = p.rfind('/');
    return at == std::string::npos ? p : p.substr(at + 1);
}

inline std::string parentOf(const std::string& hostPath) {
    std::string p = hostPath;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const std::size_t at = p.rfind('/');
    if (at == std::string::npos) return ".";
    if (at == 0) return "/";
    return p.substr(0, at);
}

inline bool statFollow(const std::string& hostPath, struct stat& st) {
    return stat(hostPath.c_str(), &st) == 0 || lstat(hostPath.c_str(), &st) == 0;
}

inline std::string withBackslash(std::string path) {
    if (!path.empty() && path.back() != '\\') path += '\\';
    return path;
}

// "X:", "X:\" or "X:/" (any letter case): the drive letter, else 0.
inline char rootLetter(const std::string& rootPath) {
    if (rootPath.size() < 2 || rootPath.size() > 3 || rootPath[1] != ':') return 0;
    if (rootPath.size() == 3 && !isSeparator(rootPath[2])) return 0;
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(rootPath[0])));
    return (c >= 'A' && c <= 'Z') ? c : '\0';
}

}  // namespace kv::hostpath
