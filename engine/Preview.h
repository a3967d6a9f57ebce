#pragma once
// ExtractForPreview: the stored copy of one catalog row, decompressed into
// the Work folder for the viewer, without restoring it.
//
// The preview copy is a temporary of the Work folder (platform/TempFile.h:
// created exclusively as "~kvv<process id>-<n>" followed by the stored
// file's extension, so the viewer chooses text, RTF or picture as it would
// for the stored name): a file of the user's there is never overwritten or
// deleted. The copy lives as long as the PreviewCopy that owns it and is
// removed when that goes, on every path.

#include <optional>
#include <string>

#include "engine/Catalog.h"
#include "engine/OpenArchive.h"
#include "engine/RunOptions.h"
#include "platform/TempFile.h"
#include "util/Ui.h"

namespace kv {

class PreviewCopy {
  public:
    PreviewCopy(TempFile copy, std::string fileName)
        : copy_(std::move(copy)), fileName_(std::move(fileName)) {}

    const std::string& path() const { return copy_.path(); }   // the copy in the Work folder
    const std::string& fileName() const { return fileName_; }  // the stored file's own name

  private:
    TempFile copy_;
    std::string fileName_;
};

// Extracts the entry of row (found through its entry offset) into the Work
// folder. nullopt, after the message, when:
//   - no archive is open or its file does not exist (no message);
//   - the row has no entry offset (information "Le fichier < name > ne se
//     trouve pas dans l'archive");
//   - the archive lacks the signature (error "fichier non compatible avec
//     cette version du programme");
//   - the record at the offset belongs to another file (information, with
//     the full path);
//   - the payload runs past the end of the archive or is missing, or no
//     copy can be made in the Work folder (error "Impossible de
//     décompresser le fichier < name >").
// An entry that is not sound (format::CheckEntry) gives that error too, and
// the copy with what was decompressed is still returned, to be shown.
// A Work folder that no longer exists is replaced by DefaultWorkFolder first.
// The extraction reports no progress. Throws kv::Error when the archive cannot be opened.
std::optional<PreviewCopy> ExtractForPreview(const OpenArchive& archive, RunOptions& options,
                                             const CatalogRow& row, Ui& ui);

}  // namespace kv
