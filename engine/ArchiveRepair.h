#pragma once
// ArchiveRepair: the way out of an archive that has a damaged record or
// member. Such an archive loads only up to its damage and every update
// refuses to rewrite it; the repair writes a new archive holding every entry
// that still passes the soundness check (format::CheckEntry), in file order,
// and keeps the old file beside it.
//
// Finding the entries. The records are read as every reader reads them
// (format::ArchiveWalker). An entry is kept when its payload is a sound member
// of FileSize bytes and the chain of records goes on after it: the archive
// ends there, or a plausible record follows (a file name, a folder of a drive
// or a server, a payload inside the archive that starts as a gzip member), or
// a sound entry, however it is named. So an archive every entry of which is
// sound is found sound. Past
// a damaged entry, or a sound one after which the chain breaks, the bytes are
// searched for the next place where an entry reads back sound: wherever a
// gzip member starts, the record just before it is tried, and taken when it
// is plausible and its payload is a sound member. A sound entry whose payload
// runs over that next sound entry is not kept as it is: its CompressedSize is
// wrong. What lies between is taken record by record where records still name files
// (those the search met, and those that follow one another): an entry whose
// member, read up to where the next of them starts, is sound and of FileSize
// bytes had only a wrong CompressedSize, and is kept with that size corrected
// (and told). The rest is lost, and told: the entry that stood there when its
// record still names a file, else the unreadable bytes.
//
// Writing. Never in place, and only the way every archive is written: the
// writer lock is held from examine() to the end of write(); the header (as it
// was) and the kept entries (record and payload, byte for byte, but for a
// corrected CompressedSize) go into a temporary beside the archive, which is
// flushed to the disk, read back (every entry sound, the records chaining to
// its end) and only then takes the archive's name. The old file is renamed first, to backupPath():
// "nom.kvr.bak", or "nom.kvr.bak2", "nom.kvr.bak3" ... when that is taken.
//
//   ArchiveRepair repair(path);
//   if (repair.examine(ui) == ArchiveRepair::Finding::Damaged) {
//       ... repair.losses(), repair.corrections(), repair.kept(),
//           repair.backupPath() ...
//       repair.write(ui);
//   }

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/ArchiveFormat.h"
#include "platform/Platform.h"
#include "platform/WriterLock.h"
#include "util/Ui.h"

namespace kv {

// One stretch of the old archive that the repaired one does not hold.
struct RepairLoss {
    int64_t offset = 0;  // where it starts in the old archive
    int64_t length = 0;  // its bytes
    std::string path;    // the full path its record names; empty when none can be read
    std::string reason;  // what is wrong, in French

    // "< C:\Docs\a.txt > : CRC-32 incorrect", or for bytes without a readable
    // record "1234 octet(s) illisible(s) à la position 5678" (the reason
    // given instead when it says more, as for an archive cut inside a record).
    std::string text() const;
};

class ArchiveRepair {
  public:
    enum class Finding {
        Busy,          // another writer holds the archive: nothing was read
        Incompatible,  // not an archive of this format (format::IncompatibleMessage)
        Sound,         // every entry is sound and the records chain to the end:
                       // there is nothing to repair and nothing is written
        Damaged,       // losses() or corrections() is not empty: write() makes the
                       // repaired archive
        Stopped,       // ui.keepGoing() turned false: nothing was written
    };

    explicit ArchiveRepair(std::string archive);
    ~ArchiveRepair();
    ArchiveRepair(const ArchiveRepair&) = delete;
    ArchiveRepair& operator=(const ArchiveRepair&) = delete;

    // Takes the writer lock and reads the whole archive, checking every entry.
    // ui.pump() runs between entries; ui.keepGoing() is polled there and stops
    // the examination. Throws kv::Error when the archive cannot be opened or
    // read.
    Finding examine(Ui& ui);

    // After examine(): the entries the repaired archive holds, what is lost,
    // and the records corrected ("< path > : taille compressée corrigée").
    int kept() const { return static_cast<int>(kept_.size()); }
    const std::vector<RepairLoss>& losses() const { return losses_; }
    const std::vector<std::string>& corrections() const { return corrections_; }
    // The name the old archive is kept under.
    const std::string& backupPath() const { return backup_; }

    // After examine() found Damaged: writes the repaired archive (see above).
    // False when ui.keepGoing() turned false: nothing changed. Throws kv::Error
    // when it cannot be done (a read-only archive, no room or no new file in
    // its folder, a read or write error, a copy that does not read back
    // sound, a rename refused): the archive is then as it was, under its own
    // name, and no temporary is left.
    bool write(Ui& ui);

  private:
    // An entry the repaired archive holds: its bytes in the old archive, and
    // the record written in place of its own when that was corrected.
    struct Span {
        int64_t offset;
        int64_t length;
        std::optional<format::EntryRecord> corrected;
        int64_t payloadStart = 0;  // with corrected
    };
    struct Probe;

    // The record at a position (throws kv::Error on a read error).
    Probe probe(int64_t position);
    // The record at a position when it is plausible: it names a file, its
    // sizes are not negative and its payload lies inside the archive and
    // starts as a gzip member.
    std::optional<Probe> plausibleAt(int64_t position);
    // True when the entry at a position reads back sound, whatever its names.
    bool soundAt(int64_t position);
    // The offset of the first entry at or after from that reads back sound,
    // or the archive's size when there is none (or the user stopped); the
    // plausible records met on the way whose entries are damaged go to damaged.
    int64_t nextSoundEntry(int64_t from, Ui& ui, std::vector<int64_t>& damaged);
    // Pumps the window's events; false once ui.keepGoing() turned false.
    // Keeps the entry at position with its CompressedSize set to end at next,
    // when its record names a file and its member is sound read so.
    bool keepCorrected(int64_t position, int64_t next);
    // Counts [from, to) as lost, named by the record at from when it names a file.
    void lose(int64_t from, int64_t to);
    // Counts [from, to) as lost, one loss per entry whose record can be found
    // in it, except those keepCorrected() keeps.
    void loseStretch(int64_t from, int64_t to, const std::vector<int64_t>& damaged);
    bool goOn(Ui& ui);
    // Throws kv::Error unless copy reads back as the kept entries, all sound.
    void verifyCopy(File& copy) const;
    std::string freeBackupName() const;

    std::string archive_;
    std::unique_ptr<WriterLock> lock_;
    std::unique_ptr<File> file_;
    std::unique_ptr<format::ArchiveWalker> walk_;
    int64_t size_ = 0;
    format::HeaderBlock header_{};
    std::vector<Span> kept_;
    std::vector<RepairLoss> losses_;
    std::vector<std::string> corrections_;
    std::string backup_;
    bool stopped_ = false;
};

}  // namespace kv
