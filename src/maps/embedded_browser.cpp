#include "maps/embedded_browser.h"

#include "app/version.h"
#include "maps/map_page_file.h"

#include <QBuffer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <memory>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace orvalis {

namespace {

const QByteArray kMapScheme = QByteArrayLiteral("orvalis-map");
const QString kMapHost = QStringLiteral("maps");

// Serves the files of one folder, and nothing above it.
class MapSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void setFolder(const QString &folder) { folder_ = folder; }

    void requestStarted(QWebEngineUrlRequestJob *job) override
    {
        const QUrl url = job->requestUrl();
        // Requests from pages of other origins (a remote frame or page) get nothing:
        // only the program's own pages, and its own navigations, are served.
        const QUrl initiator = job->initiator();
        if (!initiator.isEmpty() && initiator.scheme() != QString::fromLatin1(kMapScheme)) {
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        const QString name = QDir::cleanPath(url.path(QUrl::FullyDecoded)).mid(1);
        if (folder_.isEmpty() || url.host() != kMapHost || name.isEmpty() || name.startsWith(u'.') ||
            name.contains(QStringLiteral("/.")) || job->requestMethod() != "GET") {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        // Only what the program wrote there: no link is followed, no hard link to another file served.
        const std::optional<QByteArray> bytes = ReadServedFile(folder_, name);
        if (!bytes) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto *body = new QBuffer(job);
        body->setData(*bytes);
        body->open(QIODevice::ReadOnly);
        job->reply(ContentType(name), body);
    }

private:
    static QByteArray ContentType(const QString &name)
    {
        // The pages are written in Windows-1252.
        if (name.endsWith(QStringLiteral(".htm")) || name.endsWith(QStringLiteral(".html")))
            return "text/html;charset=windows-1252";
        if (name.endsWith(QStringLiteral(".js")))
            return "text/javascript;charset=utf-8";
        if (name.endsWith(QStringLiteral(".css")))
            return "text/css;charset=utf-8";
        if (name.endsWith(QStringLiteral(".png")))
            return "image/png";
        return "text/plain;charset=utf-8";
    }

    QString folder_;
};

MapSchemeHandler *SchemeHandlerOf(QWebEngineProfile *profile)
{
    if (auto *handler = const_cast<QWebEngineUrlSchemeHandler *>(profile->urlSchemeHandler(kMapScheme)))
        return static_cast<MapSchemeHandler *>(handler);
    auto *handler = new MapSchemeHandler(profile);
    profile->installUrlSchemeHandler(kMapScheme, handler);
    return handler;
}

bool LeavesTheMap(const QUrl &url)
{
    return url.scheme() == u"http" || url.scheme() == u"https" || url.scheme() == u"mailto";
}

// A window a link asked for: its first address goes to the system browser,
// then it goes away.
class ExternalLinkPage : public QWebEnginePage {
public:
    ExternalLinkPage(EmbeddedBrowser *browser, QWebEngineProfile *profile)
        : QWebEnginePage(profile, browser), browser_(browser)
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool) override
    {
        if (LeavesTheMap(url))
            emit browser_->externalLinkRequested(url);
        deleteLater();
        return false;
    }

private:
    EmbeddedBrowser *browser_;
};

// Keeps the script errors of a page, and keeps the map when a link is clicked.
class RecordingPage : public QWebEnginePage {
public:
    RecordingPage(QStringList *errors, EmbeddedBrowser *browser, QObject *parent)
        : QWebEnginePage(parent), errors_(errors), browser_(browser)
    {
    }

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int line,
                                  const QString &source) override
    {
        if (level == ErrorMessageLevel)
            errors_->append(QStringLiteral("%1:%2: %3").arg(source).arg(line).arg(message));
    }

    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override
    {
        if (!isMainFrame)
            return true;
        // The tab shows the program's pages and nothing else: a link or a script
        // that would take it elsewhere (and lose a pin page's work) goes to the
        // system browser instead.
        if (url.scheme() == QString::fromLatin1(kMapScheme) && type != NavigationTypeLinkClicked)
            return true;
        if (LeavesTheMap(url))
            emit browser_->externalLinkRequested(url);
        return false;
    }

