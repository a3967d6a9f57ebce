#pragma once
// A fixture for the catalog and archiving tests: C: over a fresh folder with
// C:\Docs (the files), C:\Arch\backup.kvr (the archive) and C:\Work (the Work
// folder), a French locale, a fixed clock, the recording Ui and helpers to
// put files on disk as catalog rows. useFilesCache() puts the user's cache
// folder in C:\Cache, so that the runs keep a files cache.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/ArchiveFormat.h"
#include "engine/ArchiveRun.h"
#include "engine/Catalog.h"
#include "engine/CatalogReader.h"
#include "engine/Environment.h"
#include "engine/FilesCache.h"
#include "engine/OpenArchive.h"
#include "engine/RunOptions.h"
#include "platform/Platform.h"
#include "support/FaultPlatform.h"
#include "support/RecordingUi.h"
#include "support/ScopedEnv.h"

namespace kv::test {

class EngineRunFixture : public testing::Test {
  protected:
    static constexpr const char* Archive = "C:\\Arch\\backup.kvr";

    void SetUp() override {
        drives.makeFolder("C:\\Docs");
        drives.makeFolder("C:\\Arch");
        drives.makeFolder("C:\\Work");
        archive.path = Archive;
        options.workFolder = "C:\\Work\\";
        env.separators = LocaleSeparators::french();
        env.now = [] { return DateTime{2026, 12, 8, 10, 30, 0}; };
    }

    // The interactive run as the main window makes it: after a run that went
    // to its end the catalog is read again from the archive.
    ArchiveResult archiveAndReload() {
        const ArchiveResult result = ArchiveFiles(archive, options, env, ui);
        if (result.completed) LoadArchive(archive, ui);
        return result;
    }

    // A row as the add operations make it (EntryStatus New, nothing stored).
    static CatalogRow newRow(const std::string& fullPath,
                             const std::string& type = "Document texte") {
        CatalogRow row;
        const std::size_t cut = fullPath.rfind('\\');
        row.name = fullPath.substr(cut + 1);
        row.folder = fullPath.substr(0, cut + 1);
        row.typeName = type;
        row.status = New;
        return row;
    }

    // Writes the file and appends its row.
    void addFile(const std::string& fullPath, const std::string& content) {
        drives.writeFile(fullPath, content);
        archive.rows.push_back(newRow(fullPath));
    }

    // Three documents archived and the catalog read again, the Ui's record
    // emptied: a.txt (C:\Docs\a.txt, about 30 kB of lines, the first row),
    // b.txt and c.txt.
    void archiveThreeDocs() {
        std::string text;
        for (int i = 0; text.size() < 30000; ++i) text += "ligne " + std::to_string(i) + "\r\n";
        addFile("C:\\Docs\\a.txt", text);
        addFile("C:\\Docs\\b.txt", "beta");
        addFile("C:\\Docs\\c.txt", std::string(4000, 'c'));
        ASSERT_TRUE(archiveAndReload().clean());
        ui = test::RecordingUi();
    }

    // The runs keep a files cache in C:\Cache\korvelt\, and start as if a
    // few seconds later than now: a file the test has just written is one
    // whose times may vouch for its bytes.
    void useFilesCache() {
        drives.makeFolder("C:\\Cache");
        cacheHome = std::make_unique<ScopedEnv>("XDG_CACHE_HOME", drives.hostPath("C:\\Cache"));
        env.clockNs = [] { return wallClockNs() + int64_t(10) * 1000000000; };
    }
    std::string cachePath() const { return FilesCache::pathFor(Archive); }

    std::string bytesOf(const std::string& path) const { return drives.readFile(path); }

    // Puts other bytes in the archive the catalog was read from, as a damaged
    // disk gives them: the catalog's stamp follows, as no writer came between
    // (a run refuses to write over another writer's archive).
    void rewriteArchive(const std::string& bytes) {
        drives.writeFile(Archive, bytes);
        archive.catalogSource = ArchiveStampOf(Archive);
    }
    bool exists(const std::string& path) const { return platform().fileExists(path); }
    void remove(const std::string& path) const { platform().removeFile(path); }

    // The names in a folder of the drive, sorted.
    std::vector<std::string> namesIn(const std::string& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(drives.hostPath(folder)))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Nothing but the archive in its folder and nothing in the Work folder.
    void expectNoTemporaries() const {
        EXPECT_TRUE(namesIn("C:\\Work").empty());
        const std::vector<std::string> arch = namesIn("C:\\Arch");
        EXPECT_TRUE(arch.empty() || arch == std::vector<std::string>{"backup.kvr"});
    }

    // The entries of an archive with the raw bytes of each (record and payload).
    struct RawEntry {
        format::EntryRecord record;
        std::string bytes;
    };
    std::vector<RawEntry> entriesOf(const std::string& archive) const {
        const std::string all = bytesOf(archive);
        std::vector<RawEntry> entries;
        std::size_t at = format::HeaderSize;
        while (at + format::RecordSize <= all.size()) {
            format::RecordBlock block;
            std::copy_n(all.begin() + at, format::RecordSize, block.begin());
            RawEntry e{format::decodeRecord(block), {}};
            const std::size_t length = format::RecordSize + std::size_t(e.record.compressedSize);
            e.bytes = all.substr(at, length);
            entries.push_back(e);
            at += length;
        }
        return entries;
    }

    TempDrives drives;
    RecordingUi ui;
    OpenArchive archive;
    RunOptions options;
    Environment env;
    std::unique_ptr<ScopedEnv> cacheHome;
};

}  // namespace kv::test
