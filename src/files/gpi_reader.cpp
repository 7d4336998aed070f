#include "files/gpi_format.h"

#include "files/gpi_layout.h"
#include "files/record_spool.h"
#include "files/text_codecs.h"

#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace orvalis {

using namespace gpi;

namespace {

// The largest record held whole (a waypoint's own fields, a comment, an
// address...); a longer one is damage, not a reason to take the memory.
constexpr qint64 kLargestHeld = qint64(4) << 20;
// Containers (groups, areas, a waypoint) nested deeper than this are damage.
constexpr size_t kDeepest = 64;
// Category names kept at most, in characters, for the whole file.
constexpr qsizetype kCategoryChars = qsizetype(1) << 20;
// The record property that holds a waiting POI's category numbers.
const QString kWaitingCategories = QStringLiteral("\x01gpi categories");

struct Header {
    uint16_t type = 0, flags = 0;
    qint64 length = 0;  // after the header
    qint64 main = 0;    // the record's own fields
    qsizetype size = 8;
};

Header HeaderAt(const char *p)
{
    Header h;
    h.type = U16(p);
    h.flags = U16(p + 2);
    h.length = U32(p + 4);
    h.main = h.length;
    if (h.flags & kHasMainLength) {
        h.main = U32(p + 8);
        h.size = 12;
    }
    return h;
}

// Fields read from a record held whole; any read past its end marks it bad.
class Fields {
public:
    explicit Fields(QByteArrayView bytes) : b_(bytes) {}
    bool bad() const { return bad_; }
    qsizetype left() const { return b_.size() - at_; }
    QByteArrayView take(qint64 n)
    {
        if (bad_ || n < 0 || n > left()) {
            bad_ = true;
            return {};
        }
        const QByteArrayView v = b_.sliced(at_, n);
        at_ += n;
        return v;
    }
    uint16_t u16()
    {
        const QByteArrayView v = take(2);
        return bad_ ? 0 : U16(v.data());
    }
    uint32_t u32()
    {
        const QByteArrayView v = take(4);
        return bad_ ? 0 : U32(v.data());
    }
    // A length and its bytes.
    QByteArrayView plain() { return take(u16()); }
    // Texts by language: the first one (files in one language hold one).
    QByteArrayView localized()
    {
        Fields list(take(u32()));
        list.take(2);  // the language code
        const QByteArrayView text = list.plain();
        bad_ = bad_ || list.bad();
        return text;
    }

private:
    QByteArrayView b_;
    qsizetype at_ = 0;
    bool bad_ = false;
};

class TextDecoder {
public:
    // False for a code page we cannot read.
    bool setCodePage(int codePage)
    {
        codePage_ = codePage;
        if (codePage == 1252 || codePage == 65001)
            return true;
        other_ = QStringDecoder(QByteArrayLiteral("windows-") + QByteArray::number(codePage));
        return other_.isValid();
    }
    QString operator()(QByteArrayView bytes)
    {
        if (codePage_ == 1252)
            return DecodeWindows1252(bytes);
        QString text;
        if (codePage_ == 65001)
            return DecodeUtf8Strict(bytes, &text) ? text : DecodeWindows1252(bytes);
        text = other_.decode(bytes);
        other_.resetState();
        return text;
    }

private:
    int codePage_ = 1252;
    QStringDecoder other_;
};

// Speeds to a tenth of a km/h: the unit is 0.036 km/h, so a tenth written reads back.
QByteArray SpeedText(uint16_t units)
{
    const long double tenths = std::round(units * kKmhPerSpeedUnit * 10);
    QByteArray text = QByteArray::number(static_cast<double>(tenths / 10), 'f', 1);
    if (text.endsWith(".0"))
        text.chop(2);
    return text;
}

class GpiReader {
public:
    GpiReader(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, const CoordinateFilter &wanted)
        : in_(in), visit_(visit), wanted_(wanted)
    {
    }

    GpiRead run()
    {
        if (!need(8))
            return GpiRead::NotGpi;
        if (!LooksLikeGpi(in_.view()))
            return GpiRead::NotGpi;
        GpiRead status = walk();
        // The POIs waiting for a category are the file's too, damaged or not;
        // a POI cut by the damage is not.
        while (!open_.empty()) {
            if (status != GpiRead::Ok && open_.back().type == kWaypoint)
                open_.pop_back();
            else if (!close() && status == GpiRead::Ok)
                status = GpiRead::TemporaryFileFailed;
        }
        return status;
    }
    int waypoints() const { return waypoints_; }
    int codePage() const { return codePage_; }

private:
    struct Container {
        uint16_t type;
        qint64 end;
    };

    bool need(qint64 n)
    {
        if (in_.held() < n)
            in_.fill(n);
        return in_.held() >= n;
    }
    void consume(qint64 n)
    {
        in_.consume(n);
        pos_ += n;
    }
    bool skip(qint64 n)
    {
        while (n > 0) {
            if (in_.held() == 0 && (!in_.more() || in_.held() == 0))
                return false;
            const qint64 k = std::min<qint64>(n, in_.held());
            consume(k);
            n -= k;
        }
        return true;
    }

