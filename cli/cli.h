// What every command of orvalis-cli shares: its arguments, the user's
// locale, the formats of its files, and how it reads and writes them.
#pragma once

#include "files/output_sink.h"
#include "files/poi_codec.h"
#include "files/poi_file.h"
#include "files/record_spool.h"
#include "table/poi_table.h"

#include <QCollator>
#include <QList>
#include <QString>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace orvalis::cli {

// A text of the program's catalogue in the user's language.
QString T(const char *text);

// Exit 2 for what the user gave, 1 for what failed while working.
struct Failure {
    QString message;
    int code = 2;
};
Failure WorkFailure(const QString &message);
// What a failed output says.
Failure FailureOf(const OutputFailure &failure);

bool WriteStdout(QByteArrayView bytes);
// A write to the standard output failed (errno says why).
Failure StandardOutputFailure();
// Bytes, or a line, to the standard output (checked); a line, with the
// program's name, to the standard error.
void Print(QByteArrayView bytes);
void Out(const QString &line);
void Err(const QString &line);
// A path as the user typed it, shown where a message names it.
QString Shown(const QByteArray &path);

class Cli {
public:
    explicit Cli(QList<QByteArray> args);

    // The arguments the command has not taken yet.
    QList<QByteArray> args;
    QChar sep;  // the locale's decimal separator
    QCollator collator;
    std::optional<QString> from, to;
    bool gpx11 = false;
    bool skipInvalid = false;
    // A GPI output's category and alert (--gpi-category, --gpi-alert-m).
    std::optional<QString> gpiCategory;
    std::optional<int> gpiAlertMetres;
    // Takes those options out of the arguments, checked.
    void takeGpiOptions();
    // What a GPI written to OUT holds: the category asked, else OUT's name without its extension.
    GpiWriteOptions gpiOptions(const QByteArray &out) const;

    // Arguments (cli_arguments.cpp). Options are taken out of `args`.
    std::optional<QString> option(const char *name);
    std::optional<std::pair<QByteArray, QByteArray>> pairOption(const char *name);
    bool flag(const char *name);
    // Stops on an option the command did not take, and on a count other than `n`.
    void expectCount(qsizetype n) const;
    float number(qsizetype i) const;
    float latitude(qsizetype i) const;
    float longitude(qsizetype i) const;
    // An argument is one number, so either separator reads it; anything else stops the command.
    static float Number(const QString &text, const QString &what);
    static float Distance(const std::optional<QString> &text, const char *name);
    static int BaseRow(const QString &base);
    QString pois(int n) const;
    // Output paths '-' print the file; the line then goes to the standard error.
    static void Report(const QByteArray &out, const QString &line);

    // Formats (cli_tables.cpp).
    const PoiCodec &codecFor(const QByteArray &path, const std::optional<QString> &named, const char *which) const;
    const PoiCodec &inputCodec(const QByteArray &path) const { return codecFor(path, from, "--from"); }
    const PoiCodec &outputCodec(const QByteArray &path) const { return codecFor(path, to, "--to"); }
    // Conversions go through records: every field the formats hold kept,
    // coordinates exact, file order. Formats without records go through the table.
    bool recordsFor(std::initializer_list<QByteArray> inputs, const QByteArray &out) const;
    // Stops `command` when OUT is one of the inputs under any name (same device
    // and inode; '-' is the standard input or output when it is a file), before
    // anything is read or written: the output replaces its file.
    static void RefuseOutputAmongInputs(const QList<QByteArray> &inputs, const QByteArray &out, const char *command);

