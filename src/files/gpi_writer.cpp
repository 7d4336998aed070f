#include "files/gpi_format.h"

#include "files/gpi_layout.h"
#include "files/block_reader.h"
#include "files/spill_buffer.h"
#include "files/text_codecs.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <cmath>

namespace orvalis {

using namespace gpi;

namespace {

constexpr int kMaxTextBytes = 0xFFFF;
// POIs per area, in the order they come: an area's bounds let a navigator
// pass over the POIs far from it.
constexpr int kAreaPois = 64;
constexpr qint64 kAreaOwnBytes = 23;
// Garmin counts seconds from the last day of 1989.
constexpr qint64 kGarminEpoch = 631065600;

// What a record gives the file.
struct Waypoint {
    int32_t lat = 0, lon = 0;
    uint16_t proximity = 0, speed = 0;
    QString name, cmt, desc;
    std::array<QString, std::size(kAddressKeys)> address;
    std::array<QString, std::size(kContactKeys)> contact;
    bool alert() const { return proximity > 0 || speed > 0; }
};

template <typename W, typename F>
void EachText(W &w, F f)
{
    f(w.name);
    f(w.cmt);
    f(w.desc);
    for (auto &t : w.address)
        f(t);
    for (auto &t : w.contact)
        f(t);
}

qsizetype Utf8Length(QStringView text)
{
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x80)
            n += 1;
        else if (u < 0x800)
            n += 2;
        else if (QChar::isHighSurrogate(u) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode()))
            n += 4, ++i;
        else if (QChar::isSurrogate(u))
            n += 1;  // a lone half is written as '?' (PutUtf8At)
        else
            n += 3;
    }
    return n;
}

// Texts the format cannot hold whole are cut at a character; returns whether it was.
bool CutToFit(QString &text)
{
    if (text.size() * 3 <= kMaxTextBytes || Utf8Length(text) <= kMaxTextBytes)
        return false;
    qsizetype n = 0, bytes = 0;
    while (n < text.size()) {
        const bool pair = text[n].isHighSurrogate() && n + 1 < text.size() && text[n + 1].isLowSurrogate();
        const qsizetype next = bytes + Utf8Length(QStringView(text).sliced(n, pair ? 2 : 1));
        if (next > kMaxTextBytes)
            break;
        bytes = next;
        n += pair ? 2 : 1;
    }
    text.truncate(n);
    return true;
}

// Texts as the file's code page has them; counting or writing.
struct Encoding {
    bool utf8 = false;
    qsizetype length(const QString &t) const { return utf8 ? Utf8Length(t) : t.size(); }
    void append(std::string &out, const QString &t) const
    {
        const qsizetype at = qsizetype(out.size());
        if (utf8) {
            out.resize(size_t(at + t.size() * 3));
            char *d = out.data() + at;
            const char16_t *p = reinterpret_cast<const char16_t *>(t.utf16());
            for (qsizetype i = 0; i < t.size(); ++i)
                d = PutUtf8At(d, p, &i, t.size());
            out.resize(size_t(d - out.data()));
            return;
        }
        // ASCII straight across; anything else through the code page.
        out.resize(size_t(at + t.size()));
        char *d = out.data() + at;
        for (qsizetype i = 0; i < t.size(); ++i) {
            const char16_t u = t[i].unicode();
            if (u >= 0x80) {
                const QByteArray encoded = EncodeWindows1252(t);
                std::memcpy(out.data() + at, encoded.constData(), size_t(encoded.size()));
                return;
            }
            d[i] = static_cast<char>(u);
        }
    }
};

