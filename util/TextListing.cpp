#include "util/TextListing.h"

#include "platform/Platform.h"
#include "platform/TempFile.h"

namespace kv {
namespace {

constexpr std::size_t kWriteChunk = 64 * 1024;

bool needsQuotes(std::string_view text) {
    return text.find_first_of(";\"\r\n") != std::string_view::npos;
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
    // Written beside the target and renamed over it only when complete: a
    // failure leaves the earlier file as it was. The temporary goes away on
    // every other path, exceptions included.
    TempFile fresh = TempFile::beside(target);
    if (!fresh) return false;
    File& file = fresh.file();

    bool ok = true;
    std::string buffer;
    buffer.reserve(kWriteChunk + 1024);
    for (std::size_t i = 0; i < rowCount && ok; ++i) {
        appendListingLine(buffer, row(i));
        if (buffer.size() >= kWriteChunk) {
            ok = file.write(buffer.data(), static_cast<int64_t>(buffer.size()));
            buffer.clear();
        }
    }
    if (ok && !buffer.empty()) ok = file.write(buffer.data(), static_cast<int64_t>(buffer.size()));
    ok = fresh.close() && ok;
    return ok && fresh.renameTo(target);
}

}  // namespace kv
