// Reads any bytes as a settings file, then sets values and checks what the
// settings class promises: a value reads back as written, a rewrite keeps every
// other line, and the written text parses to the same lines again.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "util/IniDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    kv::IniDocument doc = kv::IniDocument::parse(bytes);
    (void)doc.value("Window", "WidthSize");
    if (auto v = doc.value("List", "Tri")) (void)kv::parseIniInteger(*v);

    // Names and value taken from the input's tail, so odd names get tried too.
    std::string section = size > 4 ? std::string(bytes.substr(size - 4, 2)) : "Window";
    std::string key = size > 4 ? std::string(bytes.substr(size - 2, 2)) : "WidthSize";
    const size_t before = doc.lines().size();
    const std::string text = doc.serialize();
    if (doc.set(section, key, "1234")) {
        if (doc.value(section, key) != "1234") std::abort();
        if (doc.lines().size() > before + 2) std::abort();
    } else if (doc.serialize() != text) {
        std::abort();  // a refused write changes nothing
    }
    if (!doc.set("Application", "temporary", "C:\\Temp\\")) std::abort();
    if (doc.value("application", "TEMPORARY") != "C:\\Temp\\") std::abort();

    kv::IniDocument again = kv::IniDocument::parse(doc.serialize());
    if (again.lines() != doc.lines()) std::abort();
    return 0;
}
