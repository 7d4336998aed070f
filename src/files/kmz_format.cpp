#include "files/kmz_format.h"

#include "files/poi_codec.h"

#include <cerrno>
#include <exception>
#include <memory>
#include <unistd.h>
#include <zip.h>

namespace orvalis {

namespace {

constexpr qsizetype kPiece = qsizetype(1) << 16;

// What a KMZ holds is read and written by the KML codec.
const PoiCodec &Kml()
{
    return *CodecNamed(u"kml");
}

uint64_t LittleEndian(QByteArrayView b, qsizetype at, int bytes)
{
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | static_cast<uint8_t>(b[at + i]);
    return v;
}

// Bytes of the archive at an offset (false past its end).
using ReadAt = std::function<bool(qint64 at, qint64 n, QByteArray *out)>;

// How many files the archive's directory says it holds, from its end records,
// before libzip takes memory for each; nothing when it has no end record
// (libzip then refuses it).
std::optional<uint64_t> DirectoryEntries(qint64 size, const ReadAt &read)
{
    const qint64 tailSize = std::min<qint64>(size, 22 + 0xFFFF);
    QByteArray tail;
    if (!read(size - tailSize, tailSize, &tail))
        return std::nullopt;
    const qsizetype end = tail.lastIndexOf("PK\x05\x06");
    if (end < 0 || tail.size() - end < 22)
        return std::nullopt;
    const uint64_t entries = LittleEndian(tail, end + 10, 2);
    if (entries != 0xFFFF || end < 20 || tail.sliced(end - 20, 4) != "PK\x06\x07")
        return entries;
    // Zip64: the count is in its own end record, where the locator points.
    const uint64_t at = LittleEndian(tail, end - 20 + 8, 8);
    QByteArray record;
    if (at > uint64_t(size) || !read(qint64(at), 56, &record) || !record.startsWith("PK\x06\x06"))
        return entries;
    return LittleEndian(record, 32, 8);
}

struct ZipCloser {
    void operator()(zip_t *z) const { zip_discard(z); }
};
using Zip = std::unique_ptr<zip_t, ZipCloser>;

// The archive over `source` (taken in every case), or why not.
KmzRead OpenArchive(zip_source_t *source, zip_error_t *error, Zip *zip)
{
    if (!source)
        return KmzRead::TemporaryFileFailed;
    zip->reset(zip_open_from_source(source, ZIP_RDONLY, error));
    if (*zip)
        return KmzRead::Ok;
    zip_source_free(source);
    return zip_error_code_zip(error) == ZIP_ER_NOZIP ? KmzRead::NotZip : KmzRead::Damaged;
}

// doc.kml, else the first .kml at the top level, case ignored.
zip_int64_t KmlEntry(zip_t *zip)
{
    const zip_int64_t n = zip_get_num_entries(zip, 0);
    zip_int64_t first = -1;
    for (zip_int64_t i = 0; i < n; ++i) {
        const char *name = zip_get_name(zip, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (!name)
            continue;
        const QByteArray lower = QByteArray(name).toLower();
        if (lower == "doc.kml")
            return i;
        if (first < 0 && lower.endsWith(".kml") && !lower.contains('/') && !lower.contains('\\'))
            first = i;
    }
    return first;
}

// The archive's KML, inflated a piece at a time into `take`, within the limits.
KmzRead InflateKml(zip_t *zip, qint64 archiveSize, const KmzLimits &limits, const std::function<bool(QByteArrayView)> &take)
{
    const zip_int64_t entry = KmlEntry(zip);
    if (entry < 0)
        return KmzRead::NoKml;
    zip_file_t *file = zip_fopen_index(zip, zip_uint64_t(entry), 0);
    if (!file)
        return KmzRead::Damaged;
    const qint64 limit = std::min(limits.kmlBytes, std::max(limits.freeBytes, limits.ratio * archiveSize));
    QByteArray piece(kPiece, Qt::Uninitialized);
    qint64 total = 0;
    KmzRead status = KmzRead::Ok;
    for (;;) {
        const zip_int64_t n = zip_fread(file, piece.data(), zip_uint64_t(piece.size()));
        if (n < 0)
            status = KmzRead::Damaged;
        if (n <= 0)
            break;
        total += n;
        if (total > limit) {
            status = KmzRead::TooLarge;
            break;
        }
        if (!take(QByteArrayView(piece.constData(), qsizetype(n)))) {
            status = KmzRead::TemporaryFileFailed;
            break;
        }
    }
    zip_fclose(file);
    return status;
}

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool Put(std::FILE *f, QByteArrayView bytes)
{
    return std::fwrite(bytes.data(), 1, size_t(bytes.size()), f) == size_t(bytes.size());
}

}  // namespace

bool LooksLikeZip(QByteArrayView head)
{
    return head.startsWith("PK\x03\x04") || head.startsWith("PK\x05\x06");
}

qint64 KmzKmlSize(int fd)
{
    const off_t offset = lseek(fd, 0, SEEK_CUR);
    const int copy = offset < 0 ? -1 : dup(fd);  // shares the offset, put back below
    std::FILE *f = copy < 0 ? nullptr : fdopen(copy, "rb");
    if (!f) {
        if (copy >= 0)
            close(copy);
        return -1;
    }
    zip_error_t error;
    zip_error_init(&error);
    Zip zip;
    qint64 size = 0;
    zip_stat_t st;
    // libzip closes the copy with its source.
    const KmzRead opened = OpenArchive(zip_source_filep_create(f, 0, -1, &error), &error, &zip);
    if (opened == KmzRead::TemporaryFileFailed)
        std::fclose(f);
    if (opened == KmzRead::Ok) {
        const zip_int64_t entry = KmlEntry(zip.get());
        if (entry >= 0 && zip_stat_index(zip.get(), zip_uint64_t(entry), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE))
            size = qint64(std::min<zip_uint64_t>(st.size, zip_uint64_t(1) << 62));
    }
    zip.reset();
    zip_error_fini(&error);
    return lseek(fd, offset, SEEK_SET) == offset ? size : -1;
}

KmzRead InflateKmzKml(QByteArrayView archive, QByteArray *kml, const KmzLimits &limits)
{
    kml->clear();
    if (archive.size() > limits.archiveBytes)
        return KmzRead::TooLarge;
    const auto entries = DirectoryEntries(archive.size(), [&](qint64 at, qint64 n, QByteArray *out) {
        if (at < 0 || n > archive.size() - at)
            return false;
        *out = archive.sliced(at, n).toByteArray();
        return true;
    });
    if (entries && *entries > uint64_t(limits.entries))
        return KmzRead::TooLarge;
    zip_error_t error;
    zip_error_init(&error);
    Zip zip;
    KmzRead status = OpenArchive(zip_source_buffer_create(archive.data(), zip_uint64_t(archive.size()), 0, &error), &error, &zip);
    if (status == KmzRead::Ok)
        status = InflateKml(zip.get(), archive.size(), limits, [&](QByteArrayView piece) {
            kml->append(piece);
            return true;
        });
    zip_error_fini(&error);
    return status;
}

KmzRead ForEachKmzRecord(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, const CoordinateFilter &wanted,
                         DeferTexts defer, const KmzLimits &limits)
{
    // Not even the start of a zip: no temporary file for it.
    in.fill(4);
    if (!LooksLikeZip(in.view()))
        return KmzRead::NotZip;
    // The archive in a file of its own: libzip reads its directory from the end.
    File archive(std::tmpfile());
    if (!archive)
        return KmzRead::TemporaryFileFailed;
    qint64 size = 0;
    do {
        size += in.held();
        if (size > limits.archiveBytes)
            return KmzRead::TooLarge;
        if (!Put(archive.get(), in.view()))
            return KmzRead::TemporaryFileFailed;
        in.consume(in.held());
    } while (in.more());
    if (std::fflush(archive.get()) != 0)
        return KmzRead::TemporaryFileFailed;
    const int fd = fileno(archive.get());
    const auto entries = DirectoryEntries(size, [&](qint64 at, qint64 n, QByteArray *out) {
        out->resize(n);
        return at >= 0 && pread(fd, out->data(), size_t(n), at) == n;
    });
    if (entries && *entries > uint64_t(limits.entries))
        return KmzRead::TooLarge;
    File kml(std::tmpfile());
    if (!kml)
        return KmzRead::TemporaryFileFailed;
    zip_error_t error;
    zip_error_init(&error);
    Zip zip;
    // libzip closes the archive's file with its source.
    KmzRead status = OpenArchive(zip_source_filep_create(archive.get(), 0, -1, &error), &error, &zip);
    if (status != KmzRead::TemporaryFileFailed)
        archive.release();
    if (status == KmzRead::Ok)
        status = InflateKml(zip.get(), size, limits, [&](QByteArrayView piece) { return Put(kml.get(), piece); });
    zip_error_fini(&error);
    zip.reset();
    if (status != KmzRead::Ok && status != KmzRead::Damaged)
        return status;
    // What was inflated, read as a KML file is.
    if (std::fflush(kml.get()) != 0 || lseek(fileno(kml.get()), 0, SEEK_SET) != 0)
        return KmzRead::TemporaryFileFailed;
    BlockReader reader(fileno(kml.get()));
    if (!Kml().readRecords(reader, visit, nullptr, wanted, defer))
        return status == KmzRead::Damaged ? status : KmzRead::NotKml;
    return reader.failed() ? KmzRead::TemporaryFileFailed : status;
}

namespace {

// The archive libzip writes, handed to the output: appended bytes wait in a
// buffer; bytes written again over earlier ones (the local header, once the
// sizes are known) go where they belong.
struct ArchiveOutput {
    std::function<void(QByteArray &)> write;
    std::function<void(qint64, const QByteArray &)> writeAt;
    QByteArray pending;  // the last bytes, from `given` on
    qint64 given = 0;    // bytes handed to `write`
    qint64 position = 0;
    zip_error_t error;
    std::exception_ptr exception;

