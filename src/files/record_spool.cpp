#include "files/record_spool.h"

#include "files/block_reader.h"

#include <cstring>
#include <unistd.h>

namespace orvalis {

namespace {

void PutLength(QByteArray &out, qsizetype n)
{
    const auto v = static_cast<uint32_t>(n);
    out.append(reinterpret_cast<const char *>(&v), 4);
}

void Put(QByteArray &out, const QByteArray &bytes)
{
    PutLength(out, bytes.size());
    out.append(bytes);
}

// Texts as their UTF-16 code units: no conversion either way.
void PutText(QByteArray &out, const QString &text)
{
    const auto bytes = static_cast<qsizetype>(sizeof(char16_t)) * text.size();
    PutLength(out, bytes);
    out.append(reinterpret_cast<const char *>(text.utf16()), bytes);
}

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
    const qsizetype start = out.size();
    PutLength(out, 0);  // the record's length, set below
    Put(out, r.lat);
    Put(out, r.lon);
    for (const QString *t : {&r.ele, &r.time, &r.name, &r.cmt, &r.desc, &r.src, &r.sym, &r.type})
        PutText(out, *t);
    PutLength(out, static_cast<qsizetype>(r.links.size()));
    for (const PoiLink &l : r.links) {
        PutText(out, l.href);
        PutText(out, l.text);
        PutText(out, l.type);
    }
    PutLength(out, static_cast<qsizetype>(r.otherXml.size()));
    for (const QByteArray &x : r.otherXml)
        Put(out, x);
    Put(out, r.extensionsXml);
    PutLength(out, static_cast<qsizetype>(r.properties.size()));
    for (const PoiProperty &p : r.properties) {
        PutText(out, p.key);
        Put(out, p.json);
    }
    const auto total = static_cast<uint32_t>(out.size() - start - 4);
    std::memcpy(out.data() + start, &total, 4);
}

bool Deserialized(QByteArrayView bytes, PoiRecord &r)
{
    Fields f(bytes);
    bool ok = f.bytes(r.lat) && f.bytes(r.lon);
    for (QString *t : {&r.ele, &r.time, &r.name, &r.cmt, &r.desc, &r.src, &r.sym, &r.type})
        ok = ok && f.text(*t);
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

RecordSpool::RecordSpool() : file_(std::tmpfile()) {}

RecordSpool::~RecordSpool()
{
    if (file_)
        std::fclose(file_);
}

bool RecordSpool::flush()
{
    if (!file_ || pending_.isEmpty())
        return ok();
    if (std::fseek(file_, 0, SEEK_END) != 0 ||
        std::fwrite(pending_.constData(), 1, size_t(pending_.size()), file_) != size_t(pending_.size()) || std::fflush(file_) != 0)
        failed_ = true;
    pending_.clear();
    return ok();
}

qint64 RecordSpool::append(const PoiRecord &record)
{
    const qint64 at = size_;
    const qsizetype before = pending_.size();
    AppendSerialized(pending_, record);
    size_ += pending_.size() - before;
    if (pending_.size() >= (1 << 20))
        flush();
    return at;
}

bool RecordSpool::replay(const std::function<void(PoiRecord &&)> &visit)
{
    if (!flush() || std::fseek(file_, 0, SEEK_SET) != 0 || lseek(fileno(file_), 0, SEEK_SET) != 0)
        return false;
    BlockReader in(fileno(file_));
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
    if (!flush())
        return false;
    uint32_t length = 0;
    if (pread(fileno(file_), &length, 4, at) != 4)
        return false;
    QByteArray bytes(qsizetype(length), Qt::Uninitialized);
    if (pread(fileno(file_), bytes.data(), length, at + 4) != ssize_t(length))
        return false;
    record = PoiRecord();
    return Deserialized(bytes, record);
}

}  // namespace orvalis
