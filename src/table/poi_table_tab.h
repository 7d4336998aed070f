#pragma once

#include "table/poi_document.h"
#include "table/poi_table.h"

#include <QCollator>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QPlainTextEdit;
class QPrinter;
class QPushButton;

namespace orvalis {

struct AppContext;
class EmbeddedBrowser;
class MapPublisher;
class PoiGrid;
class PoiTableModel;
class SystemServices;
class TForm2;

// Tab 1: the POI table with its load, distance, search, save, print and map commands.
class PoiTableTab : public QWidget {
    Q_OBJECT
public:
    PoiTableTab(AppContext &ctx, QWidget *parent = nullptr);
    ~PoiTableTab() override;

    void setMapWindow(TForm2 *window) { mapWindow_ = window; }
    void setMapPublisher(MapPublisher *publisher) { publisher_ = publisher; }
    void setSystemServices(SystemServices *system) { system_ = system; }
    // Where printing goes; the system's default printer unless a test says otherwise.
    void setPrinterFactory(std::function<std::unique_ptr<QPrinter>()> factory) { printerFactory_ = std::move(factory); }

    PoiDocument &document() { return doc_; }
    PoiTable &table() { return table_; }
    // The text of the POI count label.
    QString poiCount() const;
    PoiTableModel *model() const { return model_; }
    PoiGrid *grid() const { return SG1; }
    EmbeddedBrowser *tabBrowser() const { return CppWebBrowser3; }
    ClickState &clickState() { return click_; }
    bool editMode() const { return editMode_; }
    PinMode pinMode() const { return doc_.pinMode(); }
    QString importFolder() const { return doc_.importFolder(); }
    bool isModified() const;
    void setModified(bool modified);
    bool embeddedBrowserChosen() const;

    // Start-up settings of the first display.
    void firstDisplay();

    // Table mode and map mode of the tab.
    void EnterMapMode();
    void LeaveMapMode();
    void showTabBrowser();

    // Commands.
    void BitBtn3Click();   // load
    // A file dropped on the window: the load, without the open dialog.
    void loadDroppedFile(const QString &path);
    // Keyboard: the row menu on the current row (Menu key, Shift+F10).
    void openRowMenuFromKeyboard();
    void BitBtn4Click();   // distance run
    void Edit6Change();
    void SG1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int col, int row, QPoint globalPos);
    void SG1SelectCell(int col, int row);
    void BitBtn8Click();   // search from the top
    void BitBtn9Click();   // find next
    void Edit13Change();
    void ModifierletextedecePoi1Click();
    void SupprimercePoi1Click();
    void LeaveEditMode();
    void BitBtn11Click();  // save all, OV2
    void BitBtn7Click();   // save selection, OV2
    void BitBtn15Click();  // save all, GPX
    void BitBtn16Click();  // save selection, GPX
    void BitBtn18Click();  // CSV export
    void BitBtn10Click();  // print
    void BitBtn12Click();  // "Valider": pin read-back
    void BitBtn20Click();  // "Abandon"
    void BitBtn17Click();  // geocache details
    void VisualisercePoisurlacarte1Click();
    void VisualiserlesPoiselectionnssurlacarte1Click();
    void TraceruncercleunedistancedunPoi1Click();
    void DplacercePoisurlacarte1Click();
    void AjouterdesPoi1Click();

    // Writes a converter result into the row last clicked.
    void writeConverterResult(int column, const QString &text);

signals:
    // A left click on a POI row hands its coordinates to the calculator tabs.
    void coordinatesClicked(const QString &latitude, const QString &longitude);
    // A right click in edit mode on a coordinate cell.
    void converterRequested(int column, const QString &latitude, const QString &longitude);

private:
    void buildControls();
    void buildShortcuts();
    bool mayReplaceTable();
    void loadFile(const QString &path);
    void buildPopupMenu();
    void setBusy(bool busy);
    void setCommandButtonsEnabled(bool enabled);
    std::array<QWidget *, 9> tableModeControls() const;
    int baseRow() const;
    int rowSearch(int from, const QString &pattern);
    void OpenConverter(int col, int row);
    void saveFamily(bool gpx, bool selectionOnly);
    bool askSavePath(const QString &filter, const QString &suffix, QString *path);
    bool writeWhole(const QString &path, const QByteArray &bytes, const QString &cannotCreate);
    void selectCurrentRowCells();
    void setEdit6(const QString &text);
    void showOnTabBrowser(const QString &page, PinMode pinMode);
    void bindDocument();
    // Row numbers moved or shrank: the base panel names the POI now at its number.
    void refreshBasePanel();
    void prepareMapWindow();
    void showOnMapWindow(const QString &page, const QString &caption);
    void addPoiRow(const QString &latitude, const QString &longitude);
    QString markerPieces(int first, int last) const;
    void resizeEvent(QResizeEvent *event) override;

    AppContext &ctx_;
    PoiDocument doc_;
    PoiTable &table_;
    PoiTableModel *model_ = nullptr;
    QCollator collator_;
    ClickState click_;
    bool editMode_ = false;
    int searchPosition_ = 0;
    bool movingEditedRow_ = false;
    bool pinPageInTabBrowser_ = false;
    TForm2 *mapWindow_ = nullptr;
    MapPublisher *publisher_ = nullptr;
    SystemServices *system_ = nullptr;
    std::function<std::unique_ptr<QPrinter>()> printerFactory_;

    // Controls, by their documented names.
    QPushButton *BitBtn3;
    PoiGrid *SG1;
    QFrame *Panel1;
    QLabel *Label10;
    QLineEdit *Edit6;
    QLabel *Label11;
    QPushButton *BitBtn4;
    QLabel *Label9;
    QLabel *Label26;
    QLineEdit *Edit13;
    QPushButton *BitBtn8;
    QPushButton *BitBtn9;
    QLabel *Label27;
    QLineEdit *Edit35;
    QLineEdit *Edit34;
    QPushButton *BitBtn17;
    QPushButton *BitBtn15;
    QPushButton *BitBtn16;
    QPushButton *BitBtn11;
    QPushButton *BitBtn7;
    QPushButton *BitBtn18;
    QPushButton *BitBtn10;
    QCheckBox *CheckBox1;
    QPushButton *BitBtn12;
    QPushButton *BitBtn20;
    EmbeddedBrowser *CppWebBrowser3;
    QPlainTextEdit *Memo1;
    QMenu *PopupMenu1;
    QAction *VisualisercePoisurlacarte1;
    QAction *VisualiserlesPoiselectionnssurlacarte1;
    QAction *TraceruncercleunedistancedunPoi1;
    QAction *N1;
    QAction *DplacercePoisurlacarte1;
    QAction *AjouterdesPoi1;
    QAction *ModifierletextedecePoi1;
    QAction *SupprimercePoi1;
    QWidget *gridArea_;
};

}  // namespace orvalis
