#pragma once

#include "files/block_reader.h"
#include "files/read_result.h"
#include "files/poi_record.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace orvalis {

// Garmin's POI files (.gpi). A waypoint's name, comment (cmt) and description
// (desc) are the record's texts; what else the file holds for it travels as
// properties: "category" (its category, or the file's when it has none),
// "proximity" (the alert distance, whole metres), "speed" (the alert speed,
// km/h to a tenth), the address ("street", "house_number", "postal_code",
// "city", "state", "country") and the contact ("phone", "phone2", "fax",
// "email", "web"). Coordinates read as the shortest decimal that stands for
// the file's value.

// True when the bytes start as a GPI file does.
bool LooksLikeGpi(QByteArrayView head);

enum class GpiRead {
    Ok,
    NotGpi,               // no GPI header: nothing visited
    Damaged,              // a length that lies, or the file cut inside a record: the POIs before it were visited
    UnknownCodePage,      // texts in a code page we cannot read (encrypted files show one): nothing visited
    TemporaryFileFailed,  // POIs waiting for their category could not be put aside
};

// The POIs of a GPI file in file order, read a block at a time (memory for one
// record). `wanted`, when given, sees each POI's coordinates first. A POI whose
// category is named after it in the file waits in an unnamed temporary file
// until the name is read. `codePage`, when given, receives the file's.
GpiRead ForEachGpiRecord(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result = nullptr,
                         const CoordinateFilter &wanted = {}, int *codePage = nullptr);

struct GpiWriteOptions {
    // The one category of the file, as navigators list it.
    QString category;
    // A proximity alert at this distance for every POI whose record has no
    // "proximity" of its own; none when not given.
    std::optional<int> alertMetres;
    // When the file was made: navigators tell files apart by it.
    QDateTime created = QDateTime::currentDateTimeUtc();
};

// The largest proximity alert distance the format holds.
inline constexpr int kGpiMaxAlertMetres = 65535;

// Records written as a GPI file: one category, the default bitmap, each POI's
// alert ("proximity" in metres, else the options'; "speed" in km/h), its
// comment, description, address and contact. Texts in Windows-1252 when every
// one fits, else in UTF-8. The file's sizes come first, so the records wait in
// an unnamed temporary file until finish(): memory stays bounded.
class GpiWriter {
public:
    explicit GpiWriter(GpiWriteOptions options);
    ~GpiWriter();
    GpiWriter(const GpiWriter &) = delete;
    GpiWriter &operator=(const GpiWriter &) = delete;

    // False for a record without coordinates in range: not written.
    bool append(const PoiRecord &record);
    enum class Finish { Ok, TooLarge, TemporaryFileFailed };
    // The whole file, in pieces, to `write` (which may clear them).
    Finish finish(const std::function<void(QByteArray &)> &write);
    int count() const;
    // Texts longer than the format holds (65,535 bytes) were cut to fit.
    int textsCut() const;

private:
    struct State;
    std::unique_ptr<State> d_;
};

}  // namespace orvalis