    // Whole files as the window's table (cli_tables.cpp).
    QByteArray readInput(const QByteArray &path);
    // Standard input (or its copy) from where it stands to its end.
    static QByteArray ReadWhole(int fd);
    // Reads IN into a table of its own, in file order, every row checked.
    PoiTable read(const QByteArray &path, const std::optional<QString> &named);
    PoiTable read(const QByteArray &path) { return read(path, from); }
    // The same from the bytes of IN, read already.
    PoiTable tableOf(const QByteArray &path, const PoiCodec &codec, QByteArrayView data) const;
    // Every row must have coordinates in range; with --skip-invalid the others are left out and counted.
    void checkRows(const QByteArray &path, PoiTable &table) const;
    // What stops a command at record `number` of IN, out of range or no number.
    static Failure InvalidRecord(const QByteArray &path, int number, const QString &lat, const QString &lon);
    bool rowsInRange(const PoiTable &table) const;
    // What a reader said of a file that is not of its format, or partly not.
    void checkRead(const QByteArray &path, const PoiCodec &codec, qint64 inputBytes, const ReadResult &result, bool empty,
                   QByteArrayView data = {}) const;
    // Writes the rows; returns how many the file holds.
    int write(const QByteArray &path, const PoiTable &table) const;
    static int Rows(const PoiTable &table);
    // A base row the loaded table has: measuring from a row that is not there would give nonsense.
    static void CheckBaseRow(const PoiTable &table, int row);
    static void CheckBaseRow(int rows, int row);
    // The rows, in order, as a table of their own.
    static PoiTable RowsOf(const PoiTable &table, const std::vector<int> &rows);

    // Records read a block at a time and written as they come (cli_records.cpp).
    struct Input {
        FileBytes file;
        int copy = -1;  // standard input copied for a format that seeks
        std::unique_ptr<BlockReader> reader;
        XmlNamespaces namespaces;
        ~Input();
        // What is read: the file, or the copy of standard input.
        int descriptor() const { return copy >= 0 ? copy : file.descriptor(); }
    };
    std::unique_ptr<Input> openInput(const QByteArray &path);
    // IN to be read more than once, from its start each time: standard input
    // is copied to a temporary file first. No reader is made.
    std::unique_ptr<Input> openRereadable(const QByteArray &path);
    // What stopped a reading in blocks, once it is over.
    static void CheckReader(const QByteArray &path, const BlockReader &reader);
    // Records left out with --skip-invalid: how many, and the first.
    void skippedNote(const QByteArray &path, int count, int first) const;
    // Reads the records of one input, each checked; `wanted` sees the
    // coordinates in range first, and records it refuses are passed over unread.
    using PointFilter = std::function<bool(long double lat, long double lon)>;
    void readEach(const QByteArray &path, BlockReader &reader, const std::function<void(PoiRecord &&)> &visit,
                  const PointFilter &wanted = {}, DeferTexts defer = DeferTexts::No) const
    {
        readEach(path, inputCodec(path), reader, visit, wanted, defer);
    }
    // The same in a format of its own (a route's).
    void readEach(const QByteArray &path, const PoiCodec &codec, BlockReader &reader, const std::function<void(PoiRecord &&)> &visit,
                  const PointFilter &wanted = {}, DeferTexts defer = DeferTexts::No) const;
    // Reads the inputs in order and writes the records `keep` keeps to OUT as they come
    // (`keep` sees records whose texts may be left as bytes: see DeferTexts).
    int pipeRecords(const QList<QByteArray> &inputs, const QByteArray &out, const std::function<bool(const PoiRecord &)> &keep = {});
    // Writes to OUT the records `each` gives, in that order; returns how many.
    int writeEach(const QByteArray &out, const XmlNamespaces &namespaces,
                  const std::function<void(const std::function<void(const PoiRecord &)> &)> &each) const;
    PoiRecords readRecords(const QByteArray &path);
    static Failure TemporaryFileFailure();
    // Puts OUT in place, and says when it could not keep its group.
    static void Commit(OutputSink &sink, const QByteArray &out);
    // A record put aside in a spool, read back.
    static PoiRecord Spooled(RecordSpool &spool, qint64 at);

private:
    void takeStandardInput();
    bool stdinTaken_ = false;
};

}  // namespace orvalis::cli
