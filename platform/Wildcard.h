#pragma once
// Windows wildcard matching as find-first does it on one file name: '*' any
// run of characters, '?' exactly one character, letters compared by the
// folding table of kv::text. "*" and "*.*" match every name (names without a
// dot included); a pattern ending in '.' also matches a name without a dot
// that matches the rest ("*." lists the names without an extension).

#include <string_view>

namespace kv {

bool hasWildcards(std::string_view pattern);
bool wildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace kv
