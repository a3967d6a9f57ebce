#pragma once
// A fixture for tests that start the built programs (kvr, sfx.bin): a fresh
// private host folder per test (the shared TempDrives) mapped as K: in this
// process and in the programs, the temporary folder in K:\Temp, and archives made entry by entry
// with the format module and the gzip stream, so that damaged ones can be written too.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/ArchiveFormat.h"
#include "platform/Platform.h"
#include "support/FaultPlatform.h"
#include "support/Members.h"

namespace kv::test {

namespace fs = std::filesystem;

inline std::string quote(const std::string& text) {
    return "'" + text + "'";
}

class KvrFixture : public testing::Test {
  public:
    struct Outcome {
        int status = -1;
        std::string out, err;
        std::string lastErrLine() const {
            std::string t = err;
            while (!t.empty() && t.back() == '\n') t.pop_back();
            return t.substr(t.rfind('\n') + 1);
        }
    };

    // One entry of a hand-made archive; the payload is content's gzip member
    // unless payload is given, and the sizes are the true ones unless given.
    struct Entry {
        Entry(std::string name, std::string bytes)
            : fileName(std::move(name)), content(std::move(bytes)) {}
        Entry& in(std::string storedFolder) {
            folder = std::move(storedFolder);
            return *this;
        }
        Entry& withPayload(std::string bytes) {
            payload = std::move(bytes);
            return *this;
        }
        Entry& withFileSize(int32_t size) {
            fileSize = size;
            return *this;
        }
        Entry& withCompressedSize(int32_t size) {
            compressedSize = size;
            return *this;
        }
        std::string folder = "K:\\Docs\\";
        std::string fileName;
        std::string content;
        std::optional<std::string> payload;
        std::optional<int32_t> fileSize;
        std::optional<int32_t> compressedSize;
    };

    void SetUp() override {
        const char* bin = std::getenv("KORVELT_BIN");
        ASSERT_NE(bin, nullptr) << "KORVELT_BIN names the program folder";
        bin_ = bin;
        root_ = drives_.add('K');
        fs::create_directories(root_ / "Temp");
        fs::create_directories(root_ / "Docs");
    }

    // The environment every program gets: K: on the test folder, P: on the
    // program folder, the temporary folder in K:\Temp, and the programs'
    // own folder (where sfx.bin lies) as their program folder.
    std::string environment() const {
        return "KORVELT_DRIVES=" + quote("K=" + root_.string() + ";P=" + bin_.string()) +
               " TMPDIR=" + quote((root_ / "Temp").string()) + " KORVELT_HOME=";
    }

    // Runs a program from root/cwd with that environment.
    Outcome run(const std::string& program, const std::string& arguments,
                const std::string& cwd = "") const {
        const fs::path dir = root_ / cwd;
        fs::create_directories(dir);
        const std::string out = (root_ / ("out-" + std::to_string(++runs_) + ".txt")).string();
        const std::string err = out + ".err";
        const std::string command = "cd " + quote(dir.string()) + " && " + environment() + " " +
                                    quote(program) + " " + arguments + " >" + quote(out) + " 2>" +
                                    quote(err);
        Outcome r;
        const int raw = std::system(command.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurpHost(out);
        r.err = slurpHost(err);
        fs::remove(out);
        fs::remove(err);
        return r;
    }
    Outcome kvr(const std::string& arguments) const {
        return run((bin_ / "kvr").string(), arguments);
    }

    void put(const std::string& relative, const std::string& bytes) const {
        const fs::path path = root_ / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string read(const std::string& relative) const { return slurpHost(root_ / relative); }
    bool exists(const std::string& relative) const { return fs::exists(root_ / relative); }
    static std::string slurpHost(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // Writes an archive of these entries at root/relative; returns the entry offsets.
    std::vector<int64_t> writeArchive(const std::string& relative,
                                      const std::vector<Entry>& entries) const {
        const auto header = format::encodeHeader({});
        std::string bytes(header.begin(), header.end());
        std::vector<int64_t> offsets;
        for (const Entry& e : entries) {
            const std::string payload = e.payload ? *e.payload : ourMember(e.content);
            format::EntryRecord record;
            record.folder = e.folder;
            record.fileName = e.fileName;
            record.fileDate = 0x5A210000;
            record.typeName = "Document";
            record.fileSize = e.fileSize.value_or(static_cast<int32_t>(e.content.size()));
            record.compressedSize = e.compressedSize.value_or(static_cast<int32_t>(payload.size()));
            offsets.push_back(static_cast<int64_t>(bytes.size()));
            const auto block = format::encodeRecord(record);
            bytes.append(block.begin(), block.end());
            bytes += payload;
        }
        put(relative, bytes);
        return offsets;
    }

    // The file names of an archive's entries, in file order (read by kvr list).
    std::vector<std::string> listed(const std::string& archive) const {
        std::vector<std::string> names;
        std::istringstream lines(kvr("list " + quote(archive)).out);
        for (std::string line; std::getline(lines, line);)
            names.push_back(line.substr(0, line.find(';')));
        return names;
    }

    // The names in a folder below root, sorted.
    std::vector<std::string> namesIn(const std::string& relative) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(root_ / relative))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::string counts(int stored, int carried, int leftOut) {
        return "Fichiers archivés : " + std::to_string(stored) +
               ", repris de l'archive : " + std::to_string(carried) +
               ", laissés de côté : " + std::to_string(leftOut);
    }

    TempDrives drives_;  // removed with everything in it, read-only files included
    fs::path bin_, root_;
    mutable int runs_ = 0;
};

}  // namespace kv::test
