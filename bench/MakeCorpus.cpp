// kv_make_corpus FOLDER [MEGABYTES] [SEED]: fills FOLDER with a reproducible
// mix of files for the benchmarks: text, structured binary and already
// compressed data, small and large, in nested folders. The same seed and size
// always give the same files. Default: about 300 MB, seed 1.

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> words = {
    "sauvegarde", "archive",  "fichier", "dossier", "le",      "la",      "les",    "de",
    "des",        "un",       "une",     "et",      "en",      "pour",    "avec",   "dans",
    "copie",      "disque",   "lecteur", "données", "taille",  "date",    "heure",  "nom",
    "restaurer",  "comprimé", "rapport", "mars",    "lettre",  "facture", "client", "projet",
    "réunion",    "budget",   "année",   "numéro",  "adresse", "ville",   "été",    "hiver",
    "the",        "of",       "and",     "to",      "backup",  "file",    "folder", "value"};

std::string text(std::mt19937_64& rng, std::size_t size) {
    std::string out;
    out.reserve(size + 32);
    std::geometric_distribution<int> sentence(0.08);
    while (out.size() < size) {
        const int n = 3 + sentence(rng);
        for (int i = 0; i < n; ++i) {
            // Zipf-like: low indexes are more frequent.
            const std::size_t w =
                std::size_t(words.size() * std::pow(double(rng() % 10000) / 10000.0, 2.5));
            out += words[w];
            if (rng() % 23 == 0) out += std::to_string(rng() % 100000);
            out += (i + 1 == n) ? ".\r\n" : " ";
        }
    }
    out.resize(size);
    return out;
}

// Records with fixed fields and counters, tables of small integers and
// stretches of noise, the way executables and databases look.
std::string binary(std::mt19937_64& rng, std::size_t size) {
    std::string out;
    out.reserve(size + 4096);
    uint32_t counter = uint32_t(rng());
    while (out.size() < size) {
        switch (rng() % 3) {
            case 0:
                for (int i = 0; i < 64; ++i, ++counter) {
                    const uint32_t record[4] = {0x00465245u, counter, uint32_t(rng() % 256), 0};
                    out.append(reinterpret_cast<const char*>(record), sizeof record);
                }
                break;
            case 1:
                for (int i = 0; i < 1024; ++i) out += char(rng() % 16);
                break;
            default:
                for (int i = 0; i < 512; ++i) out += char(rng());
        }
    }
    out.resize(size);
    return out;
}

// Text deflated at level 9: what photos, archives and videos look like to a compressor.
std::string compressed(std::mt19937_64& rng, std::size_t size) {
    std::string out;
    while (out.size() < size) {
        const std::string plain = text(rng, 1 << 20);
        std::vector<unsigned char> packed(compressBound(uLong(plain.size())));
        uLongf length = uLongf(packed.size());
        compress2(packed.data(), &length, reinterpret_cast<const Bytef*>(plain.data()),
                  uLong(plain.size()), 9);
        out.append(reinterpret_cast<const char*>(packed.data()), length);
    }
    out.resize(size);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kv_make_corpus FOLDER [MEGABYTES] [SEED]\n");
        return 2;
    }
    const fs::path root = argv[1];
    const uint64_t target = (argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 300) * 1000000ull;
    std::mt19937_64 rng(argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1);

    fs::remove_all(root);
    const std::vector<fs::path> folders = {
        root / "Docs",   root / "Docs" / "Lettres",   root / "Docs" / "Comptes" / "2024",
        root / "Images", root / "Programmes" / "bin", root / "Programmes" / "data" / "old"};
    for (const auto& f : folders) fs::create_directories(f);

    // One large file of each kind (a fifth of the total between them), then files
    // from 100 bytes to a few MB until the total is reached.
    uint64_t total = 0;
    int index = 0;
    auto emit = [&](int kind, std::size_t size) {
        static const char* ext[] = {".txt", ".bin", ".jpg"};
        const fs::path& folder = folders[rng() % folders.size()];
        const std::string data = kind == 0   ? text(rng, size)
                                 : kind == 1 ? binary(rng, size)
                                             : compressed(rng, size);
        std::ofstream(folder / ("f" + std::to_string(index++) + ext[kind]), std::ios::binary)
            .write(data.data(), std::streamsize(data.size()));
        total += size;
    };
    const std::size_t large = std::size_t(target / 15);
    for (int kind = 0; kind < 3; ++kind) emit(kind, large);
    std::lognormal_distribution<double> sizes(10.5, 2.0);  // median ~36 KB
    while (total < target) {
        const auto size = std::size_t(std::clamp(sizes(rng), 100.0, 8e6));
        emit(int(rng() % 10 < 5 ? 0 : rng() % 2 + 1),
             std::min<std::size_t>(size, target - total + 100));
    }
    std::printf("%d files, %.1f MB in %s\n", index, total / 1e6, root.c_str());
    return 0;
}
