#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>

class QWebEngineView;

namespace orvalis {

// An embedded web browser that creates its web engine only when it is first
// asked to show a page, so windows that never show a map stay light.
class EmbeddedBrowser : public QWidget {
    Q_OBJECT
public:
    explicit EmbeddedBrowser(const QString &name, QWidget *parent = nullptr);

    void navigateToFile(const QString &path);
    // The page last asked for (empty before the first navigation).
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

private:
    QWebEngineView *view_ = nullptr;
    QUrl requested_;
    QStringList errors_;
    bool loading_ = false;
    bool lastLoadOk_ = false;
};

}  // namespace orvalis
