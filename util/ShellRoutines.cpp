#include "util/ShellRoutines.h"

#include "platform/Platform.h"
#include "text/Text.h"
#include "util/Ui.h"

namespace kv {

namespace {

// Longest file name or folder handed to the opener (a 255-byte buffer with its zero).
constexpr std::size_t LaunchNameLimit = 254;

}  // namespace

bool ShellRenameFile(const std::string& oldPath, const std::string& newPath) {
    if (!platform().fileExists(oldPath) && !platform().directoryExists(oldPath)) return false;
    if (platform().fileExists(newPath) || platform().directoryExists(newPath)) return false;
    return platform().renameFile(oldPath, newPath);
}

std::string GetShellFolder(const std::string& valueName) {
    return platform().shellFolder(valueName);
}

std::string ShortcutFileName(const std::string& shortcutName) {
    auto slash = shortcutName.rfind('\\');
    auto dot = shortcutName.rfind('.');
    bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    if (hasExtension && text::upper(shortcutName.substr(dot)) == ".LNK") return shortcutName;
    return shortcutName + ".lnk";
}

std::string ShortcutHostFileName(const std::string& shortcutName) {
    const std::string windowsName = ShortcutFileName(shortcutName);
    return windowsName.substr(0, windowsName.size() - 4) + ".desktop";
}

bool CreateShortcut(const std::string& target, const std::string& shortcutName) {
    return platform().writeShortcut(target, ShortcutHostFileName(shortcutName));
}

bool ShortcutExists(const std::string& shortcutName) {
    return platform().fileExists(ShortcutHostFileName(shortcutName)) ||
           platform().fileExists(ShortcutFileName(shortcutName));
}

bool DeleteShortcut(const std::string& shortcutName) {
    for (const std::string& path :
         {ShortcutHostFileName(shortcutName), ShortcutFileName(shortcutName)})
        if (platform().fileExists(path)) platform().removeFile(path);
    return !ShortcutExists(shortcutName);
}

std::string LaunchErrorText(int result, const std::string& file, const std::string& folder) {
    switch (result) {
        case launch::OutOfMemory:
        case launch::NotEnoughMemory:
            return "Mémoire insuffisante pour ouvrir le fichier " + file;
        case launch::FileNotFound:
            return "Impossible de trouver le fichier " + file;
        case launch::PathNotFound:
            return "Le chemin d'accès n'est pas valide " + folder;
        case launch::CannotStart:
            return "Le programme ne peut être lancé";
        case launch::AccessViolation:
            return "Violation d'accès";
        case launch::NoExtension:
        case launch::NoAssociation:
            return "Aucune extension n'est associée à ce fichier";
        case launch::DdeTimeout:
        case launch::DdeFailed:
        case launch::DdeRefused:
            return "La transaction DDE à échouée";
        case launch::DdeBusy:
            return "Une autre application DDE utilise ce fichier";
        default:
            return {};
    }
}

void LaunchDocument(Ui& ui, const std::string& file, const std::string& folder) {
    std::string f = text::utf8Cut(file, LaunchNameLimit);
    std::string d = text::utf8Cut(folder, LaunchNameLimit);
    int result = platform().openDocument(f, d);
    if (result > launch::LastFailure) return;
    std::string message = LaunchErrorText(result, f, d);
    if (!message.empty()) ui.message(MessageKind::Error, message, Buttons::Ok);
}

void ShowHelpPage(const std::string& page, bool helpAvailable, Ui& ui) {
    if (!helpAvailable) {
        ui.message(MessageKind::Warning, "Le fichier d'aide de Korvelt est introuvable",
                   Buttons::Ok);
        return;
    }
    std::string folder = platform().programFolder() + "Help";
    LaunchDocument(ui, folder + "\\" + page, folder);
}

}  // namespace kv
