#include "files/output_sink.h"

#include <cerrno>

namespace orvalis {

OutputSink::OutputSink(const QByteArray &path, std::FILE *standardOutput) : path_(path), out_(standardOutput)
{
    if (!toStandardOutput() && !file_.open(path))
        fail();
}

OutputSink::~OutputSink()
{
    if (spool_)
        std::fclose(spool_);
}

void OutputSink::fail(OutputFailure::Where where)
{
    int error = errno;
    if (!toStandardOutput()) {
        where = OutputFailure::File;
        if (file_.failure() != SaveFailure::None)
            error = file_.error();
    }
    throw OutputFailure{where, path_, error, toStandardOutput() ? SaveFailure::None : file_.failure()};
}

bool OutputSink::writeOut(QByteArrayView bytes)
{
    return std::fwrite(bytes.data(), 1, size_t(bytes.size()), out_) == size_t(bytes.size());
}

void OutputSink::spoolUntilEnd()
{
    if (toStandardOutput() && !spool_ && !(spool_ = std::tmpfile()))
        fail(OutputFailure::TemporaryFile);
}

void OutputSink::write(QByteArray &bytes)
{
    const bool ok = spool_ ? std::fwrite(bytes.constData(), 1, size_t(bytes.size()), spool_) == size_t(bytes.size())
                    : toStandardOutput() ? writeOut(bytes)
                                         : file_.write(bytes);
    if (!ok)
        fail();
    bytes.resize(0);  // its room kept for the next megabyte
}

void OutputSink::writeAt(qint64 offset, const QByteArray &bytes)
{
    if (spool_) {
        if (std::fseek(spool_, offset, SEEK_SET) != 0 ||
            std::fwrite(bytes.constData(), 1, size_t(bytes.size()), spool_) != size_t(bytes.size()))
            fail();
        return;
    }
    if (!file_.writeAt(offset, bytes))
        fail();
}

void OutputSink::commit()
{
    if (spool_) {
        // The spool in blocks to the standard output.
        if (std::fflush(spool_) != 0 || std::fseek(spool_, 0, SEEK_SET) != 0)
            fail();
        QByteArray block(1 << 20, Qt::Uninitialized);
        size_t n = 0;
        while ((n = std::fread(block.data(), 1, size_t(block.size()), spool_)) > 0)
            if (!writeOut(QByteArrayView(block.constData(), qsizetype(n))))
                fail();
        if (std::ferror(spool_))
            fail();
    }
    if (toStandardOutput() ? std::fflush(out_) != 0 : !file_.commit())
        fail();
}

RecordOutput OutputSink::output()
{
    return {[this](QByteArray &bytes) { write(bytes); }, [this](qint64 at, const QByteArray &bytes) { writeAt(at, bytes); }};
}

}  // namespace orvalis
