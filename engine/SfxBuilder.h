#pragma once
// BuildSelfExtractor: turns an archive into a self-extracting program. The
// output is the extractor stub "sfx.bin" of the program folder, unchanged,
// then the whole archive file, then the stub's size as 4 bytes little-endian
// (the offset at which the stub finds the archive's header).

#include <string>

#include "util/Ui.h"

namespace kv {

// The stub's path: the program folder + "sfx.bin".
std::string SfxStubPath();

// "Le fichier < name > est l'archive elle-même,\rchoisissez un autre nom." (name
// without folder): the output that would destroy the archive it is built from.
std::string SfxOntoArchiveMessage(const std::string& outputPath);

// Builds outputPath from the stub and archivePath; an existing output is
// replaced (the caller has asked), keeping its permissions. The output is
// written as a temporary beside it and put in its place when whole
// (TempFile::renameTo), so a failure leaves an existing output as it was and
// nothing behind. On this host the output is also made executable.
//
// Returns true on success, after the information "L'archive auto-extractible a
// été construite avec succès.". Returns false without a message when
// archivePath is empty or names no file; false after SfxOntoArchiveMessage
// (error), writing nothing, when outputPath is the archive itself (IsSameFile);
// false after a warning when the stub
// is missing; false after the error "Impossible de créer l'archive
// autoextractible!" when the output is read-only or cannot be written, or the
// stub or the archive cannot be read. Never throws.
bool BuildSelfExtractor(const std::string& archivePath, const std::string& outputPath, Ui& ui);

}  // namespace kv
