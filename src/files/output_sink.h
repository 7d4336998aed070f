#pragma once

#include "files/poi_codec.h"
#include "files/save_file.h"

#include <QByteArray>
#include <cstdio>

namespace orvalis {

// Why an output failed: the standard output (or what waits for it), the
// temporary file it was to wait in, or the file (with the reason AtomicFile
// gives); `error` is errno at the failure.
struct OutputFailure {
    enum Where { StandardOutput, TemporaryFile, File };
    Where where = StandardOutput;
    QByteArray path;
    int error = 0;
    SaveFailure why = SaveFailure::None;
};

// Where a command writes as it goes: a file put in place only when complete,
// or the standard output ("-"). Every failure throws OutputFailure.
class OutputSink {
public:
    explicit OutputSink(const QByteArray &path, std::FILE *standardOutput = stdout);
    OutputSink(const OutputSink &) = delete;
    OutputSink &operator=(const OutputSink &) = delete;
    ~OutputSink();

    // The standard output gets nothing before the end, so that writeAt works
    // as on a file: the bytes wait in an unnamed temporary file.
    void spoolUntilEnd();
    // Writes the bytes and clears them.
    void write(QByteArray &bytes);
    void writeAt(qint64 offset, const QByteArray &bytes);
    // Puts the file in place (or sends what waited to the standard output).
    void commit();
    // False when a file replaced could not keep its group.
    bool groupKept() const { return toStandardOutput() || file_.groupKept(); }
    // The sink as a record writer's output.
    RecordOutput output();

private:
    [[noreturn]] void fail(OutputFailure::Where where = OutputFailure::StandardOutput);
    bool toStandardOutput() const { return path_ == "-"; }
    bool writeOut(QByteArrayView bytes);

    QByteArray path_;
    std::FILE *out_;
    AtomicFile file_;
    std::FILE *spool_ = nullptr;
};

}  // namespace orvalis
