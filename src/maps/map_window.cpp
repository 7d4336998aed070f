#include "maps/map_window.h"

#include "maps/embedded_browser.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace orvalis {

TForm2::TForm2(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Form2"));
    resize(1010, 755);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(13, 13, 13, 13);
    CppWebBrowser1 = new EmbeddedBrowser(QStringLiteral("CppWebBrowser1"), this);
    layout->addWidget(CppWebBrowser1);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm2::prepareSize()
{
    resize(973, 723);
    CppWebBrowser1->resize(947, 689);
}

}  // namespace orvalis