    qint64 end() const { return given + pending.size(); }
    void flush()
    {
        const qint64 n = pending.size();
        write(pending);
        given += n;
        pending.clear();
    }
    void put(const char *data, qint64 n)
    {
        while (n > 0) {
            if (position < given) {
                // Already handed on: written again in place.
                const qint64 k = std::min(n, given - position);
                writeAt(position, QByteArray(data, qsizetype(k)));
                data += k, n -= k, position += k;
            } else if (position < end()) {
                const qint64 k = std::min(n, end() - position);
                pending.replace(qsizetype(position - given), qsizetype(k), data, qsizetype(k));
                data += k, n -= k, position += k;
            } else {
                pending.append(data, qsizetype(n));
                position += n;
                n = 0;
                if (pending.size() >= (qsizetype(1) << 20))
                    flush();
            }
        }
    }
    zip_int64_t failed(int code, int system)
    {
        zip_error_set(&error, code, system);
        return -1;
    }
};

zip_int64_t ArchiveOutputCommand(void *user, void *data, zip_uint64_t length, zip_source_cmd_t command)
{
    ArchiveOutput &o = *static_cast<ArchiveOutput *>(user);
    // Nothing may be thrown through libzip: the output's failure waits for zip_close to return.
    try {
        switch (command) {
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                                                  ZIP_SOURCE_SUPPORTS, ZIP_SOURCE_BEGIN_WRITE, ZIP_SOURCE_COMMIT_WRITE,
                                                  ZIP_SOURCE_ROLLBACK_WRITE, ZIP_SOURCE_WRITE, ZIP_SOURCE_SEEK_WRITE,
                                                  ZIP_SOURCE_TELL_WRITE, ZIP_SOURCE_REMOVE, -1);
        case ZIP_SOURCE_STAT: {
            // A new, empty archive.
            zip_stat_t *st = static_cast<zip_stat_t *>(data);
            zip_stat_init(st);
            st->size = 0;
            st->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_OPEN:
        case ZIP_SOURCE_READ:
        case ZIP_SOURCE_CLOSE:
        case ZIP_SOURCE_SEEK:
        case ZIP_SOURCE_TELL:
        case ZIP_SOURCE_FREE:
        case ZIP_SOURCE_REMOVE:
        case ZIP_SOURCE_BEGIN_WRITE:
        case ZIP_SOURCE_ROLLBACK_WRITE:
            return 0;
        case ZIP_SOURCE_WRITE:
            o.put(static_cast<const char *>(data), qint64(length));
            return zip_int64_t(length);
        case ZIP_SOURCE_SEEK_WRITE: {
            const auto *args = ZIP_SOURCE_GET_ARGS(zip_source_args_seek_t, data, length, &o.error);
            if (!args)
                return -1;
            const qint64 base = args->whence == SEEK_SET ? 0 : args->whence == SEEK_CUR ? o.position : o.end();
            const qint64 to = base + args->offset;
            if (to < 0 || to > o.end())
                return o.failed(ZIP_ER_SEEK, EINVAL);
            o.position = to;
            return 0;
        }
        case ZIP_SOURCE_TELL_WRITE:
            return o.position;
        case ZIP_SOURCE_COMMIT_WRITE:
            o.flush();
            return 0;
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&o.error, data, length);
        default:
            return o.failed(ZIP_ER_OPNOTSUPP, 0);
        }
    } catch (...) {
        o.exception = std::current_exception();
        return o.failed(ZIP_ER_WRITE, EIO);
    }
}

}  // namespace

KmzWriter::KmzWriter(QDateTime created)
    : created_(std::move(created)), kml_(std::tmpfile()), kmlWriter_(Kml().recordWriter({})),
      buffer_({[this](QByteArray &bytes) {
                   failed_ = failed_ || !kml_ || !Put(kml_, bytes);
                   bytes.clear();
               },
               {}})
{
    failed_ = !kml_;
}

void KmzWriter::start(const XmlNamespaces &namespaces)
{
    if (!started_)
        kmlWriter_->start(buffer_, namespaces);
    started_ = true;
}

KmzWriter::~KmzWriter()
{
    if (kml_)
        std::fclose(kml_);
}

bool KmzWriter::append(const PoiRecord &record)
{
    start({});
    if (!kmlWriter_->append(buffer_, record))
        return false;
    ++count_;
    buffer_.flushIfFull();
    return true;
}

KmzWriter::Finish KmzWriter::finish(const std::function<void(QByteArray &)> &write,
                                    const std::function<void(qint64, const QByteArray &)> &writeAt)
{
    start({});
    kmlWriter_->finish(buffer_);
    buffer_.flush();
    if (failed_ || std::fflush(kml_) != 0 || std::fseek(kml_, 0, SEEK_SET) != 0)
        return Finish::TemporaryFileFailed;
    ArchiveOutput out{write, writeAt, {}, 0, 0, {}, {}};
    zip_error_init(&out.error);
    zip_error_t error;
    zip_error_init(&error);
    Finish result = Finish::ZipFailed;
    zip_source_t *target = zip_source_function_create(ArchiveOutputCommand, &out, &error);
    zip_t *zip = target ? zip_open_from_source(target, ZIP_CREATE | ZIP_TRUNCATE, &error) : nullptr;
    if (!zip && target)
        zip_source_free(target);
    if (zip) {
        zip_source_t *kml = zip_source_filep_create(kml_, 0, -1, &error);
        if (kml)
            kml_ = nullptr;  // libzip closes it
        const zip_int64_t entry = kml ? zip_file_add(zip, "doc.kml", kml, ZIP_FL_ENC_UTF_8) : -1;
        if (entry < 0 && kml)
            zip_source_free(kml);
        if (entry >= 0 && zip_set_file_compression(zip, zip_uint64_t(entry), ZIP_CM_DEFLATE, 0) == 0 &&
            zip_file_set_mtime(zip, zip_uint64_t(entry), time_t(created_.toSecsSinceEpoch()), 0) == 0 && zip_close(zip) == 0) {
            result = Finish::Ok;
            zip = nullptr;
        }
        if (zip)
            zip_discard(zip);
    }
    zip_error_fini(&error);
    zip_error_fini(&out.error);
    if (out.exception)
        std::rethrow_exception(out.exception);
    return result;
}

}  // namespace orvalis
