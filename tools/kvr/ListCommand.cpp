// kvr list [--json] ARCHIVE: one line per entry in file order,
// FileName;Folder;FileSize;CompressedSize;dd/mm/yyyy hh:nn;TypeName;entry offset
// with the text listing's quoting (util/TextListing.h) and control characters
// written "\xHH"; or, with --json, one JSON array of objects holding the
// same fields exactly.

#include <cstdio>
#include <iostream>

#include "engine/ArchiveFormat.h"
#include "tools/kvr/KvrCommon.h"
#include "util/Format.h"
#include "util/TextListing.h"

namespace kvr {

namespace {

constexpr const char* ListUsage = "Usage : kvr list [--json] ARCHIVE";

// A JSON string: quotes and backslashes escaped, every control character
// (C1 included, so that a name cannot drive a terminal) as \u00XX.
std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (const ControlCharacter control = controlAt(text, i); control.length > 0) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", control.code);
            out += escaped;
            i += control.length - 1;
            continue;
        }
        if (text[i] == '"' || text[i] == '\\') out += '\\';
        out += text[i];
    }
    return out + "\"";
}

// "yyyy-mm-ddThh:nn:ss", local time as stored; null when the stored date is none.
std::string jsonDate(int32_t fileDate) {
    const auto date = kv::fromDosDateTime(fileDate);
    if (!date) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "\"%04d-%02d-%02dT%02d:%02d:%02d\"", date->year, date->month,
                  date->day, date->hour, date->minute, date->second);
    return text;
}

std::string jsonEntry(const kv::format::EntryRecord& entry, int64_t offset) {
    return "{\"FileName\": " + jsonString(entry.fileName) +
           ", \"Folder\": " + jsonString(entry.folder) +
           ", \"FileSize\": " + std::to_string(entry.fileSize) +
           ", \"CompressedSize\": " + std::to_string(entry.compressedSize) +
           ", \"FileDate\": " + jsonDate(entry.fileDate) +
           ", \"TypeName\": " + jsonString(entry.typeName) +
           ", \"Offset\": " + std::to_string(offset) + "}";
}

std::string textEntry(const kv::format::EntryRecord& entry, int64_t offset) {
    const kv::LocaleSeparators separators;  // "/" and ":", the same in every locale
    std::string line;
    for (const std::string& field :
         {entry.fileName, entry.folder, std::to_string(entry.fileSize),
          std::to_string(entry.compressedSize), kv::formatDosDateTime(entry.fileDate, separators),
          entry.typeName}) {
        line += kv::listingField(terminalSafe(field));
        line += ';';
    }
    return line + std::to_string(offset) + '\n';
}

}  // namespace

int listCommand(const Args& args) {
    bool json = false;
    std::string archive;
    for (const std::string& arg : args) {
        if (arg == "--json" && !json) {
            json = true;
        } else if (archive.empty() && !arg.starts_with("--")) {
            archive = arg;
        } else {
            printError(ListUsage);
            return ExitUsage;
        }
    }
    if (archive.empty()) {
        printError(ListUsage);
        return ExitUsage;
    }
    const std::string path = windowsPath(archive);
    auto file = openArchive(path);

    kv::format::ArchiveWalker walk(*file);
    bool damaged = walk.fileSize() < kv::format::HeaderSize;
    if (damaged) printError("Archive tronquée : en-tête incomplet.");
    if (json) std::cout << '[';
    bool first = true;
    while (auto entry = walk.next()) {
        if (json) {
            std::cout << (first ? "\n  " : ",\n  ") << jsonEntry(*entry, walk.offset());
            first = false;
        } else {
            std::cout << textEntry(*entry, walk.offset());
        }
        if (!kv::format::payloadFits(*entry, walk.payloadStart(), walk.fileSize())) {
            printError(entry->fullPath() + " : contenu coupé par la fin de l'archive");
            damaged = true;
        }
    }
    // A damaged archive still gives a whole JSON document: the entries read.
    if (json) std::cout << (first ? "]\n" : "\n]\n");
    std::cout.flush();
    if (walk.failed()) {
        printError("Erreur de lecture du fichier < " + path + " >.");
        return ExitFailure;
    }
    if (walk.cutShort()) {
        printError("Archive tronquée : la dernière entrée est incomplète.");
        return ExitFailure;
    }
    return damaged ? ExitFailure : ExitOk;
}

}  // namespace kvr