// Bytes appended, or only counted: one description of the layout serves both.
class Sink {
public:
    Sink(const Encoding &e, std::string *out) : e_(e), out_(out) {}
    qint64 size() const { return out_ ? qint64(out_->size()) : counted_; }
    void u8(uint8_t v) { out_ ? void(*out_ += char(v)) : void(counted_ += 1); }
    void u16(uint16_t v) { out_ ? PutU16(*out_, v) : void(counted_ += 2); }
    void u32(uint32_t v) { out_ ? PutU32(*out_, v) : void(counted_ += 4); }
    void bytes(QByteArrayView b) { out_ ? void(out_->append(b.data(), size_t(b.size()))) : void(counted_ += b.size()); }
    void plain(const QString &t)
    {
        u16(static_cast<uint16_t>(e_.length(t)));
        out_ ? e_.append(*out_, t) : void(counted_ += e_.length(t));
    }
    void localized(const QString &t)
    {
        u32(static_cast<uint32_t>(4 + e_.length(t)));
        bytes("EN");
        plain(t);
    }
    // A record: its own fields, then the records nested in it (`nested`
    // given, the header says where they start).
    template <typename Own, typename Nested>
    void record(uint16_t type, Own own, Nested nested, bool withMain)
    {
        const qint64 start = size();
        u16(type);
        u16(withMain ? kHasMainLength : 0);
        u32(0);
        if (withMain)
            u32(0);
        const qint64 body = size();
        own();
        const qint64 ownEnd = size();
        nested();
        if (out_) {
            std::string lengths;
            PutU32(lengths, static_cast<uint32_t>(size() - body));
            PutU32(lengths, static_cast<uint32_t>(ownEnd - body));
            std::memcpy(out_->data() + start + 4, lengths.data(), withMain ? 8 : 4);
        }
    }
    template <typename Own>
    void record(uint16_t type, Own own)
    {
        record(type, own, [] {}, false);
    }

private:
    const Encoding &e_;
    std::string *out_;
    qint64 counted_ = 0;
};

void PutWaypoint(Sink &s, const Waypoint &w)
{
    s.record(
        kWaypoint,
        [&] {
            s.u32(static_cast<uint32_t>(w.lat));
            s.u32(static_cast<uint32_t>(w.lon));
            s.u16(1);
            s.u8(w.alert() ? 1 : 0);
            s.localized(w.name);
        },
        [&] {
            if (w.alert())
                s.record(kAlert, [&] {
                    s.u16(w.proximity);
                    s.u16(w.speed);
                    // The alert's settings as navigators take them: a tone, on
                    // approach; the last but one says whether a speed counts.
                    s.bytes(QByteArrayView("\x00\x01\x10\x00\x01\x01", 6));
                    s.u8(w.speed > 0 ? 5 : 4);
                    s.u8(0x10);
                });
            s.record(kBitmapRef, [&] { s.u16(0); });
            if (!w.cmt.isEmpty())
                s.record(kComment, [&] { s.localized(w.cmt); });
            const auto fieldsRecord = [&](uint16_t type, const auto &texts, const bool *plain) {
                uint16_t mask = 0;
                for (size_t i = 0; i < texts.size(); ++i)
                    mask |= texts[i].isEmpty() ? 0 : uint16_t(1u << i);
                if (mask == 0)
                    return;
                s.record(
                    type, [&] { s.u16(mask); },
                    [&] {
                        for (size_t i = 0; i < texts.size(); ++i)
                            if (!texts[i].isEmpty())
                                plain && !plain[i] ? s.localized(texts[i]) : s.plain(texts[i]);
                    },
                    true);
            };
            fieldsRecord(kAddress, w.address, kAddressPlain);
            fieldsRecord(kContact, w.contact, nullptr);
            if (!w.desc.isEmpty())
                s.record(kDescription, [&] {
                    s.u8(1);
                    s.localized(w.desc);
                });
        },
        true);
}

// The default bitmap: a black ring round a white disc with a black centre,
// 24 by 24 pixels of 8 bits, magenta (the transparent colour) outside.
QByteArray DefaultBitmapRecord()
{
    constexpr int side = 24, pixels = side * side, palette = 256;
    QByteArray out;
    PutU16(out, kBitmap);
    PutU16(out, 0);
    PutU32(out, 36 + pixels + palette * 4);
    PutU16(out, 0);  // its number, which every POI names
    PutU16(out, side);
    PutU16(out, side);
    PutU16(out, side);  // bytes a row
    PutU16(out, 8);     // bits a pixel
    PutU16(out, 0);
    PutU32(out, pixels);
    PutU32(out, 8 + 36);  // where the pixels start in the record
    PutU32(out, palette);
    PutU32(out, 0xFF00FF);  // the transparent colour
    PutU32(out, 1);
    PutU32(out, 8 + 36 + pixels);  // where the palette starts
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const double r = std::hypot(x - 11.5, y - 11.5);
            out += char(r > 10.5 ? 0 : r > 8 ? 1 : r > 3.5 ? 2 : 1);
        }
    for (uint32_t colour : {0xFF00FFu, 0x000000u, 0xFFFFFFu})
        PutU32(out, colour);
    out += QByteArray((palette - 3) * 4, '\0');
    return out;
}


// Waypoints put aside until the file's sizes are known (a SpillBuffer):
// coordinates, alert and texts (as UTF-16), each behind its length.
class WaypointSpool {
public:
    bool ok() const { return spill_.ok(); }

