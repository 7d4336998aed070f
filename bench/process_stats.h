#pragma once
// What the benchmarks read of their own process.
#include <QByteArray>
#include <QFile>
#include <cstring>
#include <ctime>

namespace orvalis::bench {

// A field of /proc/self/status in KiB (VmRSS:, VmHWM:); 0 when unknown.
inline long StatusKiB(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(std::strlen(field))).trimmed().split(' ').first().toLong();
    return 0;
}
inline long PeakKiB() { return StatusKiB("VmHWM:"); }
// Starts the peak over from the present size (Linux: "5" to clear_refs); false when it cannot.
inline bool ResetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}
inline long RssKiB() { return StatusKiB("VmRSS:"); }

// CPU time of the process so far, user and system, in milliseconds.
inline double CpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

}  // namespace orvalis::bench
