#pragma once

#include "files/file_commands.h"
#include "maps/map_commands.h"
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
class EditCommands;
class EmbeddedBrowser;
class FileCommands;
class SearchCommands;
class TableCommands;
class MapPublisher;
class PoiGrid;
class PoiTableModel;
class SystemServices;
class TForm2;

// Tab 1: the POI table with its load, distance, search, save, print and map commands.
class PoiTableTab : public QWidget, private FileCommandsView, private MapCommandsView {
    Q_OBJECT
public:
    PoiTableTab(AppContext &ctx, QWidget *parent = nullptr);
    ~PoiTableTab() override;

    void setMapWindow(TForm2 *window);
    void setMapPublisher(MapPublisher *publisher);
    void setSystemServices(SystemServices *system);
    // Where printing goes; the system's default printer unless a test says otherwise.
    void setPrinterFactory(std::function<std::unique_ptr<QPrinter>()> factory) { printerFactory_ = std::move(factory); }

    PoiDocument &document() { return doc_; }
    const PoiTable &table() const { return table_; }
    // The text of the POI count label.
    QString poiCount() const;
    PoiTableModel *model() const { return model_; }
    PoiGrid *grid() const { return SG1; }
    EmbeddedBrowser *tabBrowser() const override { return CppWebBrowser3; }
    const ClickState &clickState() const { return doc_.clickState(); }
    bool editMode() const { return doc_.editMode(); }
    PinMode pinMode() const { return doc_.pinMode(); }
    QString importFolder() const { return doc_.importFolder(); }
    bool isModified() const;
    void setModified(bool modified);
    bool embeddedBrowserChosen() const override;

    // The commands, by concern; the tab holds the controls, their layout and their wiring.
    FileCommands &files() { return *files_; }
    SearchCommands &search() { return *search_; }
    EditCommands &edits() { return *edits_; }
    TableCommands &tableCommands() { return *table_commands_; }
    MapCommands &maps() { return *maps_; }

    // Start-up settings of the first display.
    void firstDisplay();

    // Table mode and map mode of the tab.
    void EnterMapMode() override;
    void LeaveMapMode() override;
    void showTabBrowser() override;
    void BitBtn20Click();  // "Abandon"
    void Edit6Change();
    // Runs a command of the tab (a button, a key, a menu item, a drop, the close
    // question) once a cell being typed in is committed: none can lose the text.
    void runCommand(const std::function<void()> &command);
    // Keyboard: the row menu on the current row (Menu key, Shift+F10).
    void openRowMenuFromKeyboard();

signals:
    // A left click on a POI row hands its coordinates to the calculator tabs.
    void coordinatesClicked(const QString &latitude, const QString &longitude);
    // A right click in edit mode on a coordinate cell.
    void converterRequested(int column, const QString &latitude, const QString &longitude);

public:
    // What the commands use: the context, the sort order, and the controls by what they show.
    AppContext &context() { return ctx_; }
    const QCollator &collator() const override { return collator_; }
    void setBusy(bool busy) override;
    int baseRow() const;
    void setEdit6(const QString &text);
    QString searchText() const;
    // "Suivant" in place of "Rechercher" while a search goes on.
    void showSearchNext(bool next);
    void setBaseDescription(const QString &text);
    // The row menu: its POI items enabled or not ("Ajouter des Poi" always), and shown at a point.
    void enableRowMenu(bool poiItems);
    void popupRowMenu(const QPoint &globalPos);
    QString circleRadiusText() const override;
    void setMapScale(const QString &text) override;
    // The text read back from the tab browser, kept as the program's memo.
    void showReadBack(const QString &text) override;

private:
    // What the file and map commands ask of the tab.
    QWidget *dialogParent() override { return this; }
    std::pair<int, int> selectedRows() const override;
    std::unique_ptr<QPrinter> printer() override;
    void tableLoaded() override;
    // What the map commands ask of it.
    void highlightRow(int row) override;
    void editNewPoi(int row) override;

    template <typename Sender, typename Signal>
    void onCommand(Sender *sender, Signal signal, std::function<void()> command)
    {
        connect(sender, signal, this, [this, command = std::move(command)] { runCommand(command); });
    }
    void buildControls();
    void buildPopupMenu();
    void buildShortcuts();
    void bindDocument();
    void setCommandButtonsEnabled(bool enabled);
    std::array<QWidget *, 9> tableModeControls() const;
    // Row numbers moved or shrank: the base panel names the POI now at its number.
    void refreshBasePanel();
    void resizeEvent(QResizeEvent *event) override;

    AppContext &ctx_;
    PoiDocument doc_;
    const PoiTable &table_;
    PoiTableModel *model_ = nullptr;
    QCollator collator_;
    std::function<std::unique_ptr<QPrinter>()> printerFactory_;
    std::unique_ptr<FileCommands> files_;
    std::unique_ptr<SearchCommands> search_;
    std::unique_ptr<EditCommands> edits_;
    std::unique_ptr<TableCommands> table_commands_;
    std::unique_ptr<MapCommands> maps_;

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
    QAction *Annulerladerniremodification1;
    QAction *Rtablir1;
    QWidget *gridArea_;
};

}  // namespace orvalis
