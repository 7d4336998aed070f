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
#include "files/file_commands.h"
#include "table/edit_commands.h"
#include "table/poi_table_tab.h"

#include "files/poi_file.h"

#include <QCloseEvent>
#include <QMimeData>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace orvalis {

namespace {
constexpr int kWindowWidth = 860;
constexpr int kWindowHeight = 608;
// The frame a window manager draws around the window, title bar included.
constexpr int kFrameWidth = 8;
constexpr int kFrameHeight = 32;
}  // namespace

TForm1::TForm1(const AppEnvironment &env, Dialogs &dialogs, SystemServices &system, QWidget *parent)
    : QWidget(parent), ctx_{dialogs, env}, system_(system)
{
    setObjectName(QStringLiteral("Form1"));

    setWindowIcon(QIcon::fromTheme(QStringLiteral("orvalis"), QIcon(QStringLiteral(":/orvalis.svg"))));
    // The documented size, within the screen's available area: on a smaller
    // screen the window fits it and its content scrolls.
    QSize size(kWindowWidth, kWindowHeight);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() - QSize(kFrameWidth, kFrameHeight));
    resize(size);
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
    // The calculator tabs scroll on their own where the window is narrower than
    // they are, so that the first tab alone sets how narrow the window may be.
    auto scrolled = [this](QWidget *page) {
        auto *area = new QScrollArea(PageControl1);
        area->setFrameShape(QFrame::NoFrame);
        area->setWidgetResizable(true);
        area->setWidget(page);
        return area;
    };
    PageControl1->addTab(scrolled(tab2_), ThemeIcon(QStringLiteral("measure"), QStringLiteral("two-pois")),
                         QStringLiteral("Distance entre deux POIs"));
    PageControl1->addTab(scrolled(tab3_), ThemeIcon(QStringLiteral("go-jump"), QStringLiteral("compass")),
                         QStringLiteral("POI 1 + Gisement --> POI 2"));
    PageControl1->addTab(scrolled(tab4_), ThemeIcon(QStringLiteral("crosshairs"), QStringLiteral("crossing")),
                         QStringLiteral("Croisement"));
    PageControl1->addTab(tab5_, ThemeIcon(QStringLiteral("help-contents"), QStringLiteral("help")), QStringLiteral("Aide"));
    for (QWidget *page : std::initializer_list<QWidget *>{tab1_, tab2_, tab3_, tab4_, tab5_}) {
        page->setAutoFillBackground(true);
        page->setPalette(pal);
    }
    // Narrow screens (1366 pixels at 150 %) give less than the layout's 860: the
    // page narrows down to what its controls need, so the "*" mark and the box
    // at the right end stay in view and only the height scrolls.
    PageControl1->setMinimumSize(std::min(kWindowWidth, PageControl1->minimumSizeHint().width()), kWindowHeight);
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("ScrollBox1"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(PageControl1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    publisher_ = std::make_unique<MapPublisher>(dialogs, system, this, ctx_.env.tempDir,
                                                [this] { return tab1_->embeddedBrowserChosen(); });
    tab1_->setMapPublisher(publisher_.get());
    tab1_->setSystemServices(&system_);
    tab2_->setMapPublisher(publisher_.get());
    tab3_->setMapPublisher(publisher_.get());
    tab4_->setMapPublisher(publisher_.get());

    for (EmbeddedBrowser *browser : findChildren<EmbeddedBrowser *>())
        openLinksOutside(browser);
    // An .ov2 or .gpx file dropped anywhere on the window is loaded, even on a text box.
    setAcceptDrops(true);
    for (QWidget *w : findChildren<QWidget *>())
        if (w->acceptDrops())
            w->installEventFilter(this);
    // The caption names the file loaded or saved last.
    setWindowTitle(tab1_->document().caption());
    connect(&tab1_->document(), &PoiDocument::captionChanged, this, &QWidget::setWindowTitle);
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
        connect(converter_, &TForm3::resultReady, tab1_,
                [this](int column, const QString &text) { tab1_->edits().writeConverterResult(column, text); });
    }
}

QString TForm1::droppedPoiFile(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1 || !mime->urls().first().isLocalFile())
        return {};
    const QString path = mime->urls().first().toLocalFile();
    return WindowCodecOfPath(path) ? path : QString();
}

bool TForm1::handleDrop(QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(event);
        if (droppedPoiFile(drag->mimeData()).isEmpty())
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QString path = droppedPoiFile(drop->mimeData());
        if (path.isEmpty())
            return false;
        drop->acceptProposedAction();
        PageControl1->setCurrentIndex(0);
        tab1_->runCommand([&] { tab1_->files().loadDroppedFile(path); });
        return true;
    }
    default:
        return false;
    }
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    return handleDrop(event) || QWidget::eventFilter(watched, event);
}

void TForm1::dragEnterEvent(QDragEnterEvent *event)
{
    if (!handleDrop(event))
        event->ignore();  // anything else: the cursor says no
}

void TForm1::dragMoveEvent(QDragMoveEvent *event)
{
    if (!handleDrop(event))
        event->ignore();
}

void TForm1::dropEvent(QDropEvent *event)
{
    if (!handleDrop(event))
        event->ignore();
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
    // What is being typed counts as a change.
    bool close = true;
    tab1_->runCommand([&] {
        close = !tab1_->isModified() ||
                ctx_.dialogs.askOkCancel(this, QStringLiteral("Les données de la grille ont été modifiées et n'ont pas été "
                                                              "sauvegardées.\n\nQuitter quand même ?"));
    });
    return close;
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
