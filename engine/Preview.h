#pragma once
// ExtractForPreview: the stored copy of one catalog row, decompressed into
// the Work folder for the viewer, without restoring it.
//
// The preview copy gets a name of its own in the Work folder ("~kvv" and
// eight random hexadecimal digits, checked to be free, then the stored
// file's extension, so the viewer chooses text, RTF or picture as it would
// for the stored name): a file of the user's there is never overwritten or
// deleted. The copy lives as long as the PreviewCopy that owns it and is
// removed when that goes, on every path.

#include <optional>
#include <string>

#include "engine/Catalog.h"
#include "engine/Session.h"
#include "util/Ui.h"

namespace kv {

class PreviewCopy {
  public:
    PreviewCopy(std::string path, std::string fileName)
        : path_(std::move(path)), fileName_(std::move(fileName)) {}
    ~PreviewCopy();
    PreviewCopy(PreviewCopy&& other) noexcept
        : path_(std::move(other.path_)), fileName_(std::move(other.fileName_)) {
        other.path_.clear();
    }
    PreviewCopy& operator=(PreviewCopy&&) = delete;
    PreviewCopy(const PreviewCopy&) = delete;

    const std::string& path() const { return path_; }          // the copy in the Work folder
    const std::string& fileName() const { return fileName_; }  // the stored file's own name

  private:
    std::string path_;
    std::string fileName_;
};

// Extracts the entry of row (found through its sub-text 5) into the Work
// folder. nullopt, after the message, when:
//   - no archive is open or its file does not exist (no message);
//   - the row has no entry offset (information "Le fichier < name > ne se
//     trouve pas dans l'archive");
//   - the archive lacks the signature (error "fichier non compatible avec
//     cette version du programme");
//   - the record at the offset belongs to another file (information, with
//     the full path);
//   - the payload runs past the end of the archive or is missing (error
//     "Impossible de décompresser le fichier < name >").
// A payload that fails to decompress gives that error too, and the copy with
// what was decompressed is still returned, to be shown.
// A Work folder that no longer exists is replaced by DefaultWorkFolder first.
// session.gzip's progress handler is detached during the extraction and put
// back afterwards. Throws kv::Error when the archive cannot be opened.
std::optional<PreviewCopy> ExtractForPreview(Session& session, const CatalogRow& row, Ui& ui);

}  // namespace kv
