// main() of the tests that use the real embedded browser: every request
// that would leave the machine is blocked, so no test touches the network.
#include "maps/embedded_browser.h"

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
        if (scheme != QLatin1String("file") && scheme != QLatin1String("data") && scheme != QLatin1String("qrc") &&
            scheme != QLatin1String("orvalis-map"))
            info.block(true);
    }
};
}  // namespace

int main(int argc, char **argv)
{
    orvalis::RegisterMapScheme();
    QApplication app(argc, argv);
    OfflineInterceptor interceptor;
    QWebEngineProfile::defaultProfile()->setUrlRequestInterceptor(&interceptor);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
