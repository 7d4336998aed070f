// The formats of a command's files, and files read and written whole as the
// window's table.
#include "cli.h"

#include "geo/decimal_entry.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalis::cli {

const PoiCodec &Cli::codecFor(const QByteArray &path, const std::optional<QString> &named, const char *which) const
{
    if (named) {
        if (const PoiCodec *c = CodecNamed(*named))
            return *c;
        throw Failure{QCoreApplication::translate("Cli", "%1 %2: unknown format (%3)").arg(QLatin1String(which), *named, CodecNames())};
    }
    if (path == "-")
        throw Failure{QCoreApplication::translate("Cli", "'-' needs %1 FORMAT").arg(QLatin1String(which))};
    // The extension is ASCII whatever the rest of the name is.
    const QByteArray base = path.mid(path.lastIndexOf('/') + 1);
    const qsizetype dot = base.lastIndexOf('.');
    if (dot > 0)
        if (const PoiCodec *c = CodecOfExtension(QString::fromLatin1(base.mid(dot + 1))))
            return *c;
    throw Failure{QCoreApplication::translate("Cli", "%1: unknown extension (%2)")
                      .arg(Shown(path), CodecExtensions(QCoreApplication::translate("Cli", "or")))};
}

bool Cli::recordsFor(std::initializer_list<QByteArray> inputs, const QByteArray &out) const
{
    for (const QByteArray &in : inputs)
        if (!inputCodec(in).hasRecords())
            return false;
    return outputCodec(out).hasRecords();
}

namespace {

// A file's identity, to tell an output that is one of the inputs whatever its name.
std::optional<std::pair<dev_t, ino_t>> Identity(const QByteArray &path, int standardStream)
{
    struct stat st {};
    if (path == "-" ? fstat(standardStream, &st) != 0 || !S_ISREG(st.st_mode) : stat(path.constData(), &st) != 0)
        return std::nullopt;
    return std::pair{st.st_dev, st.st_ino};
}

}  // namespace

void Cli::RefuseOutputAmongInputs(const QList<QByteArray> &inputs, const QByteArray &out, const char *command)
{
    const auto target = Identity(out, 1);
    if (!target)
        return;
    for (const QByteArray &in : inputs)
        if (Identity(in, 0) == target)
            throw Failure{QCoreApplication::translate("Cli", "%1 is one of the inputs: %2 writes to a file of its own")
                              .arg(Shown(out), QLatin1String(command))};
}

void Cli::takeStandardInput()
{
    if (stdinTaken_)
        throw Failure{QCoreApplication::translate("Cli", "only one input may be the standard input")};
    stdinTaken_ = true;
}

QByteArray Cli::readInput(const QByteArray &path)
{
    if (path == "-") {
        takeStandardInput();
        return ReadWhole(0);
    }
    FileBytes bytes;
    if (!bytes.openNative(path))
        throw Failure{QCoreApplication::translate("Cli", "%1: cannot read the file").arg(Shown(path))};
    return bytes.take();
}

QByteArray Cli::ReadWhole(int fd)
{
    QByteArray all;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw WorkFailure(QCoreApplication::translate("Cli", "cannot read the standard input"));
        if (n == 0)
            return all;
        all.append(buffer, static_cast<qsizetype>(n));
    }
}

PoiTable Cli::read(const QByteArray &path, const std::optional<QString> &named)
{
    const PoiCodec &codec = codecFor(path, named, "--from");
    return tableOf(path, codec, readInput(path));
}

PoiTable Cli::tableOf(const QByteArray &path, const PoiCodec &codec, QByteArrayView data) const
{
    PoiTable table;
    ReadResult result;
    if (!ReadPoiTable(codec, data, table, sep, &result))
        throw Failure{NotOfFormatMessage(codec, Shown(path))};
    checkRead(path, codec, data.size(), result, table.isEmptyForAdd(), data);
    checkRows(path, table);
    return table;
}

