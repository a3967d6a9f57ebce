// Examines any bytes as an archive to repair, as "Réparer l'archive" and kvr
// repair do (the examination only: writing is the archiving runs' way of
// writing, tested with them). An archive the walk finds whole and sound is
// never found damaged; a damaged one always says what is lost or corrected.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/ArchiveFormat.h"
#include "engine/ArchiveRepair.h"
#include "engine/EntryCheck.h"
#include "platform/Platform.h"

namespace {

// Answers nothing and never stops.
class SilentUi : public kv::Ui {
  public:
    kv::Answer message(kv::MessageKind, const std::string&, kv::Buttons) override {
        return kv::Answer::Ok;
    }
    void setLabel(kv::ProgressLabel, const std::string&) override {}
    void setOverallRange(int) override {}
    void setOverall(int) override {}
    void setFilePercent(int) override {}
    void pump() override {}
    bool cancelRequested() override { return false; }
    bool keepGoing() override { return true; }
};

// C: on a folder of this process's own, removed when it ends.
std::filesystem::path made;

const std::filesystem::path& folder() {
    if (made.empty()) {
        made = std::filesystem::temp_directory_path() /
               ("kv-fuzz-repair-" + std::to_string(::getpid()));
        std::filesystem::create_directories(made);
        std::filesystem::permissions(made, std::filesystem::perms::owner_all);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(made, ignored);
        });
        kv::Drive c;
        c.hostRoot = made.string();
        kv::setHostDriveMap({c});
    }
    return made;
}

// Entries of a walk that reads the whole file, every one sound; -1 otherwise.
int soundEntries(const std::string& path) {
    auto file = kv::platform().open(path, kv::OpenMode::Read);
    if (!file) std::abort();
    kv::format::HeaderBlock header;
    if (!kv::format::readHeaderBlock(*file, header) || !kv::format::CheckSignature(header) ||
        file->size() < kv::format::HeaderSize)
        return -1;
    kv::format::ArchiveWalker walk(*file);
    int entries = 0;
    while (auto record = walk.next()) {
        if (!kv::format::CheckEntry(*file, *record, walk.payloadStart()).sound()) return -1;
        ++entries;
    }
    return walk.problem().empty() ? entries : -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path host = folder() / "a.kvr";
    std::ofstream(host, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    const std::string path = "C:\\a.kvr";
    const int sound = soundEntries(path);

    SilentUi ui;
    kv::ArchiveRepair repair(path);
    using Finding = kv::ArchiveRepair::Finding;
    const Finding finding = repair.examine(ui);
    if (finding == Finding::Busy || finding == Finding::Stopped) std::abort();
    if (sound >= 0 && (finding != Finding::Sound || repair.kept() != sound)) std::abort();
    if (finding == Finding::Damaged && repair.losses().empty() && repair.corrections().empty())
        std::abort();
    for (const kv::RepairLoss& loss : repair.losses())
        if (loss.length < 0 || loss.offset < 0 || loss.offset + loss.length > int64_t(size) ||
            loss.text().empty())
            std::abort();
    return 0;
}
