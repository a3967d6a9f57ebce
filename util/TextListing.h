#pragma once
// The text listing of the catalog: one line per row, the six texts name,
// folder, size, compressed size, date and type joined by ";" (no separator at
// the end), each line ended by CR LF, UTF-8, no header line.
//
// A text that holds ";" is written between double quotes, with each double
// quote inside it doubled, so that a spreadsheet or any CSV reader with ";" as
// its delimiter splits the line back into the same six texts. So is a text that
// holds a double quote or a line end (names a Windows disk cannot hold, but
// this host can). Every other text is written as it stands.

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace kv {

// The six texts of one row, in listing order.
using ListingFields = std::array<std::string_view, 6>;

// One field as the listing writes it (quoted when it must be, see above).
std::string listingField(std::string_view text);

// Appends one whole line, CR LF included, to out.
void appendListingLine(std::string& out, const ListingFields& fields);

// Writes rowCount lines (row(i) gives the texts of line i) to target. The
// lines go to a new temporary file beside the target, which is renamed over the
// target only once every byte is written and the file closed; so on any
// failure the earlier file is left untouched and the temporary is removed.
// False on failure: the folder cannot take a new file, a write fails (a full
// disk), the target is read-only or a folder, or the rename fails.
bool writeTextListing(const std::string& target, std::size_t rowCount,
                      const std::function<ListingFields(std::size_t)>& row);

}  // namespace kv