    void append(const Waypoint &w)
    {
        QByteArray &out = spill_.held();
        const qsizetype start = out.size();
        PutU32(out, 0u);
        PutU32(out, static_cast<uint32_t>(w.lat));
        PutU32(out, static_cast<uint32_t>(w.lon));
        PutU16(out, w.proximity);
        PutU16(out, w.speed);
        EachText(w, [&](const QString &t) {
            PutU32(out, static_cast<uint32_t>(t.size()));
            out.append(reinterpret_cast<const char *>(t.utf16()), t.size() * 2);
        });
        const uint32_t length = static_cast<uint32_t>(out.size() - start - 4);
        for (int i = 0; i < 4; ++i)
            out[start + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
        spill_.settle();
    }

    // Every waypoint in order, in one object reused; false on a read failure.
    bool replay(const std::function<void(const Waypoint &)> &visit)
    {
        const std::unique_ptr<BlockReader> reader = spill_.reader();
        if (!reader)
            return false;
        BlockReader &in = *reader;
        Waypoint w;
        for (;;) {
            if (!in.fill(4))
                return in.held() == 0 && !in.failed();
            const qsizetype length = U32(in.view().data());
            if (!in.fill(4 + length))
                return false;
            const char *p = in.view().data() + 4;
            w.lat = static_cast<int32_t>(U32(p));
            w.lon = static_cast<int32_t>(U32(p + 4));
            w.proximity = U16(p + 8);
            w.speed = U16(p + 10);
            p += 12;
            EachText(w, [&](QString &t) {
                const qsizetype n = U32(p);
                t.resize(n);
                std::memcpy(t.data(), p + 4, size_t(n) * 2);
                p += 4 + n * 2;
            });
            in.consume(4 + length);
            visit(w);
        }
    }

private:
    SpillBuffer spill_;
};

}  // namespace

struct GpiWriter::State {
    GpiWriteOptions options;
    WaypointSpool spool;
    int count = 0;
    int cut = 0;
    bool allFit = true;
    qint64 windows1252Bytes = 0, utf8Bytes = 0;  // of the waypoint records
};

namespace {

// The record's property `key` as a number; nothing when it has none.
std::optional<long double> PropertyNumber(const PoiRecord &r, QLatin1String key)
{
    for (const PoiProperty &p : r.properties)
        if (p.key == key)
            return CoordinateNumber(PropertyText(p.json).trimmed().toLatin1());
    return std::nullopt;
}

QString PropertyString(const PoiRecord &r, const char *key)
{
    for (const PoiProperty &p : r.properties)
        if (p.key == QLatin1String(key))
            return PropertyText(p.json);
    return {};
}

std::optional<Waypoint> WaypointOf(const PoiRecord &r, const GpiWriteOptions &options, int *cut)
{
    const std::optional<int32_t> lon = UnitsOfDegrees(PlainDecimalText(r.lon));
    const std::optional<int32_t> lat = UnitsOfDegrees(PlainDecimalText(r.lat));
    if (!lat || !lon || *lat < -(1 << 30) || *lat > (1 << 30))
        return std::nullopt;
    Waypoint w;
    w.lat = *lat;
    w.lon = *lon;
    const std::optional<long double> proximity = PropertyNumber(r, QLatin1String("proximity"));
    if (proximity && *proximity >= 0 && *proximity <= kGpiMaxAlertMetres)
        w.proximity = static_cast<uint16_t>(std::lround(static_cast<double>(*proximity)));
    else if (options.alertMetres)
        w.proximity = static_cast<uint16_t>(*options.alertMetres);
    const std::optional<long double> speed = PropertyNumber(r, QLatin1String("speed"));
    if (speed && *speed > 0 && std::round(*speed / kKmhPerSpeedUnit) <= 0xFFFF)
        w.speed = static_cast<uint16_t>(std::llround(*speed / kKmhPerSpeedUnit));
    w.name = r.name;
    w.cmt = r.cmt;
    w.desc = r.desc;
    for (size_t i = 0; i < w.address.size(); ++i)
        w.address[i] = PropertyString(r, kAddressKeys[i]);
    for (size_t i = 0; i < w.contact.size(); ++i)
        w.contact[i] = PropertyString(r, kContactKeys[i]);
    EachText(w, [&](QString &t) { *cut += CutToFit(t); });
    return w;
}

}  // namespace

