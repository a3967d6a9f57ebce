#include "engine/HeaderUpdate.h"

#include <algorithm>

#include "engine/ArchiveFormat.h"
#include "platform/Platform.h"

namespace kv {

namespace {

// Header bytes the update rewrites: the signature (0 to 17), then the comment's
// length byte (19) and its text from 20. Byte 18 and the text area past the new
// length keep what the file held.
constexpr std::size_t SignatureBytes = 18;
constexpr std::size_t CommentLengthAt = 19;
constexpr std::size_t CommentTextAt = 20;

}  // namespace

bool WriteHeaderOnly(Session& session, Ui& ui) {
    auto refuse = [&ui] {
        ui.message(MessageKind::Error, "Impossible de modifier l'en-tête du fichier", Buttons::Ok);
        return false;
    };

    std::unique_ptr<File> file = platform().open(session.currentArchive, OpenMode::ReadWrite);
    if (!file) return refuse();
    format::HeaderBlock block;
    if (!format::readHeaderBlock(*file, block)) {
        file->close();
        return refuse();
    }
    if (!format::CheckSignature(block)) {
        file->close();
        ui.message(MessageKind::Error, format::IncompatibleMessage, Buttons::Ok);
        return false;
    }

    const format::HeaderBlock fresh =
        format::encodeHeader(format::Header{block[18], session.comment});
    const std::size_t length = fresh[CommentLengthAt];
    std::copy_n(fresh.begin(), SignatureBytes, block.begin());
    block[CommentLengthAt] = fresh[CommentLengthAt];
    std::copy_n(fresh.begin() + CommentTextAt, length, block.begin() + CommentTextAt);

    const bool written = file->seek(0) && file->write(block.data(), format::HeaderSize);
    if (!file->close() || !written) return refuse();
    ui.message(MessageKind::Information, "L'en-tête du fichier a été modifiée", Buttons::Ok);
    return true;
}

}  // namespace kv
