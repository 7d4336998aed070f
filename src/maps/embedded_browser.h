#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>

class QWebEngineView;

namespace orvalis {

// Map pages are shown through a scheme of the program's own that serves only
// the files of the private page folder: a page read as a file: address could
// read any local file. Call before the application object is created.
void RegisterMapScheme();

// An embedded web browser that creates its web engine only when it is first
// asked to show a page, so windows that never show a map stay light.
class EmbeddedBrowser : public QWidget {
    Q_OBJECT
public:
    explicit EmbeddedBrowser(const QString &name, QWidget *parent = nullptr);

    // Shows the page file; its folder's files are served beside it.
    void navigateToFile(const QString &path);
    // The page file last asked for, and its address (empty before the first navigation).
    QString requestedFile() const { return requestedFile_; }
    QUrl requestedUrl() const { return requested_; }
    bool hasDocument() const { return view_ != nullptr && !requested_.isEmpty(); }
    // The rendered text of the body, waiting for it without freezing the window;
    // empty without a document or after `timeoutMs`.
    QString bodyText(int timeoutMs = 3000);
    // Runs a script in the page and returns its result as text ("" on failure).
    QString evaluate(const QString &script, int timeoutMs = 3000);
    // Waits until the current page has finished loading; false on time-out or failure.
    bool waitForLoad(int timeoutMs);

    QWebEngineView *view();
    // Script errors reported by the pages shown so far.
    QStringList consoleErrors() const { return errors_; }

signals:
    void loadFinished(bool ok);
    // A link of the page that leaves the map; the map stays.
    void externalLinkRequested(const QUrl &url);

private:
    QWebEngineView *view_ = nullptr;
    QUrl requested_;
    QString requestedFile_;
    QStringList errors_;
    bool loading_ = false;
    bool lastLoadOk_ = false;
};

}  // namespace orvalis