    GpiRead walk()
    {
        for (;;) {
            while (!open_.empty() && pos_ == open_.back().end)
                if (!close())
                    return GpiRead::TemporaryFileFailed;
            // Files end with an end record: without it the file was cut.
            if (!need(8) || ((U16(in_.view().data() + 2) & kHasMainLength) && !need(12)))
                return GpiRead::Damaged;
            const Header h = HeaderAt(in_.view().data());
            const qint64 end = pos_ + h.size + h.length;
            if ((!open_.empty() && end > open_.back().end) || h.main > h.length)
                return GpiRead::Damaged;
            if (h.type == kEnd && open_.empty())
                return GpiRead::Ok;
            const GpiRead step = record(h, end);
            if (step != GpiRead::Ok)
                return step;
        }
    }

    // The record whose header starts the view.
    GpiRead record(const Header &h, qint64 end)
    {
        const bool inWaypoint = !open_.empty() && open_.back().type == kWaypoint;
        switch (h.type) {
        case kGroup:
        case kArea:
        case kWaypoint:
            return open_.size() < kDeepest ? enter(h, end) : GpiRead::Damaged;
        case kFormat:
        case kCategory:
            break;
        case kAlert:
        case kCategoryRef:
        case kComment:
        case kAddress:
        case kContact:
        case kDescription:
            if (inWaypoint)
                break;
            [[fallthrough]];
        default:
            return skip(h.size + h.length) ? GpiRead::Ok : GpiRead::Damaged;
        }
        // A record of fields, held whole.
        if (h.size + h.length > kLargestHeld || !need(h.size + h.length))
            return GpiRead::Damaged;
        Fields f(in_.view().sliced(h.size, h.length));
        const GpiRead read = fields(h.type, f);
        consume(h.size + h.length);
        return read;
    }

    GpiRead fields(uint16_t type, Fields &f)
    {
        switch (type) {
        case kFormat: {
            // "POI", two bytes, the version ("00"), then the code page.
            f.take(8);
            const uint16_t codePage = f.u16();
            if (f.bad())
                return GpiRead::Ok;  // none given: Windows-1252
            codePage_ = codePage;
            return decode_.setCodePage(codePage) ? GpiRead::Ok : GpiRead::UnknownCodePage;
        }
        case kCategory: {
            const uint16_t id = f.u16();
            const QString name = decode_(f.localized());
            if (!f.bad() && categoryChars_ + name.size() <= kCategoryChars) {
                categoryChars_ += name.size();
                categories_[id] = name;
            }
            return GpiRead::Ok;
        }
        case kAlert: {
            const uint16_t proximity = f.u16(), speed = f.u16();
            if (proximity > 0)
                record_.properties.push_back({QStringLiteral("proximity"), QByteArray::number(proximity)});
            if (speed > 0)
                record_.properties.push_back({QStringLiteral("speed"), SpeedText(speed)});
            break;
        }
        case kCategoryRef:
            categoryRefs_.push_back(f.u16());
            break;
        case kComment:
            record_.cmt = decode_(f.localized());
            break;
        case kDescription: {
            // A byte before the texts (1 in every file seen); without it when only the lengths say so.
            Fields withByte = f, without = f;
            withByte.take(1);
            const QByteArrayView text = withByte.localized(), bare = without.localized();
            const bool bareFits = !without.bad() && without.left() == 0;
            if (bareFits && (withByte.bad() || withByte.left() > 0))
                record_.desc = decode_(bare);
            else if (!withByte.bad())
                record_.desc = decode_(text);
            else
                f.take(f.left() + 1);  // damage
            break;
        }
        case kAddress:
        case kContact: {
            const uint16_t mask = f.u16();
            const bool address = type == kAddress;
            const size_t n = address ? std::size(kAddressKeys) : std::size(kContactKeys);
            for (size_t i = 0; i < n && !f.bad(); ++i) {
                if (!(mask & (1u << i)))
                    continue;
                const QString text = decode_(address && !kAddressPlain[i] ? f.localized() : f.plain());
                if (!f.bad() && !text.isEmpty())
                    record_.properties.push_back({QString::fromLatin1(address ? kAddressKeys[i] : kContactKeys[i]), JsonStringOf(text)});
            }
            break;
        }
        default:
            break;
        }
        return f.bad() ? GpiRead::Damaged : GpiRead::Ok;
    }

