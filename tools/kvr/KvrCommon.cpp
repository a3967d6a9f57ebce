#include "tools/kvr/KvrCommon.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <utility>

#include "engine/ArchiveFormat.h"
#include "tools/kvr/ProgressLine.h"
#include "util/Error.h"

namespace kvr {

namespace {

// Windows paths of the arguments, and how the user typed them.
std::vector<std::pair<std::string, std::string>>& typedPaths() {
    static std::vector<std::pair<std::string, std::string>> paths;
    return paths;
}

// A character that may continue a path: a match followed by one names
// something else (a file inside a typed folder keeps its stored spelling).
bool continuesPath(char c) {
    return c == '\\' || c == '.' || c == '_' || c == '-' ||
           std::isalnum(static_cast<unsigned char>(c)) || (static_cast<unsigned char>(c) & 0x80);
}

std::string withTypedPaths(std::string text) {
    for (const auto& [windows, typed] : typedPaths()) {
        if (windows == typed || windows.empty()) continue;
        for (std::size_t at = 0; (at = text.find(windows, at)) != std::string::npos;) {
            const std::size_t end = at + windows.size();
            if (end < text.size() && continuesPath(text[end])) {
                at = end;
                continue;
            }
            text.replace(at, windows.size(), typed);
            at += typed.size();
        }
    }
    return text;
}

char hexDigit(unsigned value) {
    return "0123456789ABCDEF"[value & 0xF];
}

}  // namespace

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
    showPathAs(*converted, argument);
    return *converted;
}

void showPathAs(const std::string& windowsPath, const std::string& typed) {
    auto& paths = typedPaths();
    paths.emplace_back(windowsPath, typed);
    // The longest first, so that a folder does not take a part of its file's name.
    std::stable_sort(paths.begin(), paths.end(),
                     [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
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

ControlCharacter controlAt(const std::string& text, std::size_t at) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c < 0x20 || c == 0x7F) return {c, 1};
    // U+0080..U+009F: a terminal takes 0x9B (CSI) as the start of an escape sequence.
    if (c == 0xC2 && at + 1 < text.size()) {
        const auto next = static_cast<unsigned char>(text[at + 1]);
        if (next >= 0x80 && next <= 0x9F) return {next, 2};
    }
    return {};
}

std::string terminalSafe(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const ControlCharacter control = controlAt(text, i);
        if (control.length == 0) {
            out += text[i];
            continue;
        }
        out += control.length == 1 ? "\\x" : "\\u00";
        out += hexDigit(control.code >> 4);
        out += hexDigit(control.code);
        i += control.length - 1;
    }
    return out;
}

void printError(const std::string& text) {
    ProgressLine::eraseCurrent();
    std::string line = withTypedPaths(text);
    for (char& c : line)
        if (c == '\r') c = '\n';
    // The message's own line breaks stay; everything else a name may bring is shown safely.
    std::string safe;
    std::size_t start = 0;
    for (std::size_t end; (end = line.find('\n', start)) != std::string::npos; start = end + 1)
        safe += terminalSafe(line.substr(start, end - start)) + '\n';
    safe += terminalSafe(line.substr(start));
    std::cout.flush();
    std::cerr << safe << '\n';
}

CliUi::CliUi() = default;
CliUi::~CliUi() = default;

void CliUi::trackProgress(const std::vector<int64_t>& rowBytes) {
    if (!ProgressLine::wanted()) return;
    meter_.start(rowBytes);
    const kv::RunAmounts amounts = meter_.amounts();
    progress_ = std::make_unique<ProgressLine>(amounts.files, amounts.bytes);
    show();
}

void CliUi::endProgress() {
    progress_.reset();
}

kv::Answer CliUi::message(kv::MessageKind kind, const std::string& text, kv::Buttons buttons) {
    printError(std::string(kv::messageTitle(kind)) + " : " + text);
    // Nobody answers at a terminal: what would be lost is kept.
    if (buttons == kv::Buttons::YesAllNoCancel) return kv::Answer::No;
    const bool question = buttons == kv::Buttons::YesNo || buttons == kv::Buttons::YesNoCancel ||
                          buttons == kv::Buttons::YesCancel;
    return question ? kv::Answer::Yes : kv::Answer::Ok;
}

void CliUi::setOverallRange(int maximum) {
    // A run that counts its own rows (the restore) and was not told their sizes.
    if (!progress_ && ProgressLine::wanted()) {
        meter_.start(maximum);
        progress_ = std::make_unique<ProgressLine>(maximum, 0);
    } else if (progress_ && meter_.amounts().bytes == 0) {
        meter_.setFiles(maximum);
        progress_->setFiles(maximum);
    }
}

void CliUi::setOverall(int value) {
    meter_.setRow(value);
    show();
}

void CliUi::setFilePercent(int percent) {
    meter_.setPercent(percent);
    show();
}

void CliUi::show() {
    if (!progress_) return;
    const kv::RunAmounts amounts = meter_.amounts();
    progress_->update(amounts.filesDone, amounts.bytesDone);
}

}  // namespace kvr
