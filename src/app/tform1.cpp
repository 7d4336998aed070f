#include "app/tform1.h"

#include "app/dialogs.h"
#include "app/help_tab.h"
#include "app/widgets_util.h"
#include "geo/calculator_tabs.h"
#include "geo/converter_window.h"
#include "maps/embedded_browser.h"
#include "maps/map_publisher.h"
#include "maps/map_window.h"
#include "maps/system_services.h"
#include "table/poi_table_tab.h"

#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace orvalis {

TForm1::TForm1(const AppEnvironment &env, Dialogs &dialogs, SystemServices &system, QWidget *parent)
    : QWidget(parent), ctx_{dialogs, env}, system_(system)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Orvalis   V8.3"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("orvalis"), QIcon(QStringLiteral(":/orvalis.svg"))));
    resize(860, 608);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - frameGeometry().center());

    // Window creation: background, then what the environment says.
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(212, 254, 254));
    setPalette(pal);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setTabPosition(QTabWidget::South);
    PageControl1->tabBar()->setExpanding(false);
    PageControl1->tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 10px; }"));
    PageControl1->tabBar()->setElideMode(Qt::ElideNone);
    tab1_ = new PoiTableTab(ctx_, PageControl1);
    tab2_ = new TwoPoiTab(ctx_, PageControl1);
    tab3_ = new DestinationTab(ctx_, PageControl1);
    tab4_ = new CrossingTab(ctx_, PageControl1);
    tab5_ = new HelpTab(PageControl1);
    PageControl1->addTab(tab1_, ThemeIcon(QStringLiteral("view-list-details"), QStringLiteral("table")),
                         QStringLiteral("Distance entre POIs multiples"));
    PageControl1->addTab(tab2_, ThemeIcon(QStringLiteral("measure"), QStringLiteral("two-pois")), QStringLiteral("Distance entre deux POIs"));
    PageControl1->addTab(tab3_, ThemeIcon(QStringLiteral("go-jump"), QStringLiteral("compass")), QStringLiteral("POI 1 + Gisement --> POI 2"));
    PageControl1->addTab(tab4_, ThemeIcon(QStringLiteral("crosshairs"), QStringLiteral("crossing")), QStringLiteral("Croisement"));
    PageControl1->addTab(tab5_, ThemeIcon(QStringLiteral("help-contents"), QStringLiteral("help")), QStringLiteral("Aide"));
    for (QWidget *page : std::initializer_list<QWidget *>{tab1_, tab2_, tab3_, tab4_, tab5_}) {
        page->setAutoFillBackground(true);
        page->setPalette(pal);
    }
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PageControl1);

    publisher_ = std::make_unique<MapPublisher>(dialogs, system, this, ctx_.env.tempDir,
                                                [this] { return tab1_->embeddedBrowserChosen(); });
    tab1_->setMapPublisher(publisher_.get());
    tab1_->setSystemServices(&system_);
    tab2_->setMapPublisher(publisher_.get());
    tab3_->setMapPublisher(publisher_.get());
    tab4_->setMapPublisher(publisher_.get());

    for (EmbeddedBrowser *browser : findChildren<EmbeddedBrowser *>())
        openLinksOutside(browser);
    connect(tab1_, &PoiTableTab::coordinatesClicked, this, &TForm1::handOffCoordinates);
    connect(tab5_, &HelpTab::forumClicked, this, [this] { system_.openUrl(QUrl(kForumAddress)); });

    if (!ctx_.env.arguments.isEmpty())
        ctx_.dialogs.message(this, QStringLiteral("Retour de File Explorer : \n") + ctx_.env.arguments.first());
}

TForm1::~TForm1() = default;

void TForm1::setCompanions(TForm2 *mapWindow, TForm3 *converter)
{
    mapWindow_ = mapWindow;
    converter_ = converter;
    tab1_->setMapWindow(mapWindow);
    if (mapWindow_)
        openLinksOutside(mapWindow_->browser());
    if (converter_) {
        connect(tab1_, &PoiTableTab::converterRequested, converter_,
                [this](int column, const QString &lat, const QString &lon) { converter_->open(column, lat, lon, ctx_.env.separator); });
        connect(converter_, &TForm3::resultReady, tab1_, &PoiTableTab::writeConverterResult);
    }
}

void TForm1::openLinksOutside(EmbeddedBrowser *browser)
{
    connect(browser, &EmbeddedBrowser::externalLinkRequested, this, [this](const QUrl &url) { system_.openUrl(url); });
}

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TForm1::FormShow()
{
    PageControl1->setCurrentIndex(0);
    tab2_->setHints(ctx_.env.separator);
    tab3_->setHints(ctx_.env.separator);
    tab5_->fill();
    ProcessPendingMessages();
    tab1_->firstDisplay();
    publisher_->detectDefaultBrowser();
}

void TForm1::handOffCoordinates(const QString &latitude, const QString &longitude)
{
    tab2_->takeCoordinates(latitude, longitude);
    tab3_->takeCoordinates(latitude, longitude);
    tab4_->takeCoordinates(latitude, longitude);
}

bool TForm1::FormCloseQuery()
{
    if (!tab1_->isModified())
        return true;
    return ctx_.dialogs.askOkCancel(
        this, QStringLiteral("Les données de la grille ont été modifiées et n'ont pas été sauvegardées.\n\nQuitter quand même ?"));
}

void TForm1::FormClose()
{
    publisher_->removePages();
    if (mapWindow_)
        mapWindow_->close();
    if (converter_)
        converter_->close();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

}  // namespace orvalis
