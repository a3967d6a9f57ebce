#include "platform/UserFolders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/Platform.h"

namespace kv {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string withoutFinalSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// An XDG base folder: the variable when it is an absolute path, else the
// fallback below HOME; empty when neither can be told.
std::string baseFolder(const std::string& variable, const std::string& home, const char* fallback) {
    if (!variable.empty() && variable.front() == '/') return withoutFinalSlash(variable);
    if (home.empty() || home.front() != '/') return {};
    return withoutFinalSlash(home) + fallback;
}

// mkdir -p, the folders it makes 0700 (the base-directory rule for folders
// that hold a user's own settings). False when the folder is not there after.
bool makeFolders(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(path.substr(0, slash)))
        return false;
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

struct Chosen {
    std::string settings;  // Windows paths ending in a backslash
    std::string data;
};

Chosen chosenNow() {
    const std::string program = platform().programFolder();
    UserFolderInputs inputs;
    inputs.korveltHome = environment("KORVELT_HOME");
    if (const auto host = platform().toHost(program)) {
        inputs.programFolder = withoutFinalSlash(*host);
        inputs.programFolderWritable =
            ::faccessat(AT_FDCWD, inputs.programFolder.c_str(), W_OK, AT_EACCESS) == 0;
    }
    inputs.xdgConfigHome = environment("XDG_CONFIG_HOME");
    inputs.xdgDataHome = environment("XDG_DATA_HOME");
    inputs.home = environment("HOME");
    const UserFolderChoice choice = ChooseUserFolders(inputs);
    if (!choice.perUser || choice.settings.empty() || choice.data.empty())
        return {program, program};

    const auto windowsOf = [&](const std::string& host) -> std::string {
        makeFolders(host);
        const auto windows = platform().toWindows(host);
        if (!windows) return program;
        return windows->back() == '\\' ? *windows : *windows + '\\';
    };
    return {windowsOf(choice.settings), windowsOf(choice.data)};
}

}  // namespace

UserFolderChoice ChooseUserFolders(const UserFolderInputs& inputs) {
    if (!inputs.korveltHome.empty()) {
        const std::string home = withoutFinalSlash(inputs.korveltHome);
        return {home, home, false};
    }
    if (inputs.programFolderWritable) return {inputs.programFolder, inputs.programFolder, false};
    UserFolderChoice choice;
    choice.perUser = true;
    const std::string config = baseFolder(inputs.xdgConfigHome, inputs.home, "/.config");
    const std::string data = baseFolder(inputs.xdgDataHome, inputs.home, "/.local/share");
    if (!config.empty()) choice.settings = config + "/korvelt";
    if (!data.empty()) choice.data = data + "/korvelt";
    return choice;
}

std::string SettingsFolder() {
    return chosenNow().settings;
}

std::string ScriptFolder() {
    return chosenNow().data + "Script\\";
}

}  // namespace kv