    GpiRead enter(const Header &h, qint64 end)
    {
        if (h.type == kArea) {
            // Its bounds and flags; the POIs follow.
            if (!skip(h.size + ((h.flags & kHasMainLength) ? h.main : h.length)))
                return GpiRead::Damaged;
            open_.push_back({kArea, end});
            return GpiRead::Ok;
        }
        if (h.type == kGroup) {
            // Its name; areas, categories and bitmaps follow.
            if (!need(h.size + 4))
                return GpiRead::Damaged;
            const qint64 own = 4 + qint64(U32(in_.view().data() + h.size));
            if (own > h.length || h.size + own > kLargestHeld || !need(h.size + own))
                return GpiRead::Damaged;
            Fields f(in_.view().sliced(h.size, own));
            groupName_ = decode_(f.localized());
            groupJson_ = JsonStringOf(groupName_);
            consume(h.size + own);
            categories_.clear();
            categoryChars_ = 0;
            open_.push_back({kGroup, end});
            return f.bad() ? GpiRead::Damaged : GpiRead::Ok;
        }
        // A waypoint: its own fields, then records about it.
        ++waypoints_;
        if (h.size + h.main > kLargestHeld || !need(h.size + h.main))
            return GpiRead::Damaged;
        Fields f(in_.view().sliced(h.size, h.main));
        const int32_t lat = static_cast<int32_t>(f.u32()), lon = static_cast<int32_t>(f.u32());
        f.take(3);
        const QByteArrayView name = f.localized();
        if (f.bad())
            return GpiRead::Damaged;
        record_ = PoiRecord();
        categoryRefs_.clear();
        record_.lat = DegreesText(lat);
        record_.lon = DegreesText(lon);
        if (wanted_ && !wanted_(record_.lat, record_.lon))
            return skip(h.size + h.length) ? GpiRead::Ok : GpiRead::Damaged;
        record_.name = decode_(name);
        consume(h.size + h.main);
        open_.push_back({kWaypoint, end});
        return GpiRead::Ok;
    }

    // The container that ends here; false when a POI could not be put aside.
    bool close()
    {
        const uint16_t type = open_.back().type;
        open_.pop_back();
        if (type == kWaypoint)
            return finishWaypoint();
        if (type == kGroup && spool_) {
            std::unique_ptr<RecordSpool> spool = std::move(spool_);
            return spool->replay([&](PoiRecord &&r) {
                std::vector<uint16_t> ids;
                for (auto p = r.properties.begin(); p != r.properties.end(); ++p)
                    if (p->key == kWaitingCategories) {
                        for (const QByteArray &id : p->json.split(','))
                            ids.push_back(static_cast<uint16_t>(id.toUInt()));
                        r.properties.erase(p);
                        break;
                    }
                setCategory(r, ids);
                visit_(std::move(r));
            });
        }
        return true;
    }

    bool knows(const std::vector<uint16_t> &ids) const
    {
        return std::all_of(ids.begin(), ids.end(), [&](uint16_t id) { return categories_.count(id) > 0; });
    }

    // The category first among the properties: the ones named, else the group's.
    void setCategory(PoiRecord &r, const std::vector<uint16_t> &ids) const
    {
        QStringList names;
        for (uint16_t id : ids) {
            const auto c = categories_.find(id);
            if (c != categories_.end() && !names.contains(c->second))
                names.push_back(c->second);
        }
        if (names.isEmpty() && groupName_.isEmpty())
            return;
        // The group's, made once for all its POIs.
        const QByteArray json = names.isEmpty() ? groupJson_ : JsonStringOf(names.join(QStringLiteral(", ")));
        r.properties.insert(r.properties.begin(), {QStringLiteral("category"), json});
    }

    bool finishWaypoint()
    {
        // A category named further on: this POI and those after it in the
        // group wait, in order, until the group ends.
        if (!spool_ && !knows(categoryRefs_))
            spool_ = std::make_unique<RecordSpool>();
        if (spool_) {
            QByteArray ids;
            for (uint16_t id : categoryRefs_)
                ids += (ids.isEmpty() ? "" : ",") + QByteArray::number(id);
            record_.properties.push_back({kWaitingCategories, ids});
            spool_->append(record_);
            return spool_->ok();
        }
        setCategory(record_, categoryRefs_);
        visit_(std::move(record_));
        return true;
    }

    BlockReader &in_;
    const std::function<void(PoiRecord &&)> &visit_;
    const CoordinateFilter &wanted_;
    qint64 pos_ = 0;
    std::vector<Container> open_;
    TextDecoder decode_;
    int codePage_ = 1252;
    QString groupName_;
    QByteArray groupJson_;
    std::map<uint16_t, QString> categories_;
    qsizetype categoryChars_ = 0;
    PoiRecord record_;
    std::vector<uint16_t> categoryRefs_;
    std::unique_ptr<RecordSpool> spool_;
    int waypoints_ = 0;
};

}  // namespace

bool LooksLikeGpi(QByteArrayView head)
{
    if (head.size() < 14 || U16(head.data()) != kHeader)
        return false;
    const qsizetype at = (U16(head.data() + 2) & kHasMainLength) ? 12 : 8;
    return head.size() >= at + 6 && head.sliced(at, 6) == "GRMREC";
}

GpiRead ForEachGpiRecord(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result,
                         const CoordinateFilter &wanted, int *codePage)
{
    in.fill(18);
    GpiReader reader(in, visit, wanted);
    const GpiRead status = reader.run();
    if (result) {
        result->counter = reader.waypoints();
        result->truncated = status == GpiRead::Damaged;
    }
    if (codePage)
        *codePage = reader.codePage();
    return status;
}

}  // namespace orvalis