void Cli::checkRows(const QByteArray &path, PoiTable &table) const
{
    if (table.isEmptyForAdd())
        return;
    std::vector<int> valid;
    valid.reserve(static_cast<size_t>(table.lastRow()));
    int firstBad = 0;
    for (int r = 1; r <= table.lastRow(); ++r) {
        const auto lat = ParseDecimal(table.field(r, FieldLatitude), sep);
        const auto lon = ParseDecimal(table.field(r, FieldLongitude), sep);
        if (lat && lon && CoordinatesInRange(*lat, *lon)) {
            valid.push_back(r);
            continue;
        }
        if (!skipInvalid)
            throw InvalidRecord(path, r, table.field(r, FieldLatitude), table.field(r, FieldLongitude));
        if (firstBad == 0)
            firstBad = r;
    }
    if (firstBad != 0) {
        skippedNote(path, table.lastRow() - static_cast<int>(valid.size()), firstBad);
        table = RowsOf(table, valid);
    }
}

Failure Cli::InvalidRecord(const QByteArray &path, int number, const QString &lat, const QString &lon)
{
    return Failure{QCoreApplication::translate("Cli", "%1: record %2 has no valid coordinates (latitude \"%3\", longitude \"%4\"; "
                                                      "latitudes lie in [-90, 90], longitudes in [-180, 180])")
                       .arg(Shown(path))
                       .arg(number)
                       .arg(lat, lon)};
}

bool Cli::rowsInRange(const PoiTable &table) const
{
    for (int r = 1; r <= Rows(table); ++r) {
        const auto lat = ParseDecimal(table.field(r, FieldLatitude), sep);
        const auto lon = ParseDecimal(table.field(r, FieldLongitude), sep);
        if (!lat || !lon || !CoordinatesInRange(*lat, *lon))
            return false;
    }
    return true;
}

void Cli::skippedNote(const QByteArray &path, int count, int first) const
{
    Err(LeftOutNote(Shown(path), count, first));
}

void Cli::checkRead(const QByteArray &path, const PoiCodec &codec, qint64 inputBytes, const ReadResult &result, bool empty,
                    QByteArrayView data) const
{
    const ReadVerdict verdict = codec.verdict({Shown(path), result, empty, inputBytes, data, skipInvalid});
    if (!verdict.failure.isEmpty())
        throw Failure{verdict.failure, verdict.code};
    if (!verdict.note.isEmpty())
        Err(verdict.note);
}

int Cli::write(const QByteArray &path, const PoiTable &table) const
{
    WriteOptions options;
    options.separator = sep;
    options.gpx11 = gpx11;
    options.gpxNamespace = true;
    options.gpi = gpiOptions(path);
    int written = 0;
    QByteArray bytes = outputCodec(path).tableBytes(table, 1, Rows(table), options, &written);
    // One piece through the same sink as the streamed conversions: the same checks and messages.
    OutputSink sink(path);
    sink.write(bytes);
    Commit(sink, path);
    return written;
}

int Cli::Rows(const PoiTable &table)
{
    return table.isEmptyForAdd() ? 0 : table.lastRow();
}

void Cli::CheckBaseRow(const PoiTable &table, int row)
{
    CheckBaseRow(Rows(table), row);
}

void Cli::CheckBaseRow(int rows, int row)
{
    if (row > rows)
        throw Failure{QCoreApplication::translate("Cli", "--base %1: the file has %2 rows").arg(row).arg(rows)};
}

PoiTable Cli::RowsOf(const PoiTable &table, const std::vector<int> &rows)
{
    PoiTable selected;
    selected.setRowCount(static_cast<int>(rows.size()) + 1);
    for (size_t i = 0; i < rows.size(); ++i) {
        selected.setNumber(static_cast<int>(i) + 1, static_cast<int>(i) + 1);
        for (int f = 1; f < kFieldCount; ++f)
            selected.setField(static_cast<int>(i) + 1, f, table.field(rows[i], f));
    }
    return selected;
}

}  // namespace orvalis::cli
