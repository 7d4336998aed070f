// How far a long reading has come, on standard error, one line redrawn in
// place (like pv): shown when standard error is a terminal and the input a
// file, or when asked with --progress; never with --quiet.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QtGlobal>

namespace orvalis::cli {

class Progress {
public:
    enum class Mode { Auto, Forced, Off };
    // The one display of the run (messages clear its line first).
    static Progress &Global();
    void setMode(Mode mode) { mode_ = mode; }
    // A reading of `fd` to come, which counts towards the line; `rereads`
    // more times when the job reads it again. Not shown for an input of
    // unknown size unless forced.
    void expect(int fd, int readings = 1);
    // A reading starts; then, as it goes, the bytes it has read so far
    // (cheap to call for every record: the line is redrawn a few times a second).
    void startReading();
    void read(qint64 bytes)
    {
        if (on_ && bytes != readingNow_)
            seen(bytes);
    }
    // Takes the line away (before a message, at the end).
    void clear();

private:
    void seen(qint64 readingBytes);
    void draw();
    QString line() const;

    Mode mode_ = Mode::Auto;
    bool on_ = false;
    bool sizeKnown_ = true;
    qint64 total_ = 0, done_ = 0;
    qint64 before_ = 0, readingNow_ = 0;  // what the readings before this one read, and this one
    QElapsedTimer started_;
    qint64 lastDraw_ = -1;  // ms since the start
    int shown_ = 0;         // characters on the line now
};

}  // namespace orvalis::cli
