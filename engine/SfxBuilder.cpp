#include "engine/SfxBuilder.h"

#include <array>
#include <cstdint>

#include "engine/ArchiveFormat.h"
#include "platform/Platform.h"
#include "platform/TempFile.h"
#include "util/FileRoutines.h"

namespace kv {

namespace {

const char* const BuildFailed = "Impossible de créer l'archive autoextractible!";

// Appends the whole of a file to out; false when it cannot be read or out
// cannot take it. Its size, when given, receives the bytes appended.
bool appendFile(const std::string& path, File& out, int64_t* size = nullptr) {
    auto in = platform().open(path, OpenMode::Read);
    const int64_t length = in ? in->size() : -1;
    const bool ok = length >= 0 && format::copyBytes(*in, out, length);
    if (in) in->close();
    if (size) *size = length;
    return ok;
}

// Writes the stub, the archive and the trailer into a temporary beside the
// output and puts it in the output's place: a failure (a full disk, an
// unreadable archive) leaves an existing output as it was.
bool writeOutput(const std::string& stub, const std::string& archivePath,
                 const std::string& outputPath) {
    TempFile output = TempFile::beside(outputPath);
    if (!output) return false;
    int64_t stubSize = 0;
    bool ok = appendFile(stub, output.file(), &stubSize) && stubSize <= INT64_C(0xFFFFFFFF) &&
              appendFile(archivePath, output.file());
    const auto s = static_cast<uint32_t>(stubSize);
    const std::array<uint8_t, 4> trailer{uint8_t(s), uint8_t(s >> 8), uint8_t(s >> 16),
                                         uint8_t(s >> 24)};
    ok = ok && output.file().write(trailer.data(), trailer.size());
    return output.close() && ok && output.renameTo(outputPath);
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
    if (!writeOutput(stub, archivePath, outputPath)) {
        ui.message(MessageKind::Error, BuildFailed);
        return false;
    }
    platform().setExecutable(outputPath);
    ui.message(MessageKind::Information,
               "L'archive auto-extractible a été construite avec succès.");
    return true;
}

}  // namespace kv
