// Fuzz target: TMetafile::decode over one whole file. Every command it
// returns must refer only to points, counts, text and bitmaps it holds.

#include <cstdlib>

#include "codecs/TMetafile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kv::codecs::MetafilePicture picture;
    std::string error;
    if (!kv::codecs::TMetafile::decode(data, size, picture, error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    if (picture.width <= 0 || picture.height <= 0) std::abort();
    for (const auto& r : picture.records) {
        if (uint64_t(r.first) + r.count >
            (r.op == kv::codecs::MetaOp::Text || r.op == kv::codecs::MetaOp::CreateFont
                 ? picture.text.size()
                 : picture.points.size()))
            std::abort();
        if (uint64_t(r.firstPoly) + r.polys > picture.counts.size()) std::abort();
        if (r.image >= int32_t(picture.images.size())) std::abort();
    }
    return 0;
}
