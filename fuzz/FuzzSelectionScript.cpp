// Reads any bytes as a selection script and checks what the script format
// promises: no line is blank or holds a line end, writing the lines and
// reading them again gives the same lines, and a folder line splits into a
// folder and a mask that give the line back.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/SelectionScript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = kv::parseSelectionScript(bytes);
    for (const std::string& line : lines) {
        if (kv::isBlankLine(line)) std::abort();
        if (line.find_first_of("\r\n") != std::string::npos) std::abort();
        if (const auto folder = kv::splitFolderLine(line)) {
            if (folder->folder + "\\" + folder->mask != line) std::abort();
            if (folder->mask.compare(0, 2, "*.") != 0) std::abort();
            if (folder->folder.find("\\*.") != std::string::npos) std::abort();
        }
    }
    const std::string written = kv::formatSelectionScript(lines);
    if (kv::parseSelectionScript(written) != lines) std::abort();
    return 0;
}
