#pragma once

#include "files/block_reader.h"
#include "files/poi_codec.h"
#include "files/poi_record.h"

#include <QByteArray>
#include <QDateTime>
#include <cstdio>
#include <functional>
#include <memory>

namespace orvalis {

// KMZ: a zip archive holding a KML file (doc.kml, else the first .kml at its
// top level) and perhaps the images it shows. Read with libzip, the KML
// read by the KML reader: a KMZ keeps what a KML keeps.

// What a reading may take: an archive up to `archiveBytes` of up to
// `entries` files; its KML inflated to at most `kmlBytes`, and past
// `freeBytes` to at most `ratio` times the archive's size (a zip bomb
// inflates a thousandfold).
struct KmzLimits {
    qint64 archiveBytes = qint64(1) << 30;
    qint64 entries = 100000;
    qint64 kmlBytes = qint64(4) << 30;
    qint64 freeBytes = qint64(64) << 20;
    qint64 ratio = 100;
};

enum class KmzRead {
    Ok,
    NotZip,               // no zip archive
    NoKml,                // no doc.kml nor any .kml at the top level
    TooLarge,             // past the limits: the archive, its files or what the KML inflates to
    Damaged,              // the archive or its KML cannot be inflated whole (the POIs before were visited)
    NotKml,               // the KML inside is no KML document
    TemporaryFileFailed,  // the archive or its KML could not be put aside
};

// True when the bytes start as a zip archive does.
bool LooksLikeZip(QByteArrayView head);

// The size its directory gives the archive's KML (0 when it has none, or the
// file is no archive): what the window expects to inflate, read without
// moving the file's offset; -1 on a read error.
qint64 KmzKmlSize(int fd);

// The KML of an archive held in memory, inflated into `kml`.
KmzRead InflateKmzKml(QByteArrayView archive, QByteArray *kml, const KmzLimits &limits = {});

// The POIs of the KML of the archive `in` reads, in file order: the archive
// goes to an unnamed temporary file, its KML to another, read from there a
// block at a time; memory stays bounded whatever their size.
KmzRead ForEachKmzRecord(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, const CoordinateFilter &wanted = {},
                         DeferTexts defer = DeferTexts::No, const KmzLimits &limits = {});

// Records written as a KMZ archive holding doc.kml, deflated: the KML as the
// KML writer writes it waits in an unnamed temporary file until finish(),
// then libzip deflates it into the output. The archive's local header is
// written again once its sizes are known: the output must take `writeAt`.
class KmzWriter {
public:
    explicit KmzWriter(QDateTime created = QDateTime::currentDateTimeUtc());
    ~KmzWriter();
    KmzWriter(const KmzWriter &) = delete;
    KmzWriter &operator=(const KmzWriter &) = delete;

    // Before the first record: the namespaces its raw XML uses (none when not called).
    void start(const XmlNamespaces &namespaces);
    // False for a record without coordinates: not written.
    bool append(const PoiRecord &record);
    int count() const { return count_; }
    enum class Finish { Ok, TemporaryFileFailed, ZipFailed };
    // Exceptions thrown by `write` or `writeAt` pass through, after libzip is done.
    Finish finish(const std::function<void(QByteArray &)> &write, const std::function<void(qint64, const QByteArray &)> &writeAt);

private:
    QDateTime created_;
    std::FILE *kml_ = nullptr;
    bool started_ = false;
    std::unique_ptr<FormatRecordWriter> kmlWriter_;
    WriterBuffer buffer_;
    bool failed_ = false;
    int count_ = 0;
};

}  // namespace orvalis
