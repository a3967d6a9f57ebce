#include "tools/kvr/KvrCommon.h"

#include <cctype>
#include <filesystem>
#include <iostream>

#include "engine/ArchiveFormat.h"
#include "util/Error.h"

namespace kvr {

std::string windowsPath(const std::string& argument) {
    if (argument.size() >= 3 && std::isalpha(static_cast<unsigned char>(argument[0])) &&
        argument[1] == ':' && argument[2] == '\\')
        return argument;
    std::optional<std::string> converted;
    if (!argument.empty()) {
        std::error_code error;
        const auto absolute = std::filesystem::absolute(argument, error).lexically_normal();
        if (!error) converted = kv::platform().toWindows(absolute.string());
    }
    if (!converted) throw kv::Error("Le chemin < " + argument + " > n'est sur aucun lecteur.");
    return *converted;
}

std::unique_ptr<kv::File> openArchive(const std::string& path) {
    if (!kv::platform().fileExists(path))
        throw kv::Error("Le fichier < " + path + " > n'existe pas.");
    auto file = kv::platform().open(path, kv::OpenMode::Read);
    if (!file) throw kv::Error("Impossible d'ouvrir le fichier < " + path + " >.");
    kv::format::HeaderBlock header;
    if (!kv::format::readHeaderBlock(*file, header))
        throw kv::Error("Erreur de lecture du fichier < " + path + " >.");
    if (!kv::format::CheckSignature(header)) throw kv::Error(kv::format::IncompatibleMessage);
    file->seek(kv::format::FirstEntryOffset);
    return file;
}

void printError(const std::string& text) {
    std::string line = text;
    for (char& c : line)
        if (c == '\r') c = '\n';
    std::cerr << line << '\n';
}

kv::Answer CliUi::message(kv::MessageKind kind, const std::string& text, kv::Buttons buttons) {
    printError(std::string(kv::messageTitle(kind)) + " : " + text);
    // Nobody answers at a terminal: what would be lost is kept.
    if (buttons == kv::Buttons::YesAllNoCancel) return kv::Answer::No;
    const bool question = buttons == kv::Buttons::YesNo || buttons == kv::Buttons::YesNoCancel ||
                          buttons == kv::Buttons::YesCancel;
    return question ? kv::Answer::Yes : kv::Answer::Ok;
}

}  // namespace kvr
