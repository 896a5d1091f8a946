#include "MemZip.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <algorithm>
#include <cstring>

namespace memzip {
namespace {

// A file in memory as minizip's I/O functions see it. Reading uses data and
// size; writing grows sink.
struct MemFile {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::vector<std::uint8_t>* sink = nullptr;
    std::size_t pos = 0;
};

std::size_t length(const MemFile* f)
{
    return f->sink ? f->sink->size() : f->size;
}

voidpf ZCALLBACK memOpen(voidpf opaque, const void*, int)
{
    static_cast<MemFile*>(opaque)->pos = 0;
    return opaque;
}

uLong ZCALLBACK memRead(voidpf, voidpf stream, void* buf, uLong count)
{
    auto* f = static_cast<MemFile*>(stream);
    const std::size_t avail = f->pos < f->size ? f->size - f->pos : 0;
    const std::size_t n = std::min<std::size_t>(avail, count);
    if (n > 0)
        std::memcpy(buf, f->data + f->pos, n);
    f->pos += n;
    return static_cast<uLong>(n);
}

uLong ZCALLBACK memWrite(voidpf, voidpf stream, const void* buf, uLong count)
{
    auto* f = static_cast<MemFile*>(stream);
    if (!f->sink)
        return 0;
    const auto* bytes = static_cast<const std::uint8_t*>(buf);
    if (f->pos + count > f->sink->size())
        f->sink->resize(f->pos + count);
    std::copy(bytes, bytes + count, f->sink->begin() + static_cast<std::ptrdiff_t>(f->pos));
    f->pos += count;
    return count;
}

ZPOS64_T ZCALLBACK memTell(voidpf, voidpf stream)
{
    return static_cast<MemFile*>(stream)->pos;
}

long ZCALLBACK memSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto* f = static_cast<MemFile*>(stream);
    ZPOS64_T base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: base = f->pos; break;
    case ZLIB_FILEFUNC_SEEK_END: base = length(f); break;
    default: return -1;
    }
    const ZPOS64_T target = base + offset;
    if (target > length(f) && !f->sink)
        return -1;
    f->pos = static_cast<std::size_t>(target);
    return 0;
}

int ZCALLBACK memClose(voidpf, voidpf) { return 0; }
int ZCALLBACK memError(voidpf, voidpf) { return 0; }

zlib_filefunc64_def functionsFor(MemFile* file)
{
    zlib_filefunc64_def def{};
    def.zopen64_file = [](voidpf opaque, const void* name, int mode) { return memOpen(opaque, name, mode); };
    def.zread_file = memRead;
    def.zwrite_file = memWrite;
    def.ztell64_file = memTell;
    def.zseek64_file = memSeek;
    def.zclose_file = memClose;
    def.zerror_file = memError;
    def.opaque = file;
    return def;
}

}  // namespace

Status extractFirst(const void* data, std::size_t size, std::size_t maxSize,
                    std::vector<std::uint8_t>& out)
{
    out.clear();
    if (!data || size == 0)
        return Status::NotAZip;
    MemFile file;
    file.data = static_cast<const std::uint8_t*>(data);
    file.size = size;
    zlib_filefunc64_def def = functionsFor(&file);
    unzFile zip = unzOpen2_64("memory", &def);
    if (!zip)
        return Status::NotAZip;

    Status status = Status::Ok;
    unz_file_info64 info{};
    if (unzGoToFirstFile(zip) != UNZ_OK) {
        status = Status::NoEntry;
    } else if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
        status = Status::Damaged;
    } else if (info.uncompressed_size > maxSize) {
        status = Status::TooLarge;
    } else if (unzOpenCurrentFile(zip) != UNZ_OK) {
        status = Status::Damaged;
    } else {
        out.resize(static_cast<std::size_t>(info.uncompressed_size));
        std::size_t done = 0;
        while (status == Status::Ok) {
            // One spare byte finds an entry longer than its header says.
            std::uint8_t spare = 0;
            const bool full = done == out.size();
            void* dst = full ? static_cast<void*>(&spare) : static_cast<void*>(out.data() + done);
            const std::size_t want = full ? 1 : std::min<std::size_t>(out.size() - done, 1u << 20);
            const int n = unzReadCurrentFile(zip, dst, static_cast<unsigned>(want));
            if (n < 0 || (n > 0 && full))
                status = Status::Damaged;
            else if (n == 0)
                break;
            else
                done += static_cast<std::size_t>(n);
        }
        if (status == Status::Ok && done != out.size())
            status = Status::Damaged;
        // Closing checks the CRC once the whole entry was read.
        if (unzCloseCurrentFile(zip) != UNZ_OK && status == Status::Ok)
            status = Status::Damaged;
    }
    unzClose(zip);
    if (status != Status::Ok)
        out.clear();
    return status;
}

bool createSingle(const char* entryName, const void* data, std::size_t size,
                  std::vector<std::uint8_t>& out)
{
    out.clear();
    MemFile file;
    file.sink = &out;
    zlib_filefunc64_def def = functionsFor(&file);
    zipFile zip = zipOpen2_64("memory", APPEND_STATUS_CREATE, nullptr, &def);
    if (!zip)
        return false;
    zip_fileinfo info{};
    bool ok = zipOpenNewFileInZip64(zip, entryName ? entryName : "", &info, nullptr, 0, nullptr, 0,
                                    nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, size >= 0xFFFFFFFFu) == ZIP_OK;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (std::size_t done = 0; ok && done < size;) {
        const unsigned piece = static_cast<unsigned>(std::min<std::size_t>(size - done, 1u << 20));
        ok = zipWriteInFileInZip(zip, bytes + done, piece) == ZIP_OK;
        done += piece;
    }
    if (zipCloseFileInZip(zip) != ZIP_OK)
        ok = false;
    if (zipClose(zip, nullptr) != ZIP_OK)
        ok = false;
    if (!ok)
        out.clear();
    return ok;
}

const char* statusText(Status status)
{
    switch (status) {
    case Status::Ok: return "ok";
    case Status::NotAZip: return "not a zip archive";
    case Status::NoEntry: return "archive holds no file";
    case Status::Damaged: return "archive damaged";
    case Status::TooLarge: return "entry too large";
    }
    return "unknown";
}

}  // namespace memzip
