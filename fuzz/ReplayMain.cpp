// Replays a fuzz target's seed corpus without libFuzzer: each file named on
// the command line, or each file of each folder named there, is handed once to
// LLVMFuzzerTestOneInput. Built into the ordinary test build, so an input that
// once crashed a parser and was added to the seeds keeps being checked.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace {

bool replay(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int replayed = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const fs::path path(argv[i]);
        if (fs::is_directory(path)) {
            for (const auto& entry : fs::directory_iterator(path))
                if (entry.is_regular_file()) ok = replay(entry.path()) && ok, ++replayed;
        } else {
            ok = replay(path) && ok;
            ++replayed;
        }
    }
    std::printf("%d input(s) replayed\n", replayed);
    return ok && replayed > 0 ? 0 : 1;
}
