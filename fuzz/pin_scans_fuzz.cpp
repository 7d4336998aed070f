// The pin read-back scans on any page text: no out-of-range read, and what
// they return is at most 8 characters each, both or neither.
#include "maps/pin_readback.h"

#include <cstdint>
#include <cstdlib>

using namespace orvalis;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString t = ReadBackText(text);
    for (const PinReading &reading : {ScanAddPage(t), ScanMovePage(t), ScanAddPage(text), ScanMovePage(text)}) {
        for (QChar c : reading.latitude)
            if (c < u'-' || c > u'9')
                std::abort();
        if (const auto done = FinishReading(reading, u',')) {
            if (done->latitude.size() > 8 || done->longitude.size() > 8 || done->latitude.isEmpty() || done->longitude.isEmpty())
                std::abort();
        }
    }
    return 0;
}