GpiWriter::GpiWriter(GpiWriteOptions options) : d_(std::make_unique<State>())
{
    d_->options = std::move(options);
    if (d_->options.alertMetres)
        d_->options.alertMetres = std::clamp(*d_->options.alertMetres, 0, kGpiMaxAlertMetres);
}

GpiWriter::~GpiWriter() = default;

int GpiWriter::count() const
{
    return d_->count;
}

int GpiWriter::textsCut() const
{
    return d_->cut;
}

bool GpiWriter::append(const PoiRecord &record)
{
    const std::optional<Waypoint> w = WaypointOf(record, d_->options, &d_->cut);
    if (!w)
        return false;
    EachText(*w, [&](const QString &t) { d_->allFit = d_->allFit && FitsWindows1252(t); });
    const Encoding utf8{true}, windows1252{false};
    Sink u(utf8, nullptr), a(windows1252, nullptr);
    PutWaypoint(u, *w);
    PutWaypoint(a, *w);
    d_->utf8Bytes += u.size();
    d_->windows1252Bytes += a.size();
    d_->spool.append(*w);
    ++d_->count;
    return true;
}

GpiWriter::Finish GpiWriter::finish(const std::function<void(QByteArray &)> &write)
{
    State &d = *d_;
    if (!d.spool.ok())
        return Finish::TemporaryFileFailed;
    const Encoding encoding{!d.allFit};
    const int codePage = d.allFit ? 1252 : 65001;
    const qint64 areas = (d.count + kAreaPois - 1) / kAreaPois;
    const QByteArray bitmap = DefaultBitmapRecord();
    std::string out;
    // Handed on a megabyte at a time.
    const auto hand = [&] {
        QByteArray piece(out.data(), qsizetype(out.size()));
        write(piece);
        out.clear();
    };
    Sink s(encoding, &out);
    Sink name(encoding, nullptr);
    name.localized(d.options.category);
    const qint64 groupLength = name.size() + areas * (12 + kAreaOwnBytes) + (d.allFit ? d.windows1252Bytes : d.utf8Bytes) +
                               bitmap.size();
    if (groupLength > 0xFFFFFFFFLL)
        return Finish::TooLarge;

    const qint64 seconds = std::max<qint64>(0, d.options.created.toSecsSinceEpoch() - kGarminEpoch);
    s.record(kHeader, [&] {
        s.bytes("GRMREC00");
        s.u32(static_cast<uint32_t>(std::min<qint64>(seconds, 0xFFFFFFFFLL)));
        s.u16(0);
        s.plain(d.options.category);
    });
    s.record(kFormat, [&] {
        s.bytes(QByteArrayView("POI\0\0\0" "00", 8));
        s.u16(static_cast<uint16_t>(codePage));
        s.u16(0);
    });
    // The group's header by hand: its length is known, its POIs come from the spool.
    s.u16(kGroup);
    s.u16(kHasMainLength);
    s.u32(static_cast<uint32_t>(groupLength));
    s.u32(static_cast<uint32_t>(groupLength - bitmap.size()));
    s.localized(d.options.category);

    // The POIs an area at a time.
    std::string pois;
    int inArea = 0;
    int32_t north = 0, south = 0, east = 0, west = 0;
    bool alert = false;
    const auto flushArea = [&] {
        s.record(
            kArea,
            [&] {
                for (int32_t v : {north, east, south, west})
                    s.u32(static_cast<uint32_t>(v));
                s.u32(0);
                s.u16(1);
                s.u8(alert ? 1 : 0);
            },
            [&] { s.bytes(QByteArrayView(pois.data(), qsizetype(pois.size()))); }, true);
        pois.clear();
        inArea = 0;
        if (out.size() >= (size_t(1) << 20))
            hand();
    };
    const bool replayed = d.spool.replay([&](const Waypoint &w) {
        if (inArea == 0) {
            north = south = w.lat;
            east = west = w.lon;
            alert = false;
        }
        north = std::max(north, w.lat);
        south = std::min(south, w.lat);
        east = std::max(east, w.lon);
        west = std::min(west, w.lon);
        alert = alert || w.alert();
        Sink p(encoding, &pois);
        PutWaypoint(p, w);
        if (++inArea == kAreaPois)
            flushArea();
    });
    if (!replayed)
        return Finish::TemporaryFileFailed;
    if (inArea > 0)
        flushArea();
    s.bytes(bitmap);
    s.record(kEnd, [] {});
    hand();
    return Finish::Ok;
}

}  // namespace orvalis
