#include "engine/SfxBuilder.h"

#include <array>
#include <cstdint>
#include <exception>

#include "engine/ArchiveFormat.h"
#include "platform/Platform.h"
#include "util/FileRoutines.h"

namespace kv {

namespace {

const char* const BuildFailed = "Impossible de créer l'archive autoextractible!";

// Appends the archive and the trailer to the copied stub.
bool appendArchive(const std::string& archivePath, const std::string& outputPath) {
    auto output = platform().open(outputPath, OpenMode::ReadWrite);
    auto archive = platform().open(archivePath, OpenMode::Read);
    if (!output || !archive) return false;
    const int64_t stubSize = output->size();
    const int64_t archiveSize = archive->size();
    if (stubSize < 0 || stubSize > INT64_C(0xFFFFFFFF) || archiveSize < 0 ||
        !output->seek(stubSize))
        return false;
    bool ok = format::copyBytes(*archive, *output, archiveSize);
    const auto s = static_cast<uint32_t>(stubSize);
    const std::array<uint8_t, 4> trailer{uint8_t(s), uint8_t(s >> 8), uint8_t(s >> 16),
                                         uint8_t(s >> 24)};
    ok = ok && output->write(trailer.data(), trailer.size());
    archive->close();
    return output->close() && ok;
}

}  // namespace

std::string SfxOntoArchiveMessage(const std::string& outputPath) {
    const std::size_t cut = outputPath.rfind('\\');
    return "Le fichier < " + outputPath.substr(cut == std::string::npos ? 0 : cut + 1) +
           " > est l'archive elle-même,\rchoisissez un autre nom.";
}

std::string SfxStubPath() {
    return platform().programFolder() + "sfx.bin";
}

bool BuildSelfExtractor(const std::string& archivePath, const std::string& outputPath, Ui& ui) {
    if (archivePath.empty() || !platform().fileExists(archivePath)) return false;
    if (IsSameFile(archivePath, outputPath)) {
        ui.message(MessageKind::Error, SfxOntoArchiveMessage(outputPath));
        return false;
    }
    const std::string stub = SfxStubPath();
    if (!platform().fileExists(stub)) {
        ui.message(
            MessageKind::Warning,
            "Impossible de créer une archive autoextractible,\rle fichier sfx.bin est absent, "
            "réinstallez le programme\rafin de remédier à ce problème.");
        return false;
    }
    try {
        CopyFileContents(stub, outputPath);
    } catch (const std::exception&) {
        ui.message(MessageKind::Error, BuildFailed);
        return false;
    }
    if (!appendArchive(archivePath, outputPath)) {
        ui.message(MessageKind::Error, BuildFailed);
        return false;
    }
    platform().setExecutable(outputPath);
    ui.message(MessageKind::Information,
               "L'archive auto-extractible a été construite avec succès.");
    return true;
}

}  // namespace kv