    QWebEnginePage *createWindow(WebWindowType) override { return new ExternalLinkPage(browser_, profile()); }

private:
    QStringList *errors_;
    EmbeddedBrowser *browser_;
};

}  // namespace

void RegisterMapScheme()
{
    if (QWebEngineUrlScheme::schemeByName(kMapScheme).name() == kMapScheme)
        return;
    QWebEngineUrlScheme scheme(kMapScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    QWebEngineUrlScheme::registerScheme(scheme);
}

EmbeddedBrowser::EmbeddedBrowser(const QString &name, QWidget *parent) : QWidget(parent)
{
    setObjectName(name);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    setAutoFillBackground(true);
}

QWebEngineView *EmbeddedBrowser::view()
{
    if (!view_) {
        view_ = new QWebEngineView(this);
        view_->setPage(new RecordingPage(&errors_, this, view_));
        view_->setObjectName(objectName() + QStringLiteral("View"));
        // A file dropped on a map is for the window's load command, not a page to replace the map with.
        view_->setAcceptDrops(false);
        // A page must be allowed to load the maps script from the web...
        view_->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
        // ...but never read local files: a page's script could send them anywhere.
        view_->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        // Map tile servers ask to know which program fetches their tiles.
        QWebEngineProfile *profile = view_->page()->profile();
        if (!profile->httpUserAgent().contains(QStringLiteral("Orvalis/")))
            profile->setHttpUserAgent(profile->httpUserAgent() + QStringLiteral(" Orvalis/") + Version() +
                                      QStringLiteral(" (+http://forum.orvalis.org)"));
        connect(view_, &QWebEngineView::loadFinished, this, [this](bool ok) {
            loading_ = false;
            lastLoadOk_ = ok;
            emit loadFinished(ok);
        });
        layout()->addWidget(view_);
    }
    return view_;
}

void EmbeddedBrowser::navigateToFile(const QString &path)
{
    const QFileInfo file(path);
    QWebEngineView *v = view();
    SchemeHandlerOf(v->page()->profile())->setFolder(file.absolutePath());
    requestedFile_ = path;
    requested_.clear();
    requested_.setScheme(QString::fromLatin1(kMapScheme));
    requested_.setHost(kMapHost);
    requested_.setPath(u'/' + file.fileName());
    loading_ = true;
    v->load(requested_);
}

bool EmbeddedBrowser::waitForLoad(int timeoutMs)
{
    if (!view_)
        return false;
    if (loading_) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(this, &EmbeddedBrowser::loadFinished, &loop, &QEventLoop::quit);
        timer.start(timeoutMs);
        loop.exec();
    }
    return !loading_ && lastLoadOk_;
}

namespace {

// A reply that may arrive after the wait gave up must not touch a dead frame.
struct PendingReply {
    QString text;
    bool done = false;
    QEventLoop *loop = nullptr;
};

QString WaitFor(const std::shared_ptr<PendingReply> &reply, int timeoutMs)
{
    if (!reply->done) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        reply->loop = &loop;
        timer.start(timeoutMs);
        loop.exec();
        reply->loop = nullptr;
    }
    return reply->done ? reply->text : QString();
}

void Answer(const std::shared_ptr<PendingReply> &reply, const QString &text)
{
    reply->text = text;
    reply->done = true;
    if (reply->loop)
        reply->loop->quit();
}

}  // namespace

QString EmbeddedBrowser::bodyText(int timeoutMs)
{
    if (!hasDocument())
        return {};
    auto reply = std::make_shared<PendingReply>();
    view_->page()->toPlainText([reply](const QString &text) { Answer(reply, text); });
    return WaitFor(reply, timeoutMs);
}

QString EmbeddedBrowser::evaluate(const QString &script, int timeoutMs)
{
    if (!hasDocument())
        return {};
    auto reply = std::make_shared<PendingReply>();
    view_->page()->runJavaScript(script, [reply](const QVariant &v) { Answer(reply, v.toString()); });
    return WaitFor(reply, timeoutMs);
}

}  // namespace orvalis
