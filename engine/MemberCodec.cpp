#include "engine/MemberCodec.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

#include "engine/ArchiveFormat.h"
#include "platform/HostMemory.h"
#include "platform/Platform.h"

namespace kv {

namespace {

constexpr uInt BufferSize = 16384;
constexpr int WindowBits = -15;  // raw deflate: the gzip framing is ours
constexpr int MemoryLevel = 8;

constexpr uint8_t FlagHeaderCrc = 0x02;
constexpr uint8_t FlagExtra = 0x04;
constexpr uint8_t FlagName = 0x08;
constexpr uint8_t FlagComment = 0x10;
constexpr uint8_t FlagReserved = 0xE0;

// Members whose data are at most WholeSize bytes are inflated whole in
// memory; all the whole inflations under way at once hold at most WholeBudget
// bytes of buffers, whatever the number of threads: one that would pass it
// waits for the others. It never falls back to the stream for want of room,
// so which decoder checks a member depends on the member alone.
constexpr int64_t WholeSize = int64_t(8) << 20;
// Room for two of the largest at once, so that a check started from the
// progress events of another one on the same thread never waits for it.
constexpr int64_t WholeBudget = int64_t(34) << 20;
// The data of a whole inflation are written to out, and counted, this much at a time.
constexpr int64_t WholeChunk = int64_t(256) << 10;
// Inputs of at most this size are compressed whole, in memory, by libdeflate
// (within the same budget as the whole inflations); larger ones go through
// the zlib stream.
constexpr int64_t WholeCompressSize = int64_t(8) << 20;

// A share of WholeBudget, held while it lives.
class WholeBuffers {
  public:
    explicit WholeBuffers(int64_t bytes) : bytes_(bytes) {
        std::unique_lock lock(mutex_);
        freed_.wait(lock, [bytes] { return inUse_ + bytes <= WholeBudget; });
        inUse_ += bytes;
    }
    ~WholeBuffers() {
        {
            std::lock_guard lock(mutex_);
            inUse_ -= bytes_;
        }
        freed_.notify_all();
    }
    WholeBuffers(const WholeBuffers&) = delete;
    WholeBuffers& operator=(const WholeBuffers&) = delete;

