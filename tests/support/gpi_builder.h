#pragma once
// GPI files put together record by record: the layouts other programs write
// and the damage a reader must survive.

#include <QByteArray>
#include <QByteArrayView>
#include <cmath>
#include <cstdint>

namespace orvalis::testing::gpi {

inline QByteArray U16(uint16_t v)
{
    return QByteArray(1, char(v & 0xFF)) + char(v >> 8);
}
inline QByteArray U32(uint32_t v)
{
    return U16(uint16_t(v & 0xFFFF)) + U16(uint16_t(v >> 16));
}
// A record: type, flags, length; with `own` (flag 8) the length of its own fields first.
inline QByteArray Record(uint16_t type, const QByteArray &fields, const QByteArray &nested = {}, bool own = false)
{
    if (own || !nested.isEmpty())
        return U16(type) + U16(8) + U32(uint32_t(fields.size() + nested.size())) + U32(uint32_t(fields.size())) + fields + nested;
    return U16(type) + U16(0) + U32(uint32_t(fields.size())) + fields;
}
inline QByteArray Plain(const QByteArray &text)
{
    return U16(uint16_t(text.size())) + text;
}
inline QByteArray Localized(const QByteArray &text, const QByteArray &language = "EN")
{
    const QByteArray entry = language + Plain(text);
    return U32(uint32_t(entry.size())) + entry;
}
inline int32_t Units(double degrees)
{
    return int32_t(std::llround(degrees * 2147483648.0 / 180.0));
}
inline QByteArray Waypoint(double lat, double lon, const QByteArray &name, const QByteArray &nested = {})
{
    return Record(2, U32(uint32_t(Units(lat))) + U32(uint32_t(Units(lon))) + U16(1) + char(0) + Localized(name), nested, true);
}
inline QByteArray Area(const QByteArray &waypoints)
{
    QByteArray bounds;
    for (double d : {89.0, 179.0, -89.0, -179.0})
        bounds += U32(uint32_t(Units(d)));
    return Record(8, bounds + U32(0) + U16(1) + char(0), waypoints, true);
}
// A whole file: the headers, one group holding `inGroup` (areas, then
// categories and bitmaps), the end.
inline QByteArray File(const QByteArray &areas, const QByteArray &afterAreas = {}, uint16_t codePage = 1252,
                       const QByteArray &group = "Group")
{
    const QByteArray header = Record(0, "GRMREC00" + U32(0x45000000) + U16(0) + Plain("test.gpi"));
    const QByteArray format = Record(1, QByteArray("POI\0\0\0" "00", 8) + U16(codePage) + U16(0));
    const QByteArray own = Localized(group) + areas;
    const QByteArray groupRecord = U16(9) + U16(8) + U32(uint32_t(own.size() + afterAreas.size())) + U32(uint32_t(own.size())) +
                                   own + afterAreas;
    return header + format + groupRecord + Record(0xFFFF, {});
}

}  // namespace orvalis::testing::gpi
