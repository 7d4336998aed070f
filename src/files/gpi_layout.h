#pragma once

// What the GPI reader and writer share: record types, the little-endian
// fields and Garmin's coordinate units.

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <cstring>
#include <optional>

namespace orvalis::gpi {

// Record types. Every record starts with its type (u16), flags (u16) and the
// length of what follows (u32); flag 8 adds a u32, the length of the record's
// own fields, before nested records.
enum RecordType : uint16_t {
    kHeader = 0,
    kFormat = 1,  // "POI", the version and the code page
    kWaypoint = 2,
    kAlert = 3,
    kBitmapRef = 4,
    kBitmap = 5,
    kCategoryRef = 6,
    kCategory = 7,
    kArea = 8,
    kGroup = 9,
    kComment = 10,
    kAddress = 11,
    kContact = 12,
    kDescription = 14,
    kEnd = 0xFFFF,
};
inline constexpr uint16_t kHasMainLength = 8;

// Address fields by their bit, in file order; the postal code and the house
// number are plain strings, the others localized ones.
inline constexpr const char *kAddressKeys[] = {"city", "country", "state", "postal_code", "street", "house_number"};
inline constexpr bool kAddressPlain[] = {false, false, false, true, false, true};
// Contact fields by their bit, in file order, every one a plain string.
inline constexpr const char *kContactKeys[] = {"phone", "phone2", "fax", "email", "web"};

// Speeds are held in hundredths of a metre per second.
inline constexpr long double kKmhPerSpeedUnit = 0.036L;

inline uint16_t U16(const char *p)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | static_cast<uint8_t>(p[1]) << 8);
}
inline uint32_t U32(const char *p)
{
    return static_cast<uint32_t>(U16(p)) | static_cast<uint32_t>(U16(p + 2)) << 16;
}
// Appended to a QByteArray or a std::string.
template <typename Out>
void PutU16(Out &out, uint16_t v)
{
    const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    out.append(b, 2);
}
template <typename Out>
void PutU32(Out &out, uint32_t v)
{
    const char b[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF), static_cast<char>((v >> 16) & 0xFF),
                       static_cast<char>(v >> 24)};
    out.append(b, 4);
}

// Degrees as Garmin's units, 2^31 to 180 degrees, rounded to the nearest (half
// away from zero): a coordinate moves by at most half a unit, 4.2e-8 degrees
// (4.7 mm). Longitude 180 is the unit that also means -180. Nothing for a
// text that is no number or lies outside [-180, 180].
std::optional<int32_t> UnitsOfDegrees(QByteArrayView text);
// The shortest decimal text that UnitsOfDegrees takes back to the same unit:
// a coordinate written with at most 7 decimals reads back as it was written.
QByteArray DegreesText(int32_t units);

}  // namespace orvalis::gpi