  private:
    static inline std::mutex mutex_;
    static inline std::condition_variable freed_;
    static inline int64_t inUse_ = 0;
    int64_t bytes_;
};

struct FreeDecompressor {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};
struct FreeCompressor {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

using MemberFault = MemberCodec::MemberFault;
using MemberCheck = MemberCodec::MemberCheck;

void putLe32(uint8_t* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The deflate side: one z_stream, ended on every path, and one output buffer
// that goes to the destination only when full (and at the finish).
class Deflater {
  public:
    Deflater() {
        ok_ = deflateInit2(&z_, MemberCodec::Level, Z_DEFLATED, WindowBits, MemoryLevel,
                           MemberCodec::Strategy) == Z_OK;
        z_.next_out = out_.data();
        z_.avail_out = BufferSize;
    }
    ~Deflater() {
        if (ok_) deflateEnd(&z_);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    bool ok() const { return ok_; }

    // Bytes that go out ahead of the deflate data (the member header).
    bool putRaw(File& out, const uint8_t* data, std::size_t count) {
        while (count > 0) {
            const std::size_t n = std::min<std::size_t>(count, z_.avail_out);
            std::copy(data, data + n, z_.next_out);
            z_.next_out += n;
            z_.avail_out -= static_cast<uInt>(n);
            data += n;
            count -= n;
            if (z_.avail_out == 0 && !writeFull(out)) return false;
        }
        return true;
    }

    // Hands the bytes to the compressor. False when it could not take them all
    // (a write of a full buffer failed, or the stream broke).
    bool feed(File& out, const uint8_t* data, std::size_t count) {
        z_.next_in = const_cast<Bytef*>(data);
        z_.avail_in = static_cast<uInt>(count);
        for (;;) {
            if (deflate(&z_, Z_NO_FLUSH) == Z_STREAM_ERROR) return false;
            if (z_.avail_out != 0) return z_.avail_in == 0;
            if (!writeFull(out)) return false;
        }
    }

    // Flushes the compressor to the end of the deflate stream, then writes the
    // rest of the buffer.
    bool finish(File& out) {
        if (!ok_) return false;
        z_.next_in = nullptr;
        z_.avail_in = 0;
        for (;;) {
            const int r = deflate(&z_, Z_FINISH);
            if (r == Z_STREAM_ERROR) return false;
            if (z_.avail_out == 0) {
                if (!writeFull(out)) return false;
                continue;
            }
            if (r != Z_STREAM_END) return false;
            const std::size_t pending = BufferSize - z_.avail_out;
            return pending == 0 || out.write(out_.data(), static_cast<int64_t>(pending));
        }
    }

  private:
    bool writeFull(File& out) {
        const bool written = out.write(out_.data(), BufferSize);
        z_.next_out = out_.data();
        z_.avail_out = BufferSize;
        return written;
    }

    z_stream z_{};
    bool ok_ = false;
    std::array<uint8_t, BufferSize> out_;  // filled before use
};

// The inflate side: reads at most `limit` bytes of input, parses a member
// header, inflates in 16384-byte output chunks and checks the trailer against
// the data produced.
class MemberReader {
  public:
    enum class Start { Member, NotMember, Fault };

    MemberReader(File& in, int64_t limit) : in_(in), left_(limit) {
        ok_ = inflateInit2(&z_, WindowBits) == Z_OK;
    }
    ~MemberReader() {
        if (ok_) inflateEnd(&z_);
    }
    MemberReader(const MemberReader&) = delete;
    MemberReader& operator=(const MemberReader&) = delete;

    Start start() {
        const int b1 = byte();
        if (b1 != 0x1F || byte() != 0x8B) return notMember();
        headerCrc_ = crc32(0, nullptr, 0);
        const uint8_t magic[2] = {0x1F, 0x8B};
        headerCrc_ = crc32(headerCrc_, magic, 2);
        const int method = headerByte();
        const int flags = headerByte();
        if (method != 8 || flags < 0 || (flags & FlagReserved)) return fail(MemberFault::BadHeader);
        for (int i = 0; i < 6; ++i)  // MTIME, XFL, OS
            if (headerByte() < 0) return fail(MemberFault::BadHeader);
        if (flags & FlagExtra) {
            const int lo = headerByte();
            const int hi = headerByte();
            if (hi < 0) return fail(MemberFault::BadHeader);
            for (int n = lo | (hi << 8); n > 0; --n)
                if (headerByte() < 0) return fail(MemberFault::BadHeader);
        }
        for (uint8_t field : {FlagName, FlagComment}) {
            if (!(flags & field)) continue;
            int c;
            while ((c = headerByte()) > 0) {
            }
            if (c < 0) return fail(MemberFault::BadHeader);
        }
        if (flags & FlagHeaderCrc) {
            const uint32_t expected = headerCrc_ & 0xFFFF;
            const int lo = byte();
            const int hi = byte();
            if (hi < 0 || uint32_t(lo | (hi << 8)) != expected) return fail(MemberFault::BadHeader);
        }
        if (!ok_) return fail(MemberFault::DamagedData);
        dataCrc_ = crc32(0, nullptr, 0);
        return Start::Member;
    }

    // The next chunk of output: its size (>0) with data pointing at it; 0 at the
    // end of a sound member; -1 on a fault (fault() says which). Data produced
    // before a fault is delivered first.
    int64_t next(const uint8_t*& data) {
        if (pending_ != MemberFault::None) {
            fault_ = pending_;
            pending_ = MemberFault::None;
        }
        if (fault_ != MemberFault::None) return -1;
        if (ended_) {
            if (!trailerChecked_) checkTrailer();
            return fault_ == MemberFault::None ? 0 : -1;
        }
        z_.next_out = out_.data();
        z_.avail_out = BufferSize;
        while (z_.avail_out > 0) {
            if (z_.avail_in == 0 && !fill()) {
                pending_ = readError_ ? MemberFault::ReadError : MemberFault::Truncated;
                break;
            }
            const int r = inflate(&z_, Z_NO_FLUSH);
            if (r == Z_STREAM_END) {
                ended_ = true;
                break;
            }
            if (r != Z_OK && r != Z_BUF_ERROR) {
                pending_ = MemberFault::DamagedData;
                break;
            }
        }
        const uInt produced = BufferSize - z_.avail_out;
        dataCrc_ = crc32(dataCrc_, out_.data(), produced);
        length_ += produced;
        data = out_.data();
        if (produced > 0) return produced;
        return next(data);
    }

    MemberFault fault() const { return fault_; }
    int64_t length() const { return length_; }
    int64_t inputRead() const { return read_; }

  private:
    bool fill() {
        if (left_ <= 0) return false;
        const int64_t n = in_.read(in_buf_.data(), std::min<int64_t>(BufferSize, left_));
        if (n <= 0) {
            readError_ = n < 0;
            left_ = 0;
            return false;
        }
        left_ -= n;
        read_ += n;
        z_.next_in = in_buf_.data();
        z_.avail_in = static_cast<uInt>(n);
        return true;
    }

    int byte() {
        if (z_.avail_in == 0 && !fill()) return -1;
        --z_.avail_in;
        return *z_.next_in++;
    }

    int headerByte() {
        const int c = byte();
        if (c >= 0) {
            const uint8_t b = static_cast<uint8_t>(c);
            headerCrc_ = crc32(headerCrc_, &b, 1);
        }
        return c;
    }

    Start notMember() { return readError_ ? fail(MemberFault::ReadError) : Start::NotMember; }

    Start fail(MemberFault fault) {
        fault_ = readError_ ? MemberFault::ReadError : fault;
        return Start::Fault;
    }

    void checkTrailer() {
        trailerChecked_ = true;
        uint8_t t[MemberCodec::TrailerSize];
        for (uint8_t& b : t) {
            const int c = byte();
            if (c < 0) {
                fault_ = readError_ ? MemberFault::ReadError : MemberFault::Truncated;
                return;
            }
            b = static_cast<uint8_t>(c);
        }
        if (format::littleEndian32(t) != dataCrc_)
            fault_ = MemberFault::CrcMismatch;
        else if (format::littleEndian32(t + 4) != static_cast<uint32_t>(length_))
            fault_ = MemberFault::LengthMismatch;
    }

    File& in_;
    int64_t left_;
    int64_t read_ = 0;
    z_stream z_{};
    bool ok_ = false;
    bool readError_ = false;
    bool ended_ = false;
    bool trailerChecked_ = false;
    // A fault met while producing a chunk becomes the fault once that chunk is out.
    MemberFault pending_ = MemberFault::None;
    MemberFault fault_ = MemberFault::None;
    uLong headerCrc_ = 0;
    uLong dataCrc_ = 0;
    int64_t length_ = 0;
    std::array<uint8_t, BufferSize> in_buf_;  // filled before use
    std::array<uint8_t, BufferSize> out_;     // filled before use
};

// The progress reports of one call, counted in input bytes against inputSize.
class ProgressReports {
  public:
    ProgressReports(const MemberCodec::Progress& progress, int64_t inputSize)
        : progress_(progress), size_(inputSize) {
        if (progress_) progress_(0);
    }

    void advance(int64_t inputRead) {
        if (!progress_ || size_ <= 0 || ended_) return;
        const double p = double(inputRead) / double(size_) * 100.0;
        const bool atEnd = inputRead >= size_;
        if (MemberCodec::ProgressStep + percent_ <= p || atEnd) {
            percent_ = std::min(100, static_cast<int>(p));
            ended_ = atEnd;
            progress_(percent_);
        }
    }

  private:
    const MemberCodec::Progress& progress_;
    int64_t size_;
    int percent_ = 0;
    bool ended_ = false;
};

// inflate of a member whose data fit in maxLength bytes, in memory; nullopt,
// with in back where it was, when the member is not one to be read so or
// libdeflate does not accept it.
std::optional<MemberCheck> inflateWhole(File& in, int64_t count, File* out, int64_t maxLength,
                                        const MemberCodec::Progress& progress) {
    // The smallest member is 20 bytes. A member much larger than its data is
    // left to the streaming reader, which stops as soon as the data pass
    // maxLength, so a small record over a huge payload costs nothing.
    constexpr int64_t Framing = MemberCodec::HeaderSize + MemberCodec::TrailerSize;
    if (maxLength < 0 || maxLength > WholeSize || count < 20 ||
        count > maxLength + maxLength / 1024 + 64 + Framing)
        return std::nullopt;
    const int64_t start = in.position();
    if (start < 0) return std::nullopt;
    const WholeBuffers budget(count + maxLength + 1);
    thread_local const std::unique_ptr<libdeflate_decompressor, FreeDecompressor> inflater(
        libdeflate_alloc_decompressor());
    if (!inflater) return std::nullopt;

    // Straight from the host: given back as soon as the check ends, whatever
    // thread made it.
    const HostMemory input(static_cast<std::size_t>(count));
    const HostMemory data(static_cast<std::size_t>(maxLength));
    if (!input || !data) return std::nullopt;
    std::size_t length = 0;
    // Only the header we write (no name, no time, no flag at all) is taken
    // here: the streaming reader checks what the flags add.
    const bool whole =
        format::readFully(in, input.data(), count) == count && input.data()[0] == 0x1F &&
        input.data()[1] == 0x8B && input.data()[2] == 8 && input.data()[3] == 0 &&
        libdeflate_gzip_decompress_ex(inflater.get(), input.data(), static_cast<std::size_t>(count),
                                      data.data(), static_cast<std::size_t>(maxLength), nullptr,
                                      &length) == LIBDEFLATE_SUCCESS;
    if (!whole) {
        if (!in.seek(start)) {
            MemberCheck check;
            check.fault = MemberFault::ReadError;
            return check;
        }
        return std::nullopt;
    }

    MemberCheck check;
    ProgressReports reports(progress, count);
    const int64_t total = static_cast<int64_t>(length);
    for (int64_t done = 0; done < total;) {
        const int64_t n = std::min(WholeChunk, total - done);
        if (out && !out->write(data.data() + done, n)) {
            check.fault = MemberFault::WriteError;
            break;
        }
        done += n;
        check.length = done;
        reports.advance(done == total ? count : count * done / total);
    }
    if (total == 0) reports.advance(count);
    return check;
}

// The header of every member made.
constexpr uint8_t MemberHeader[MemberCodec::HeaderSize] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 0};

// The input of a compression read into data, to its end or until data is
// full (one byte past the size the input said: it grew since); compressed
// counts and sums what was read. False on a read error.
bool readWhole(File& in, const HostMemory& data, ProgressReports& reports,
               MemberCodec::Compressed& compressed) {
    uLong crc = crc32(0, nullptr, 0);
    const int64_t room = static_cast<int64_t>(data.size());
    while (compressed.length < room) {
        // In the stream's blocks, so that progress comes as it does there.
        const int64_t n = in.read(data.data() + compressed.length,
                                  std::min<int64_t>(BufferSize, room - compressed.length));
        if (n < 0) return false;
        if (n == 0) break;
        crc = crc32(crc, data.data() + compressed.length, static_cast<uInt>(n));
        compressed.length += n;
        reports.advance(compressed.length);
    }
    compressed.crc = static_cast<uint32_t>(crc);
    return true;
}

// The member header and the deflate data of count bytes, deflated in one
// call by libdeflate at the codec's level, written to out.
bool deflateWhole(const uint8_t* data, int64_t count, File& out) {
    // No data: the one empty fixed-Huffman final block, as zlib writes it
    // (libdeflate would write an empty stored block, three bytes longer).
    static constexpr uint8_t EmptyBlock[2] = {0x03, 0x00};
    if (count == 0)
        return out.write(MemberHeader, MemberCodec::HeaderSize) && out.write(EmptyBlock, 2);
    thread_local const std::unique_ptr<libdeflate_compressor, FreeCompressor> deflater(
        libdeflate_alloc_compressor(MemberCodec::Level));
    if (!deflater) return false;
    const std::size_t bound =
        libdeflate_deflate_compress_bound(deflater.get(), static_cast<std::size_t>(count));
    const HostMemory packed(bound);
    if (!packed) return false;
    const std::size_t length = libdeflate_deflate_compress(
        deflater.get(), data, static_cast<std::size_t>(count), packed.data(), bound);
    return length > 0 && out.write(MemberHeader, MemberCodec::HeaderSize) &&
           out.write(packed.data(), static_cast<int64_t>(length));
}

}  // namespace

static_assert(MemberCodec::Strategy == Z_DEFAULT_STRATEGY);

MemberCodec::Compressed MemberCodec::compress(File& in, File& out, const Progress& progress) {
    ProgressReports reports(progress, in.size());
    Compressed result;
    const auto failed = [&result](CompressFault fault) {
        result.fault = fault;
        return result;
    };
    // An input small enough is read and deflated whole, its buffers counted
    // in the budget of the whole inflations.
    const int64_t size = in.size();
    std::optional<WholeBuffers> budget;
    std::optional<HostMemory> whole;
    if (size >= 0 && size <= WholeCompressSize) {
        budget.emplace(size + 1 +
                       static_cast<int64_t>(libdeflate_deflate_compress_bound(
                           nullptr, static_cast<std::size_t>(size))));
        // Without memory from the host, the stream does it all.
        whole.emplace(static_cast<std::size_t>(size) + 1);
        if (!*whole) whole.reset();
    }
    if (whole && !readWhole(in, *whole, reports, result)) return failed(CompressFault::ReadError);
    if (whole && result.length <= size) {
        if (!deflateWhole(whole->data(), result.length, out))
            return failed(CompressFault::WriteError);
    } else {
        // The zlib stream, after what was read whole of an input that proved
        // larger than its size said.
        const auto deflater = std::make_unique<Deflater>();
        if (!deflater->ok() || !deflater->putRaw(out, MemberHeader, HeaderSize) ||
            (whole && !deflater->feed(out, whole->data(), static_cast<std::size_t>(result.length))))
            return failed(CompressFault::WriteError);
        std::array<uint8_t, BufferSize> buffer;
        for (;;) {
            const int64_t n = in.read(buffer.data(), BufferSize);
            if (n < 0) return failed(CompressFault::ReadError);
            if (n == 0) break;
            result.crc =
                static_cast<uint32_t>(crc32(result.crc, buffer.data(), static_cast<uInt>(n)));
            result.length += n;
            if (!deflater->feed(out, buffer.data(), static_cast<std::size_t>(n)))
                return failed(CompressFault::WriteError);
            reports.advance(result.length);
        }
        if (!deflater->finish(out)) return failed(CompressFault::WriteError);
    }
    uint8_t trailer[TrailerSize];
    putLe32(trailer, result.crc);
    putLe32(trailer + 4, static_cast<uint32_t>(result.length));
    if (!out.write(trailer, TrailerSize)) return failed(CompressFault::WriteError);
    return result;
}

MemberCodec::MemberCheck MemberCodec::inflate(File& in, int64_t count, File* out, int64_t maxLength,
                                              const Progress& progress) {
    if (std::optional<MemberCheck> whole = inflateWhole(in, count, out, maxLength, progress))
        return *whole;
    const auto reader = std::make_unique<MemberReader>(in, count);
    MemberCheck check;
    switch (reader->start()) {
        case MemberReader::Start::NotMember:
            check.fault = MemberFault::NotGzip;
            return check;
        case MemberReader::Start::Fault:
            check.fault = reader->fault();
            return check;
        case MemberReader::Start::Member:
            break;
    }
    ProgressReports reports(progress, count);
    const uint8_t* data = nullptr;
    for (;;) {
        const int64_t n = reader->next(data);
        if (n < 0) {
            check.fault = reader->fault();
            break;
        }
        if (n == 0) break;
        if (maxLength >= 0 && reader->length() > maxLength) {
            check.fault = MemberFault::TooLong;
            break;
        }
        if (out && !out->write(data, n)) {
            check.fault = MemberFault::WriteError;
            break;
        }
        reports.advance(reader->inputRead());
    }
    check.length = reader->length();
    return check;
}

MemberCodec::MemberCheck MemberCodec::verify(File& file, int64_t count) {
    return inflate(file, count, nullptr, -1);
}

const char* MemberCodec::faultText(MemberFault fault) {
    switch (fault) {
        case MemberFault::None:
            return "";
        case MemberFault::NotGzip:
            return "le contenu n'est pas un membre gzip";
        case MemberFault::BadHeader:
            return "en-tête gzip invalide";
        case MemberFault::DamagedData:
            return "données compressées endommagées";
        case MemberFault::Truncated:
            return "données compressées tronquées";
        case MemberFault::CrcMismatch:
            return "CRC-32 incorrect";
        case MemberFault::LengthMismatch:
            return "longueur incorrecte";
        case MemberFault::ReadError:
            return "erreur de lecture";
        case MemberFault::TooLong:
            return "taille différente de celle de l'entrée";
        case MemberFault::WriteError:
            return "erreur d'écriture";
    }
    return "";
}

}  // namespace kv
