// main() of the tests that use the real embedded browser: every request
// that would leave the machine is blocked, so no test touches the network.
#include <QApplication>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>
#include <gtest/gtest.h>

namespace {
class OfflineInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        const QString scheme = info.requestUrl().scheme();
        if (scheme != QLatin1String("file") && scheme != QLatin1String("data") && scheme != QLatin1String("qrc"))
            info.block(true);
    }
};
}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    OfflineInterceptor interceptor;
    QWebEngineProfile::defaultProfile()->setUrlRequestInterceptor(&interceptor);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
