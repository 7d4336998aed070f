#include "files/ov2_format.h"

#include "files/pages_behind.h"
#include "files/text_codecs.h"
#include "geo/decimal_entry.h"
#include "geo/geodesy.h"
#include "table/row_halves.h"

#include <QVarLengthArray>
#include <QtEndian>
#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>

namespace orvalis {

uint32_t Ov2U32(const char *p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return qFromLittleEndian(v);
}

namespace {

void PutU32(char *p, uint32_t v)
{
    v = qToLittleEndian(v);
    std::memcpy(p, &v, 4);
}

}  // namespace

Ov2Rounded RoundOv2(int32_t value)
{
    // The float nearest value * 0.00001, then rounded half away from zero to
    // five decimals and seven significant digits, on its exact binary value.
    const float degrees = static_cast<float>(static_cast<long double>(value) * 0.00001L);
    // |degrees| = mantissa / 2^shift, straight from the float's bits.
    const uint32_t bits = std::bit_cast<uint32_t>(degrees);
    const int biased = static_cast<int>((bits >> 23) & 0xFF);
    const uint64_t mantissa = biased == 0 ? (bits & 0x7FFFFF) : ((bits & 0x7FFFFF) | 0x800000);
    const int shift = biased == 0 ? 149 : 150 - biased;
    const float magnitude = std::fabs(degrees);
    const int intDigits = magnitude >= 10000 ? 5 : magnitude >= 1000 ? 4 : magnitude >= 100 ? 3 : 2;
    const int decimals = std::min(5, 7 - intDigits);
    static const uint64_t tens[] = {1, 10, 100, 1000, 10000, 100000};
    // mantissa < 2^24 and tens < 2^17: the product fits 64 bits.
    uint64_t scaled = 0;
    if (degrees != 0 && shift < 63) {
        const uint64_t product = mantissa * tens[decimals];
        if (shift <= 0) {
            scaled = product << -shift;
        } else {
            scaled = product >> shift;
            const uint64_t rest = product & ((uint64_t{1} << shift) - 1);
            if (rest >= (uint64_t{1} << (shift - 1)))
                ++scaled;
        }
    }
    return {static_cast<uint32_t>(scaled), decimals, degrees < 0 && scaled != 0};
}

long double Ov2RoundedDegrees(const Ov2Rounded &r)
{
    // What ParseDecimal makes of the text: its digits (five decimals) over 10^5.
    static const uint32_t padding[] = {100000, 10000, 1000, 100, 10, 1};
    const long double v = static_cast<long double>(uint64_t{r.scaled} * padding[r.decimals]) / 1e5L;
    return r.negative ? -v : v;
}

int Ov2CoordinateChars(int32_t value, char separator, char *out)
{
    return Ov2RoundedChars(RoundOv2(value), separator, out);
}

int Ov2RoundedChars(const Ov2Rounded &rounded, char separator, char *out)
{
    const auto [scaled, decimals, negative] = rounded;
    // scaled has `decimals` decimals (at most 10^7: seven significant digits);
    // written with five, two digits at a time from the end.
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char digits[16];
    char *end = digits + sizeof digits, *p = end;
    uint32_t v = scaled;
    while (v >= 100) {
        const uint32_t q = v / 100;
        p -= 2;
        std::memcpy(p, kPairs + 2 * (v - q * 100), 2);
        v = q;
    }
    if (v >= 10) {
        p -= 2;
        std::memcpy(p, kPairs + 2 * v, 2);
    } else {
        *--p = static_cast<char>('0' + v);
    }
    while (end - p <= decimals)
        *--p = '0';
    const auto whole = static_cast<size_t>(end - p - decimals);
    int n = 0;
    if (negative)
        out[n++] = '-';
    std::memcpy(out + n, p, whole);
    n += static_cast<int>(whole);
    out[n++] = separator;
    std::memcpy(out + n, p + whole, static_cast<size_t>(decimals));
    n += decimals;
    for (int i = decimals; i < 5; ++i)
        out[n++] = '0';
    return n;
}

QString Ov2CoordinateText(int32_t value, QChar separator)
{
    char buf[32];
    const int n = Ov2CoordinateChars(value, separator == u',' ? ',' : '.', buf);
    QString text = QString::fromLatin1(buf, n);
    if (separator != u',' && separator != u'.')
        text.replace(u'.', separator);
    return text;
}

namespace {

// A plain decimal ("-48.85661", "2,5") in hundred-thousandths from its digits,
// when they decide the rounding as the extended-precision product does: not
// for a sixth decimal that makes it (nearly) halfway, nor for more digits than
// a double holds. Nothing for those and for any other form.
template <typename Char>
std::optional<int32_t> PlainDecimalOv2Value(const Char *p, qsizetype n)
{
    qsizetype i = 0;
    const bool negative = n > 0 && p[0] == '-';
    i += negative ? 1 : 0;
    int64_t scaled = 0;
    const qsizetype intStart = i;
    for (; i < n && p[i] >= '0' && p[i] <= '9'; ++i) {
        if (i - intStart == 9)
            return std::nullopt;  // more than nine whole digits: read otherwise (more would overflow here)
        scaled = scaled * 10 + (p[i] - '0');
    }
    qsizetype digits = i - intStart;
    if (digits == 0)
        return std::nullopt;
    int fraction = 0;
    bool up = false;
    if (i < n) {
        if (p[i] != '.' && p[i] != ',')
            return std::nullopt;
        const qsizetype fracStart = ++i;
        for (; i < n && p[i] >= '0' && p[i] <= '9'; ++i) {
            if (i - fracStart < 5)
                fraction = fraction * 10 + (p[i] - '0');
        }
        const qsizetype places = i - fracStart;
        digits += places;
        if (places == 0 || i < n || digits > 15)
            return std::nullopt;
        if (places > 5) {
            const int sixth = p[fracStart + 5] - '0';
            if (sixth == 5 || (sixth == 4 && places > 6))
                return std::nullopt;
            up = sixth > 5;
        }
        for (qsizetype k = places; k < 5; ++k)
            fraction *= 10;
    }
    scaled = scaled * 100000 + fraction + (up ? 1 : 0);
    if (negative)
        return static_cast<int32_t>(std::max<int64_t>(-scaled, INT32_MIN));
    return static_cast<int32_t>(std::min<int64_t>(scaled, INT32_MAX));
}

// Degrees in hundred-thousandths: extended precision, not a float (0.000015
// must scale to exactly 1.5), ties to even, clamped to the integer's range.
int32_t Ov2Scaled(std::optional<long double> number)
{
    const long double degrees = number.value_or(0.0L);
    const long double scaled = std::nearbyint(degrees * 100000.0L);  // ties to even
    if (scaled >= 2147483647.0L)
        return 2147483647;
    if (scaled <= -2147483648.0L)
        return -2147483647 - 1;
    return static_cast<int32_t>(scaled);
}

}  // namespace

int32_t Ov2CoordinateValue(QByteArrayView text)
{
    if (const auto v = PlainDecimalOv2Value(text.data(), text.size()))
        return *v;
    // A sixth decimal of 5 (one coordinate in ten of six decimals): the units
    // as QString::fromLatin1 gives them, on the stack, commas as periods.
    char16_t units[64];
    if (text.size() > qsizetype(std::size(units)))
        return Ov2CoordinateValue(QString::fromLatin1(text), u'.');
    for (qsizetype i = 0; i < text.size(); ++i)
        units[i] = text[i] == ',' ? u'.' : char16_t(static_cast<unsigned char>(text[i]));
    return Ov2Scaled(ParseDecimal(QStringView(units, text.size()), u'.'));
}

int32_t Ov2CoordinateValue(const QString &cell, QChar separator)
{
    if (const auto v = PlainDecimalOv2Value(cell.utf16(), cell.size()))
        return *v;
    return Ov2Scaled(ParseDecimal(ToLocaleSeparator(cell, separator), separator));
}

void SetOv2Coordinates(PoiTable &table, int row, int32_t lat, int32_t lon, QChar separator)
{
    if (separator.unicode() < 128) {
        char buf[32];
        const char sep = static_cast<char>(separator.unicode());
        table.setFieldLatin1(row, FieldLatitude, buf, Ov2CoordinateChars(lat, sep, buf));
        table.setFieldLatin1(row, FieldLongitude, buf, Ov2CoordinateChars(lon, sep, buf));
    } else {
        table.setField(row, FieldLatitude, Ov2CoordinateText(lat, separator));
        table.setField(row, FieldLongitude, Ov2CoordinateText(lon, separator));
    }
}

std::optional<QByteArrayView> Ov2RecordName(const char *bytes, qint64 size, qint64 start, qint64 length)
{
    const qint64 nameStart = start + 13;
    const qint64 end = std::min(size, start + length);
    if (nameStart > end)
        return std::nullopt;
    const void *zero = std::memchr(bytes + nameStart, 0, static_cast<size_t>(end - nameStart));
    if (!zero)
        return std::nullopt;
    return QByteArrayView(bytes + nameStart, static_cast<const char *>(zero) - (bytes + nameStart));
}

namespace {

// The description of a record as DecodeFileText reads it, kept as 8-bit text
// when it fits without building a QString.
void StoreFileText(PoiTable &table, int row, QByteArrayView name)
{
    QVarLengthArray<char, 1024> buf(name.size());
    qsizetype length = 0;
    switch (Utf8AsWindows1252(name, buf.data(), &length)) {
    case Utf8Text::Windows1252:
        table.setFieldWindows1252(row, FieldDescription, QByteArrayView(buf.data(), length));
        return;
    case Utf8Text::Wide: {
        QString text;
        if (WideUtf8Reads(name, &text)) {
            table.setField(row, FieldDescription, text);
            return;
        }
        break;
    }
    case Utf8Text::Invalid:
        break;
    }
    table.setFieldWindows1252(row, FieldDescription, name);
}

}  // namespace

Ov2Survey SurveyOv2(QByteArrayView data)
{
    const char *bytes = data.data();
    const qint64 size = data.size();
    Ov2Survey survey;
    int numbers = 0;
    qint64 pos = 0;
    while (pos < size) {
        const qint64 start = pos;
        // Each record's place comes from the one before: the bytes ahead are
        // asked for early, or every step would wait for memory.
        __builtin_prefetch(bytes + std::min(pos + 2048, size - 1));
        if (survey.middle < 0 && start >= size / 2 && start > 0) {
            survey.middle = start;
            survey.numbersBeforeMiddle = numbers;
        }
        const auto type = static_cast<unsigned char>(bytes[pos++]);
        if (type == 1) {
            pos += 20;
        } else if (type == 0 || type == 2 || type == 3) {
            if (size - pos < 4)
                break;
            const qint64 length = Ov2U32(bytes + pos);
            if (length < 5)
                break;
            if (type == 2 || type == 3)
                ++numbers;
            if (type == 2) {
                ++survey.records;
                survey.lastPoiNumber = numbers;
            }
            pos = start + length;
        }
    }
    return survey;
}

namespace {

// Reads the simple records into rows, each name decided on its own; true
// (a damaged record ends the reading and says so in `result`).
// Where a reading puts its rows: after `offset` POI numbers, into rows the
// table already has when `presized` (two readers fill one table at once).
struct Placement {
    int offset = 0;
    bool presized = false;
    int lastRow = 0;  // the last row filled
};

bool ReadOv2Names(QByteArrayView data, PoiTable &table, QChar separator, ReadResult &result, Placement &placement,
                  std::vector<QByteArrayView> *names = nullptr, ReadPages read = ReadPages::Kept)
{
    const char *bytes = data.data();
    const qint64 size = data.size();
    // Names are copied into the rows, so what lies behind is never read again.
    PagesBehind behind(bytes, read == ReadPages::GivenBack && !names);
    qint64 pos = 0;
    while (pos < size) {
        const qint64 start = pos;
        behind.passed(bytes + start);
        __builtin_prefetch(bytes + std::min(pos + 2048, size - 1));  // as in SurveyOv2
        const auto type = static_cast<unsigned char>(bytes[pos++]);
        switch (type) {
        case 0:
        case 3: {
            if (size - pos < 4) {
                result.truncated = true;
                return true;
            }
            const qint64 length = Ov2U32(bytes + pos);
            // A length below 5 would move backwards.
            if (length < 5) {
                result.truncated = true;
                return true;
            }
            if (start + length > size) {
                // Cut short: an extended record whose fixed part and name are
                // there still takes its POI number; nothing after it can be trusted.
                if (type == 3 && Ov2RecordName(bytes, size, start, length))
                    ++result.counter;
                result.truncated = true;
                return true;
            }
            pos = start + length;
            if (type == 3)
                ++result.counter;  // an extended record takes a POI number, and no row
            break;
        }
        case 1:
            if (size - pos < 20) {
                result.truncated = true;
                return true;
            }
            pos += 20;  // the records it encloses are read one by one
            break;
        case 2: {
            if (size - pos < 12) {
                result.truncated = true;
                return true;
            }
            const qint64 length = Ov2U32(bytes + pos);
            const auto lon = static_cast<int32_t>(Ov2U32(bytes + pos + 4));
            const auto lat = static_cast<int32_t>(Ov2U32(bytes + pos + 8));
            const auto name = Ov2RecordName(bytes, size, start, length);
            if (!name) {
                result.truncated = true;
                return true;
            }
            const qint64 nameStart = pos + 12;
            const qint64 nameEnd = nameStart + name->size();
            const qint64 recordEnd = start + length;
            if (recordEnd < nameEnd + 1) {
                result.truncated = true;
                return true;
            }
            // A length past the end of the file (a cut or damaged file) keeps this
            // complete POI and ends the reading.
            const bool cut = recordEnd > size;
            if (result.counter == INT32_MAX - 1)
                return true;
            ++result.counter;
            const int row = placement.offset + result.counter;
            if (!placement.presized)
                table.setRowCount(row + 1);
            else if (!table.isValidRow(row))
                return true;  // past the rows the length walk found: cannot happen, never written
            table.setNumber(row, row);
            placement.lastRow = row;
            SetOv2Coordinates(table, row, lat, lon, separator);
            if (names)
                (*names)[static_cast<size_t>(row - 1)] = *name;  // decoded later, if at all
            else
                StoreFileText(table, row, *name);
            if (cut) {
                result.truncated = true;
                return true;
            }
            pos = recordEnd;
            break;
        }
        default:
            ++result.unknownBytes;  // the next byte is read as a new type byte
            break;
        }
    }
    return true;
}

}  // namespace

namespace {

constexpr qint64 kTwoReadersBytes = 4 << 20;

// The two halves of a big file read at once, into rows made beforehand;
// nothing when the halves do not join.
std::optional<ReadResult> ReadOv2Halves(QByteArrayView data, PoiTable &table, QChar separator, const Ov2Survey &survey,
                                        std::vector<QByteArrayView> *names = nullptr, ReadPages read = ReadPages::Kept)
{
    table.setRowCount(std::max(survey.lastPoiNumber, 1) + 1);
    ReadResult first, second;
    Placement firstRows{0, true}, secondRows{survey.numbersBeforeMiddle, true};
    bool firstOk = false, secondOk = false;
    RunBoth([&] { secondOk = ReadOv2Names(data.sliced(survey.middle), table, separator, second, secondRows, names, read); },
            [&] { firstOk = ReadOv2Names(data.first(survey.middle), table, separator, first, firstRows, names, read); });
    if (!firstOk || !secondOk || (!first.truncated && first.counter != survey.numbersBeforeMiddle))
        return std::nullopt;
    ReadResult result = first;
    int lastRow = firstRows.lastRow;
    if (!first.truncated) {  // a damaged record ends the reading: nothing after it counts
        result.counter += second.counter;
        result.unknownBytes += second.unknownBytes;
        result.truncated = second.truncated;
        lastRow = std::max(lastRow, secondRows.lastRow);
    }
    table.setRowCount(std::max(lastRow, 1) + 1);
    if (lastRow == 0)
        table.blankAll();
    if (names)
        names->resize(static_cast<size_t>(table.lastRow()));
    return result;
}

}  // namespace

ReadResult ReadOv2Coordinates(QByteArrayView data, PoiTable &table, QChar separator, std::vector<QByteArrayView> &names)
{
    const Ov2Survey survey = SurveyOv2(data);
    table.reserveRows(survey.records + 1);
    names.assign(static_cast<size_t>(std::max(survey.lastPoiNumber, 1)), QByteArrayView());
    if (data.size() >= kTwoReadersBytes && survey.middle > 0)
        if (const std::optional<ReadResult> halves = ReadOv2Halves(data, table, separator, survey, &names))
            return *halves;
    table.blankAll();
    table.setRowCount(std::max(survey.lastPoiNumber, 1) + 1);
    names.assign(names.size(), QByteArrayView());
    ReadResult result;
    Placement rows{0, true};
    ReadOv2Names(data, table, separator, result, rows, &names);
    table.setRowCount(std::max(rows.lastRow, 1) + 1);
    names.resize(static_cast<size_t>(table.lastRow()));
    return result;
}

void StoreOv2Names(PoiTable &table, const std::vector<QByteArrayView> &names, const std::vector<int> &rows)
{
    for (const int row : rows)
        if (row >= 1 && static_cast<size_t>(row) <= names.size() && table.number(row) != 0)
            StoreFileText(table, row, names[static_cast<size_t>(row - 1)]);
}

ReadResult ReadOv2(QByteArrayView data, PoiTable &table, QChar separator, ReadPages read)
{
    return ReadOv2WithTwoReadersFrom(data, table, separator, kTwoReadersBytes, read);
}

ReadResult ReadOv2WithTwoReadersFrom(QByteArrayView data, PoiTable &table, QChar separator, qint64 twoReadersBytes, ReadPages read)
{
    const Ov2Survey survey = SurveyOv2(data);
    table.reserveRows(survey.records + 1);
    // Big files on two cores.
    if (data.size() >= twoReadersBytes && survey.middle > 0) {
        // The halves join unless the first stops at the last POI number a
        // table can have: a second reading from the start needs the bytes.
        const ReadPages halvesRead = survey.lastPoiNumber < INT32_MAX - 1 ? read : ReadPages::Kept;
        if (const std::optional<ReadResult> halves = ReadOv2Halves(data, table, separator, survey, nullptr, halvesRead))
            return *halves;
        table.blankAll();
        table.setRowCount(2);
    }
    ReadResult result;
    Placement rows;
    ReadOv2Names(data, table, separator, result, rows, nullptr, read);
    return result;
}

void Ov2Writer::append(QByteArray &out, const QString &latitude, const QString &longitude, QByteArray name, QChar separator)
{
    append(out, Ov2CoordinateValue(latitude, separator), Ov2CoordinateValue(longitude, separator), std::move(name));
}

void Ov2Writer::append(QByteArray &out, int32_t lat, int32_t lon, QByteArray name)
{
    const uint32_t length = static_cast<uint32_t>(name.size()) + 14;
    total_ += length;
    east_ = std::max(east_, lon);
    west_ = std::min(west_, lon);
    north_ = std::max(north_, lat);
    south_ = std::min(south_, lat);
    // The record in room made once: one resize, plain copies.
    const qsizetype at = out.size();
    out.resize(at + length);
    char *d = out.data() + at;
    d[0] = 2;
    PutU32(d + 1, length);
    PutU32(d + 5, static_cast<uint32_t>(lon));
    PutU32(d + 9, static_cast<uint32_t>(lat));
    if (!name.isEmpty())
        std::memcpy(d + 13, name.constData(), size_t(name.size()));
    // A zero ends the name in the record: one inside it becomes a space.
    for (char *z = d + 13, *end = d + 13 + name.size(); (z = static_cast<char *>(std::memchr(z, 0, size_t(end - z)))) != nullptr;)
        *z++ = ' ';
    d[length - 1] = '\0';
    ++count_;
}

QByteArray Ov2Writer::header() const
{
    // The skipper record that encloses the file: its length and the POIs' bounds.
    QByteArray h(21, '\0');
    h[0] = 1;
    PutU32(h.data() + 1, total_ + 21);
    // No POI, no box: the values an empty file has always had.
    const bool none = count_ == 0;
    PutU32(h.data() + 5, static_cast<uint32_t>(none ? 0 : east_));
    PutU32(h.data() + 9, static_cast<uint32_t>(none ? 0 : north_));
    PutU32(h.data() + 13, static_cast<uint32_t>(none ? 1410065407 : west_));
    PutU32(h.data() + 17, static_cast<uint32_t>(none ? 1410065407 : south_));
    return h;
}

QByteArray Ov2FileBytes(const PoiTable &table, int first, int last, QChar separator)
{
    QByteArray out(21, '\0');
    Ov2Writer writer;
    first = std::max(first, 1);
    last = std::min(last, table.lastRow());
    // Each name on its own: Windows-1252 where it fits and reads back, UTF-8 otherwise.
    for (int row = first; row <= last; ++row) {
        const QString latText = table.field(row, FieldLatitude);
        const QString lonText = table.field(row, FieldLongitude);
        if (latText.isEmpty() || lonText.isEmpty())
            continue;
        QByteArray name;
        table.visitFieldRaw(
            row, FieldDescription,
            [&](const char *bytes, qsizetype size) {
                // Stored 8-bit: the bytes themselves, unless they would read as other text.
                const QByteArrayView stored(bytes, size);
                name = ReadsAsWindows1252(stored) ? stored.toByteArray() : TextBytes(DecodeWindows1252(stored));
            },
            [&](QStringView text) { name = TextBytes(text.toString()); });
        writer.append(out, latText, lonText, name, separator);
    }
    out.replace(0, 21, writer.header());
    return out;
}

}  // namespace orvalis
