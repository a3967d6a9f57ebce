#pragma once
// The one exception type of Korvelt. Routines that meet an I/O failure they do
// not handle where it happens throw it; the command boundary (every GUI handler,
// kvr's main, the extractor stub's main) catches it and shows its message.

#include <stdexcept>
#include <string>

namespace kv {

class Error : public std::runtime_error {
  public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace kv
