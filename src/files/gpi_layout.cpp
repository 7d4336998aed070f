#include "files/gpi_layout.h"

#include "files/poi_record.h"

#include <cmath>

namespace orvalis::gpi {

std::optional<int32_t> UnitsOfDegrees(QByteArrayView text)
{
    const std::optional<long double> degrees = CoordinateNumber(text);
    if (!degrees || !(*degrees >= -180 && *degrees <= 180))
        return std::nullopt;
    const long long units = std::llround(*degrees * (2147483648.0L / 180.0L));
    // +180 degrees is 2^31 units, one past the type: the same meridian as -180.
    return static_cast<int32_t>(units == 2147483648LL ? -2147483648LL : units);
}

QByteArray DegreesText(int32_t units)
{
    // The exact value is units * 45 / 2^29 degrees. A decimal c / 10^d stands
    // for this unit when it lies within half a unit of it:
    // |c * 2^29 - units * 45 * 10^d| < 45 * 10^d / 2. The first such c, by
    // growing d, is confirmed through UnitsOfDegrees itself (a double's
    // rounding could decide a case that near half a unit otherwise).
    const __int128 u = units;
    __int128 ten = 1;
    QByteArray text;
    for (int d = 0; d <= 10; ++d, ten *= 10) {
        const __int128 scaled = u * 45 * ten;  // c * 2^29 would equal this exactly
        const __int128 half = __int128(1) << 28;
        const __int128 c = scaled >= 0 ? (scaled + half) >> 29 : -((-scaled + half) >> 29);
        const __int128 twice = 2 * (c * (__int128(1) << 29) - scaled);
        if ((twice < 0 ? -twice : twice) >= 45 * ten)
            continue;
        char digits[24];
        int n = 0;
        for (uint64_t m = static_cast<uint64_t>(c < 0 ? -c : c); m > 0 || n <= d; m /= 10)
            digits[n++] = static_cast<char>('0' + m % 10);
        text.clear();
        if (c < 0)
            text += '-';
        for (int i = n - 1; i >= 0; --i) {
            text += digits[i];
            if (i == d && d > 0)
                text += '.';
        }
        if (UnitsOfDegrees(text) == units)
            return text;
    }
    // Not reached for any unit: ten decimals always name it.
    return text;
}

}  // namespace orvalis::gpi
