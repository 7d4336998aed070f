#include "progress.h"

#include <QCoreApplication>
#include <QLocale>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalis::cli {

namespace {

constexpr qint64 kRedrawMs = 200;

QString Mebibytes(double bytes)
{
    return QCoreApplication::translate("Cli", "%1 MiB").arg(QLocale::system().toString(bytes / (1 << 20), 'f', 1));
}

QString Duration(qint64 seconds)
{
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

Progress &Progress::Global()
{
    static Progress progress;
    return progress;
}

void Progress::expect(int fd, int readings)
{
    if (mode_ == Mode::Off)
        return;
    struct stat st {};
    const bool file = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    // Scripts see nothing: only a person at a terminal, or one who asked.
    if (mode_ == Mode::Auto && (!file || !::isatty(STDERR_FILENO)))
        return;
    if (!on_) {
        on_ = true;
        started_.start();
    }
    if (file)
        total_ += static_cast<qint64>(st.st_size) * readings;
    else
        sizeKnown_ = false;
}

void Progress::startReading()
{
    before_ = done_;
    readingNow_ = 0;
}

void Progress::seen(qint64 readingBytes)
{
    readingNow_ = readingBytes;
    done_ = before_ + readingBytes;
    total_ = std::max(total_, done_);  // a file that grew, or one more reading
    const qint64 now = started_.elapsed();
    if (lastDraw_ < 0 || now - lastDraw_ >= kRedrawMs) {
        lastDraw_ = now;
        draw();
    }
}

QString Progress::line() const
{
    const double seconds = std::max<qint64>(started_.elapsed(), 1) / 1000.0;
    const double rate = static_cast<double>(done_) / seconds;
    if (!sizeKnown_ || total_ <= 0)
        return QCoreApplication::translate("Cli", "%1 read, %2/s").arg(Mebibytes(static_cast<double>(done_)), Mebibytes(rate));
    const int percent = static_cast<int>(done_ * 100 / total_);
    const qint64 left = rate > 0 ? static_cast<qint64>(static_cast<double>(total_ - done_) / rate + 0.5) : 0;
    return QCoreApplication::translate("Cli", "%1% of %2, %3/s, %4 left")
        .arg(percent, 3)
        .arg(Mebibytes(static_cast<double>(total_)), Mebibytes(rate), Duration(left));
}

void Progress::draw()
{
    const QString text = line();
    // Spaces over what the longer line before left.
    const QByteArray bytes = '\r' + text.toUtf8() + QByteArray(std::max<qsizetype>(0, shown_ - text.size()), ' ');
    shown_ = static_cast<int>(text.size());
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

void Progress::clear()
{
    if (shown_ == 0)
        return;
    const QByteArray blank = '\r' + QByteArray(shown_, ' ') + '\r';
    std::fwrite(blank.constData(), 1, static_cast<size_t>(blank.size()), stderr);
    std::fflush(stderr);
    shown_ = 0;
}

}  // namespace orvalis::cli
