#include "files/record_spool.h"

#include "files/block_reader.h"

#include <cstring>
#include <unistd.h>

namespace orvalis {

namespace {

// A record's parts in their order, given to `put` as lengths and bytes:
// once to measure the record, once to write it. Texts go as their UTF-16
// code units: no conversion either way.
template <typename Put>
void EachPart(const PoiRecord &r, Put &put)
{
    const auto bytes = [&](const QByteArray &b) {
        put.length(b.size());
        put.bytes(b.constData(), b.size());
    };
    const auto text = [&](const QString &t) {
        const qsizetype n = static_cast<qsizetype>(sizeof(char16_t)) * t.size();
        put.length(n);
        put.bytes(reinterpret_cast<const char *>(t.utf16()), n);
    };
    bytes(r.lat);
    bytes(r.lon);
    for (QString PoiRecord::*t : kRecordTexts)
        text(r.*t);
    put.length(static_cast<qsizetype>(r.links.size()));
    for (const PoiLink &l : r.links) {
        text(l.href);
        text(l.text);
        text(l.type);
    }
    put.length(static_cast<qsizetype>(r.otherXml.size()));
    for (const QByteArray &x : r.otherXml)
        bytes(x);
    bytes(r.extensionsXml);
    put.length(static_cast<qsizetype>(r.properties.size()));
    for (const PoiProperty &p : r.properties) {
        text(p.key);
        bytes(p.json);
    }
}

struct Measure {
    qsizetype size = 0;
    void length(qsizetype) { size += 4; }
    void bytes(const char *, qsizetype n) { size += n; }
};

struct Write {
    char *d;
    void length(qsizetype n)
    {
        const auto v = static_cast<uint32_t>(n);
        std::memcpy(d, &v, 4);
        d += 4;
    }
    void bytes(const char *b, qsizetype n)
    {
        if (n > 0)
            std::memcpy(d, b, static_cast<size_t>(n));
        d += n;
    }
};

// Reads back what Put wrote; false past the record's end.
class Fields {
public:
    explicit Fields(QByteArrayView bytes) : b_(bytes) {}
    bool length(qsizetype &n)
    {
        if (b_.size() - at_ < 4)
            return false;
        uint32_t v = 0;
        std::memcpy(&v, b_.data() + at_, 4);
        at_ += 4;
        n = v;
        return n <= b_.size() - at_;
    }
    bool bytes(QByteArray &out)
    {
        qsizetype n = 0;
        if (!length(n))
            return false;
        out = b_.sliced(at_, n).toByteArray();
        at_ += n;
        return true;
    }
    bool text(QString &out)
    {
        qsizetype n = 0;
        if (!length(n) || n % 2 != 0)
            return false;
        out = QString(n / 2, Qt::Uninitialized);
        std::memcpy(out.data(), b_.data() + at_, static_cast<size_t>(n));
        at_ += n;
        return true;
    }

private:
    QByteArrayView b_;
    qsizetype at_ = 0;
};

void AppendSerialized(QByteArray &out, const PoiRecord &r)
{
    // The record's length, then its parts: one resize, then plain copies.
    Measure measure;
    EachPart(r, measure);
    const qsizetype start = out.size();
    out.resize(start + 4 + measure.size);
    Write write{out.data() + start};
    write.length(measure.size);
    EachPart(r, write);
}

bool Deserialized(QByteArrayView bytes, PoiRecord &r)
{
    Fields f(bytes);
    bool ok = f.bytes(r.lat) && f.bytes(r.lon);
    for (QString PoiRecord::*t : kRecordTexts)
        ok = ok && f.text(r.*t);
    qsizetype n = 0;
    ok = ok && f.length(n);
    for (qsizetype i = 0; ok && i < n; ++i) {
        PoiLink l;
        ok = f.text(l.href) && f.text(l.text) && f.text(l.type);
        r.links.push_back(std::move(l));
    }
    ok = ok && f.length(n);
    for (qsizetype i = 0; ok && i < n; ++i) {
        QByteArray x;
        ok = f.bytes(x);
        r.otherXml.push_back(std::move(x));
    }
    ok = ok && f.bytes(r.extensionsXml) && f.length(n);
    for (qsizetype i = 0; ok && i < n; ++i) {
        PoiProperty p;
        ok = f.text(p.key) && f.bytes(p.json);
        r.properties.push_back(std::move(p));
    }
    return ok;
}

}  // namespace

qint64 RecordSpool::append(const PoiRecord &record)
{
    const qint64 at = spill_.size();
    AppendSerialized(spill_.held(), record);
    spill_.settle();
    return at;
}

bool RecordSpool::replay(const std::function<void(PoiRecord &&)> &visit)
{
    const std::unique_ptr<BlockReader> reader = spill_.reader();
    if (!reader)
        return false;
    BlockReader &in = *reader;
    for (;;) {
        if (!in.fill(4))
            return in.held() == 0 && !in.failed();
        uint32_t length = 0;
        std::memcpy(&length, in.view().data(), 4);
        if (!in.fill(4 + qsizetype(length)))
            return false;
        PoiRecord r;
        if (!Deserialized(in.view().sliced(4, length), r))
            return false;
        in.consume(4 + qsizetype(length));
        visit(std::move(r));
    }
}

bool RecordSpool::read(qint64 at, PoiRecord &record)
{
    uint32_t length = 0;
    if (!spill_.readAt(at, reinterpret_cast<char *>(&length), 4))
        return false;
    QByteArray bytes(qsizetype(length), Qt::Uninitialized);
    if (!spill_.readAt(at + 4, bytes.data(), length))
        return false;
    record = PoiRecord();
    return Deserialized(bytes, record);
}

}  // namespace orvalis
