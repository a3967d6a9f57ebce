#include "util/TextListing.h"

#include <cstdio>
#include <memory>
#include <random>

#include "platform/Platform.h"

namespace kv {
namespace {

constexpr std::size_t kWriteChunk = 64 * 1024;

bool needsQuotes(std::string_view text) {
    return text.find_first_of(";\"\r\n") != std::string_view::npos;
}

// A new file beside target under a name no other file has: target + ".~" and
// eight random hexadecimal digits. The platform layer has no exclusive create
// yet, so a name is taken only when nothing answers to it; the random part
// keeps two runs (or two programs) from ever picking the same one.
std::unique_ptr<File> createTemporaryBeside(const std::string& target, std::string& path) {
    static std::mt19937 random{std::random_device{}()};
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".~%08x", static_cast<unsigned>(random()));
        path = target + suffix;
        if (platform().attributes(path) != attr::Invalid) continue;
        if (auto file = platform().open(path, OpenMode::Create)) return file;
        return nullptr;
    }
    return nullptr;
}

}  // namespace

std::string listingField(std::string_view text) {
    if (!needsQuotes(text)) return std::string(text);
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

void appendListingLine(std::string& out, const ListingFields& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += ';';
        if (needsQuotes(fields[i]))
            out += listingField(fields[i]);
        else
            out += fields[i];
    }
    out += "\r\n";
}

bool writeTextListing(const std::string& target, std::size_t rowCount,
                      const std::function<ListingFields(std::size_t)>& row) {
    const uint32_t attributes = platform().attributes(target);
    if (attributes != attr::Invalid && (attributes & (attr::ReadOnly | attr::Directory)))
        return false;
    std::string temporary;
    auto file = createTemporaryBeside(target, temporary);
    if (!file) return false;

    bool ok = true;
    try {
        std::string buffer;
        buffer.reserve(kWriteChunk + 1024);
        for (std::size_t i = 0; i < rowCount && ok; ++i) {
            appendListingLine(buffer, row(i));
            if (buffer.size() >= kWriteChunk) {
                ok = file->write(buffer.data(), static_cast<int64_t>(buffer.size()));
                buffer.clear();
            }
        }
        if (ok && !buffer.empty())
            ok = file->write(buffer.data(), static_cast<int64_t>(buffer.size()));
    } catch (...) {
        file->close();
        platform().removeFile(temporary);
        throw;
    }
    ok = file->close() && ok;
    if (ok) ok = platform().renameFile(temporary, target);
    if (!ok) platform().removeFile(temporary);
    return ok;
}

}  // namespace kv
