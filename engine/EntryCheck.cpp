#include "engine/EntryCheck.h"

namespace kv::format {

std::string EntryCheck::text() const {
    switch (fault) {
        case Fault::None:
            return {};
        case Fault::NegativeSize:
            return "taille compressée négative";
        case Fault::PastEnd:
            return "contenu coupé par la fin de l'archive";
        case Fault::Empty:
            return "contenu vide";
        case Fault::Member:
            return MemberCodec::faultText(member);
        case Fault::SizeMismatch:
            return "taille différente de celle de l'entrée";
        case Fault::ReadError:
            return "erreur de lecture";
    }
    return {};
}

EntryCheck CheckEntry(File& archive, const EntryRecord& record, int64_t payloadStart, File* out,
                      const MemberCodec::Progress& progress) {
    EntryCheck check;
    const auto failed = [&check](EntryCheck::Fault fault) {
        check.fault = fault;
        return check;
    };
    if (record.compressedSize < 0) return failed(EntryCheck::Fault::NegativeSize);
    if (!payloadFits(record, payloadStart, archive.size()))
        return failed(EntryCheck::Fault::PastEnd);
    if (record.compressedSize == 0) return failed(EntryCheck::Fault::Empty);
    if (record.fileSize < 0) return failed(EntryCheck::Fault::SizeMismatch);
    if (!archive.seek(payloadStart)) return failed(EntryCheck::Fault::ReadError);

    const MemberCodec::MemberCheck member =
        MemberCodec::inflate(archive, record.compressedSize, out, record.fileSize, progress);
    check.length = member.length;
    if (member.fault == MemberCodec::MemberFault::TooLong)
        return failed(EntryCheck::Fault::SizeMismatch);
    if (member.fault != MemberCodec::MemberFault::None) {
        check.member = member.fault;
        return failed(EntryCheck::Fault::Member);
    }
    if (member.length != record.fileSize) return failed(EntryCheck::Fault::SizeMismatch);
    return check;
}

}  // namespace kv::format
