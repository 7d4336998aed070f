#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <optional>

namespace orvalis {

// The one map file of the program, in a private folder of the temporary
// directory made fresh by each run: <temp>/orvalis-<user>-XXXXXX/Orvalis.htm.
// A fixed name could be created beforehand by another user of the machine.
QString MapPageFolderTemplate(const QString &tempDir);
QString MapPageFile(const QString &folder);
QString CurrentUserName();

// True for a real folder (no link) of this user that no one else may enter.
bool IsPrivateFolder(const QString &path);
// The private folder of the map pages, opened once and held open: every file
// is created relative to it (never by a path another user could swap), and
// before each write the folder is checked through its descriptor. A folder
// that was deleted, loosened or renamed meanwhile is removed for a fresh one,
// and `ensure` says so, so that the support files are written again.
class PageFolder {
public:
    explicit PageFolder(const QString &tempDir);
    PageFolder(const PageFolder &) = delete;
    PageFolder &operator=(const PageFolder &) = delete;
    ~PageFolder();  // removes the folder and what it holds

    // A private folder of ours at path(); `fresh` is true when it was just made.
    bool ensure(bool *fresh = nullptr);
    QString path() const { return QFile::decodeName(path_); }
    // Replaces `relative` (a name, or names joined by '/') inside the folder,
    // whole: a temporary file made with O_EXCL|O_NOFOLLOW, renamed over it.
    bool writeFile(const QString &relative, const QByteArray &bytes);
    // Removes the folder and everything in it, also when someone renamed it
    // (what it holds goes through the descriptor held open).
    void remove();

private:
    bool stillOurs() const;

    QString tempDir_;
    QByteArray path_;
    int fd_ = -1;
};

// The name of the file that marks a page folder with the process that made it.
inline const char *PageFolderMarker() { return ".orvalis-run"; }
// Removes the page folders of ours whose process is gone (a run killed before it
// could clean up), whatever they are called now (someone may have renamed them);
// never a folder of someone else or without our marker. Returns how many were removed.
int RemoveStalePageFolders(const QString &tempDir);

// The bytes of a file the program wrote in the folder, for the page scheme:
// each name opened without following a link, and only a regular file of ours
// with one link (a hard link to another file is refused). Empty optional otherwise.
std::optional<QByteArray> ReadServedFile(const QString &folder, const QString &relative);

}  // namespace orvalis
