#include "maps/embedded_browser.h"

#include <QEventLoop>
#include <memory>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace orvalis {

namespace {
// Keeps the script errors of a page, for whoever wants to know.
class RecordingPage : public QWebEnginePage {
public:
    RecordingPage(QStringList *errors, QObject *parent) : QWebEnginePage(parent), errors_(errors) {}

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int line,
                                  const QString &source) override
    {
        if (level == ErrorMessageLevel)
            errors_->append(QStringLiteral("%1:%2: %3").arg(source).arg(line).arg(message));
    }

private:
    QStringList *errors_;
};
}  // namespace

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
        view_->setPage(new RecordingPage(&errors_, view_));
        view_->setObjectName(objectName() + QStringLiteral("View"));
        // A page read from a local file must be allowed to load the maps script.
        view_->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
        view_->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
        // Map tile servers ask to know which program fetches their tiles.
        QWebEngineProfile *profile = view_->page()->profile();
        if (!profile->httpUserAgent().contains(QStringLiteral("Orvalis/")))
            profile->setHttpUserAgent(profile->httpUserAgent() + QStringLiteral(" Orvalis/8.3 (+http://forum.orvalis.org)"));
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
    requested_ = QUrl::fromLocalFile(path);
    loading_ = true;
    view()->load(requested_);
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
