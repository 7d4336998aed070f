// Records read a block at a time and written as they come: memory for a few
// records whatever the files' length, standard input of any length too.
#include "cli.h"

#include "files/record_pipe.h"
#include "files/record_writer.h"
#include "progress.h"

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace orvalis::cli {

Cli::Input::~Input()
{
    if (copy >= 0)
        ::close(copy);
}

std::unique_ptr<Cli::Input> Cli::openInput(const QByteArray &path)
{
    auto input = std::make_unique<Input>();
    int fd = 0;
    if (path == "-") {
        takeStandardInput();
    } else {
        if (!input->file.startNative(path))
            throw Failure{QCoreApplication::translate("Cli", "%1: cannot read the file").arg(Shown(path))};
        fd = input->file.descriptor();
    }
    const PoiCodec &codec = inputCodec(path);
    if (path == "-" && codec.seekableInput() && (fd = input->copy = SeekableCopy(0)) < 0)
        throw TemporaryFileFailure();
    input->reader = std::make_unique<BlockReader>(fd);
    Progress::Global().expect(fd);
    // Writers declare what the records' raw XML needs in their head: read before anything else.
    input->namespaces = codec.headNamespaces(*input->reader);
    return input;
}

std::unique_ptr<Cli::Input> Cli::openRereadable(const QByteArray &path)
{
    auto input = std::make_unique<Input>();
    if (path == "-") {
        takeStandardInput();
        if ((input->copy = SeekableCopy(0)) < 0)
            throw TemporaryFileFailure();
    } else if (!input->file.startNative(path)) {
        throw Failure{QCoreApplication::translate("Cli", "%1: cannot read the file").arg(Shown(path))};
    }
    return input;
}

void Cli::CheckReader(const QByteArray &path, const BlockReader &reader)
{
    if (reader.failed())
        throw WorkFailure(QCoreApplication::translate("Cli", "%1: reading failed").arg(Shown(path)));
    if (reader.tooLong())
        throw Failure{QCoreApplication::translate("Cli", "%1: a record longer than 256 MiB: the file is damaged or not of its format").arg(Shown(path))};
}

void Cli::readEach(const QByteArray &path, const PoiCodec &codec, BlockReader &reader, const std::function<void(PoiRecord &&)> &visit,
                   const PointFilter &wanted, DeferTexts defer) const
{
    int number = 0, bad = 0, firstBad = 0;
    ReadResult result;
    Progress &progress = Progress::Global();
    progress.startReading();
    // Every record's coordinates come here first, once: it is numbered here.
    const CoordinateFilter numbered = [&](QByteArrayView latText, QByteArrayView lonText) {
        ++number;
        progress.read(reader.bytesRead());
        if (!wanted)
            return true;
        const auto lat = CoordinateNumber(latText), lon = CoordinateNumber(lonText);
        // A record out of range is read, to be named (or left out).
        if (!lat || !lon || !CoordinatesInRange(*lat, *lon))
            return true;
        return wanted(*lat, *lon);
    };
    const bool ok = codec.readRecords(reader, [&](PoiRecord &&r) {
        if (CoordinatesInRange(r.lat, r.lon)) {
            visit(std::move(r));
            return;
        }
        if (!skipInvalid)
            throw InvalidRecord(path, number, QString::fromLatin1(r.lat), QString::fromLatin1(r.lon));
        if (bad++ == 0)
            firstBad = number;
    }, &result, numbered, defer);
    CheckReader(path, reader);
    if (!ok)
        throw Failure{NotOfFormatMessage(codec, Shown(path))};
    checkRead(path, codec, reader.bytesRead(), result, number == 0);
    if (bad > 0)
        skippedNote(path, bad, firstBad);
}

int Cli::pipeRecords(const QList<QByteArray> &inputs, const QByteArray &out, const std::function<bool(const PoiRecord &)> &keep)
{
    // Every input opened before OUT is touched; every input's namespace declarations, once, in the head.
    std::vector<std::unique_ptr<Input>> opened;
    XmlNamespaces namespaces;
    for (const QByteArray &in : inputs) {
        opened.push_back(openInput(in));
        for (auto &ns : opened.back()->namespaces)
            if (std::find(namespaces.begin(), namespaces.end(), ns) == namespaces.end())
                namespaces.push_back(ns);
    }
    // Read on one core, written on the other; the texts decoded on the writing one,
    // or written from their bytes when the format takes them (`keep` sees them
    // left as bytes: JoinedName decodes the two it may look at).
    const bool asBytes = outputCodec(out).writesTextBytes();
    const DeferTexts defer = asBytes ? DeferTexts::AsBytes : DeferTexts::Yes;
    return writeEach(out, namespaces, [&](const std::function<void(const PoiRecord &)> &write) {
        PipeRecords(
            [&](const std::function<void(PoiRecord &&)> &pass) {
                for (qsizetype k = 0; k < inputs.size(); ++k)
                    readEach(inputs[k], *opened[size_t(k)]->reader, [&](PoiRecord &&r) {
                        if (!keep || keep(r))
                            pass(std::move(r));
                    }, {}, defer);
            },
            [&](PoiRecord &&r) {
                if (!asBytes)
                    DecodeDeferredTexts(r);
                write(r);
            });
    });
}

int Cli::writeEach(const QByteArray &out, const XmlNamespaces &namespaces,
                   const std::function<void(const std::function<void(const PoiRecord &)> &)> &each) const
{
    OutputSink sink(out);
    const PoiCodec &to = outputCodec(out);
    // A writer that goes back over its bytes: to the standard output the rest waits in a spool.
    if (to.writesBack())
        sink.spoolUntilEnd();
    RecordWriteOptions options;
    options.strictGpx = gpx11;
    options.gpi = gpiOptions(out);
    RecordWriter writer(to, options, sink.output());
    writer.start(namespaces);
    each([&](const PoiRecord &r) { writer.append(r); });
    const int written = writer.finish();
    if (writer.spoolFailed())
        throw TemporaryFileFailure();
    if (!writer.failure().isEmpty())
        throw WorkFailure(QStringLiteral("%1: %2").arg(Shown(out), writer.failure()));
    if (!writer.note().isEmpty())
        Err(QStringLiteral("%1: %2").arg(Shown(out), writer.note()));
    Commit(sink, out);
    return written;
}

void Cli::Commit(OutputSink &sink, const QByteArray &out)
{
    sink.commit();
    if (!sink.groupKept())
        Err(QCoreApplication::translate("Cli", "%1: written, but its group could not be kept").arg(Shown(out)));
}

Failure Cli::TemporaryFileFailure()
{
    return WorkFailure(QCoreApplication::translate("Cli", "cannot write a temporary file: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
}

PoiRecord Cli::Spooled(RecordSpool &spool, qint64 at)
{
    PoiRecord r;
    if (!spool.ok() || !spool.read(at, r))
        throw WorkFailure(QCoreApplication::translate("Cli", "cannot read a temporary file"));
    return r;
}

PoiRecords Cli::readRecords(const QByteArray &path)
{
    const std::unique_ptr<Input> input = openInput(path);
    PoiRecords read;
    read.namespaces = input->namespaces;
    readEach(path, *input->reader, [&](PoiRecord &&r) { read.records.push_back(std::move(r)); });
    return read;
}

}  // namespace orvalis::cli
