#pragma once

#include "app/app_context.h"

#include <QWidget>
#include <memory>

class QMimeData;
class QTabWidget;

namespace orvalis {

class CrossingTab;
class DestinationTab;
class EmbeddedBrowser;
class Dialogs;
class HelpTab;
class MapPublisher;
class PoiTableTab;
class SystemServices;
class TForm2;
class TForm3;
class TwoPoiTab;

// The main window: five tabs, the start-up settings and the close question.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    TForm1(const AppEnvironment &env, Dialogs &dialogs, SystemServices &system, QWidget *parent = nullptr);
    ~TForm1() override;

    // The map and converter windows, created after this one.
    void setCompanions(TForm2 *mapWindow, TForm3 *converter);

    AppContext &context() { return ctx_; }
    PoiTableTab *poiTab() const { return tab1_; }
    MapPublisher *publisher() const { return publisher_.get(); }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormShow();
    bool FormCloseQuery();
    void FormClose();
    void handOffCoordinates(const QString &latitude, const QString &longitude);
    void openLinksOutside(EmbeddedBrowser *browser);
    // The one .ov2 or .gpx file a drag carries, or nothing.
    static QString droppedPoiFile(const QMimeData *mime);
    bool handleDrop(QEvent *event);

    AppContext ctx_;
    SystemServices &system_;
    std::unique_ptr<MapPublisher> publisher_;
    QTabWidget *PageControl1;
    PoiTableTab *tab1_;
    TwoPoiTab *tab2_;
    DestinationTab *tab3_;
    CrossingTab *tab4_;
    HelpTab *tab5_;
    TForm2 *mapWindow_ = nullptr;
    TForm3 *converter_ = nullptr;
    bool shown_ = false;
};

}  // namespace orvalis
