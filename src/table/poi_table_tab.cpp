#include "table/poi_table_tab.h"

#include "app/version.h"
#include "files/file_commands.h"
#include "geo/decimal_entry.h"
#include "maps/map_commands.h"
#include "table/edit_commands.h"
#include "table/search_commands.h"
#include "table/table_commands.h"

#include "app/app_context.h"
#include "app/widgets_util.h"
#include "files/listing_painter.h"
#include "maps/embedded_browser.h"
#include "table/poi_grid.h"
#include "table/poi_table_model.h"
#include "table/sort_by_field.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QShortcut>
#include <QUndoStack>
#include <QVBoxLayout>

namespace orvalis {

namespace {

// Runs `onEnter` when Enter is released in the search box after being pressed
// there: the Enter that closes a "not found" message is released in the box
// too, and must not search again (and again).
class EnterReleaseFilter : public QObject {
public:
    EnterReleaseFilter(QObject *parent, std::function<void()> onEnter) : QObject(parent), onEnter_(std::move(onEnter)) {}
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->isAutoRepeat()) {
                if (event->type() == QEvent::KeyPress) {
                    pressed_ = true;
                } else if (pressed_) {
                    pressed_ = false;
                    onEnter_();
                }
            }
        } else if (event->type() == QEvent::FocusOut) {
            pressed_ = false;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> onEnter_;
    bool pressed_ = false;
};

}  // namespace

PoiTableTab::PoiTableTab(AppContext &ctx, QWidget *parent)
    : QWidget(parent), ctx_(ctx), doc_(QStringLiteral("Orvalis   V") + Version()), table_(doc_.table()),
      collator_(TableCollator(ctx.env.locale))
{
    setObjectName(QStringLiteral("TabSheet1"));
    model_ = new PoiTableModel(doc_, this);
    files_ = std::make_unique<FileCommands>(ctx_, doc_, static_cast<FileCommandsView &>(*this));
    search_ = std::make_unique<SearchCommands>(*this);
    edits_ = std::make_unique<EditCommands>(*this);
    table_commands_ = std::make_unique<TableCommands>(*this);
    maps_ = std::make_unique<MapCommands>(ctx_, doc_, static_cast<MapCommandsView &>(*this));
    buildControls();
    buildPopupMenu();
    buildShortcuts();
    bindDocument();
}

PoiTableTab::~PoiTableTab() = default;

void PoiTableTab::buildControls()
{
    BitBtn3 = MakeGlyphButton(this, QStringLiteral("BitBtn3"), QStringLiteral("document-open"), QStringLiteral("open"),
                              QStringLiteral("Selectionner le fichier OV2 ou GPX à charger"));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAutoFillBackground(true);
    QPalette pal = Panel1->palette();
    pal.setColor(QPalette::Window, QColor(192, 220, 192));
    Panel1->setPalette(pal);
    Panel1->setFrameShape(QFrame::StyledPanel);
    Edit6 = MakeEdit(Panel1, QStringLiteral("Edit6"), QString(), true);
    Edit6->setFixedWidth(60);
    Label10 = MakeLabel(Panel1, QStringLiteral("Label10"), QStringLiteral("Calculer les distances à partir du POI n° :  "), Edit6);
    Label11 = MakeLabel(Panel1, QStringLiteral("Label11"), QString());
    Label11->setMinimumWidth(120);
    Label11->setMaximumWidth(437);
    Label11->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    BitBtn4 = MakeButton(Panel1, QStringLiteral("BitBtn4"), QStringLiteral("Calculer"));
    auto *panelLayout = new QHBoxLayout(Panel1);
    panelLayout->setContentsMargins(6, 2, 6, 2);
    panelLayout->addWidget(Label10);
    panelLayout->addWidget(Edit6);
    panelLayout->addWidget(Label11);
    panelLayout->addWidget(BitBtn4);
    Panel1->hide();

    Label9 = MakeLabel(this, QStringLiteral("Label9"), QString());
    SetHint(Label9, QStringLiteral("Nombre de POIs"));
    Label9->setStyleSheet(QStringLiteral("color: red;"));
    SetBold(Label9);
    Label9->setMinimumWidth(60);
    Label26 = MakeLabel(this, QStringLiteral("Label26"), QStringLiteral("*"));
    SetHint(Label26, QStringLiteral("Modifié"));
    SetBold(Label26);
    Label26->setFixedHeight(20);
    Label26->hide();
    BitBtn12 = MakeGlyphButton(this, QStringLiteral("BitBtn12"), QStringLiteral("dialog-ok-apply"), QStringLiteral("ok"),
                               QStringLiteral("Valider"));
    BitBtn20 = MakeGlyphButton(this, QStringLiteral("BitBtn20"), QStringLiteral("dialog-cancel"), QStringLiteral("cancel"),
                               QStringLiteral("Abandon"));
    BitBtn12->hide();
    BitBtn20->hide();

    auto *top = new QHBoxLayout;
    top->addWidget(BitBtn3);
    top->addWidget(Panel1);
    top->addStretch(1);
    top->addWidget(Label9);
    top->addWidget(Label26);
    top->addWidget(BitBtn12);
    top->addWidget(BitBtn20);

    gridArea_ = new QWidget(this);
    SG1 = new PoiGrid(gridArea_);
    SG1->setObjectName(QStringLiteral("SG1"));
    SG1->setAccessibleName(QStringLiteral("POIs"));
    SG1->setPoiModel(model_);
    auto *gridLayout = new QVBoxLayout(gridArea_);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->addWidget(SG1);

    Edit13 = MakeEdit(this, QStringLiteral("Edit13"), QStringLiteral("Critère de recherche"));
    Edit13->setFixedWidth(160);
    BitBtn8 = MakeGlyphButton(this, QStringLiteral("BitBtn8"), QStringLiteral("edit-find"), QStringLiteral("search"),
                              QStringLiteral("Rechercher"));
    BitBtn9 = MakeGlyphButton(this, QStringLiteral("BitBtn9"), QStringLiteral("go-down-search"), QStringLiteral("search-next"),
                              QStringLiteral("Suivant"));
    BitBtn8->setToolTip(QString());
    BitBtn9->setToolTip(QString());
    BitBtn9->hide();
    Edit35 = MakeEdit(this, QStringLiteral("Edit35"), QStringLiteral("Rayon du cercle à tracer (Km)"));
    Edit35->setText(QStringLiteral("100"));
    Edit35->setFixedWidth(50);
    Label27 = MakeLabel(this, QStringLiteral("Label27"), QStringLiteral("Rayon cercle (km)"), Edit35);
    Edit34 = MakeEdit(this, QStringLiteral("Edit34"));
    Edit34->setText(QStringLiteral("Scale"));
    Edit34->hide();
    BitBtn17 = MakeGlyphButton(this, QStringLiteral("BitBtn17"), QStringLiteral("applications-internet"), QStringLiteral("web"),
                               QStringLiteral("Détails de cette cache sur le site Geocaching.com"));
    BitBtn17->hide();
    BitBtn15 = MakeButton(this, QStringLiteral("BitBtn15"), QStringLiteral("GPX"), QStringLiteral("Sauvegarder tout dans un fichier GPX"));
    BitBtn16 = MakeButton(this, QStringLiteral("BitBtn16"), QStringLiteral("gpx"),
                          QStringLiteral("Sauvegarder seulement les POIs selectionnés dans un fichier GPX"));
    BitBtn11 = MakeButton(this, QStringLiteral("BitBtn11"), QStringLiteral("OV2"), QStringLiteral("Sauvegarder dans un fichier OV2"));
    BitBtn7 = MakeButton(this, QStringLiteral("BitBtn7"), QStringLiteral("ov2"),
                         QStringLiteral("Sauvegarder seulement les POIs selectionnés dans un fichier OV2"));
    BitBtn18 = MakeButton(this, QStringLiteral("BitBtn18"), QStringLiteral("CSV"), QStringLiteral("Sauvegarder dans un fichier CSV"));
    for (QPushButton *b : {BitBtn15, BitBtn11, BitBtn18})
        SetBold(b);
    for (QPushButton *b : {BitBtn15, BitBtn16, BitBtn11, BitBtn7, BitBtn18})
        b->setFixedWidth(48);
    BitBtn10 = MakeGlyphButton(this, QStringLiteral("BitBtn10"), QStringLiteral("document-print"), QStringLiteral("print"),
                               QStringLiteral("Imprimer les POIs selectionnés"));
    CheckBox1 = MakeCheckBox(this, QStringLiteral("CheckBox1"), QString(), QStringLiteral("Coché = Navigateur interne"));
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->hide();

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Edit13);
    bottom->addWidget(BitBtn8);
    bottom->addWidget(BitBtn9);
    bottom->addSpacing(12);
    bottom->addWidget(Label27);
    bottom->addWidget(Edit35);
    bottom->addWidget(BitBtn17);
    bottom->addStretch(1);
    for (QPushButton *b : {BitBtn15, BitBtn16, BitBtn11, BitBtn7, BitBtn18, BitBtn10})
        bottom->addWidget(b);
    bottom->addSpacing(12);
    bottom->addWidget(CheckBox1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addWidget(gridArea_, 1);
    layout->addLayout(bottom);

    // The tab browser lies over the grid, at the top-left corner of the tab.
    CppWebBrowser3 = new EmbeddedBrowser(QStringLiteral("CppWebBrowser3"), this);
    CppWebBrowser3->setGeometry(0, 0, 844, 0);
    CppWebBrowser3->hide();

    setCommandButtonsEnabled(false);

    onCommand(BitBtn3, &QPushButton::clicked, [this] { files_->BitBtn3Click(); });
    onCommand(BitBtn4, &QPushButton::clicked, [this] { table_commands_->BitBtn4Click(); });
    connect(Edit6, &QLineEdit::textChanged, this, &PoiTableTab::Edit6Change);
    connect(SG1, &PoiGrid::mouseUp, this, [this](Qt::MouseButton button, Qt::KeyboardModifiers mods, int col, int row, QPoint at) {
        runCommand([&] { table_commands_->SG1MouseUp(button, mods, col, row, at); });
    });
    connect(SG1, &PoiGrid::selectCell, this, [this](int col, int row) { edits_->SG1SelectCell(col, row); });
    onCommand(BitBtn8, &QPushButton::clicked, [this] { search_->BitBtn8Click(); });
    onCommand(BitBtn9, &QPushButton::clicked, [this] { search_->BitBtn9Click(); });
    connect(Edit13, &QLineEdit::textChanged, this, [this] { search_->Edit13Change(); });
    Edit13->installEventFilter(new EnterReleaseFilter(this, [this] { runCommand([this] { search_->BitBtn8Click(); }); }));
    onCommand(BitBtn11, &QPushButton::clicked, [this] { files_->BitBtn11Click(); });
    onCommand(BitBtn7, &QPushButton::clicked, [this] { files_->BitBtn7Click(); });
    onCommand(BitBtn15, &QPushButton::clicked, [this] { files_->BitBtn15Click(); });
    onCommand(BitBtn16, &QPushButton::clicked, [this] { files_->BitBtn16Click(); });
    onCommand(BitBtn18, &QPushButton::clicked, [this] { files_->BitBtn18Click(); });
    onCommand(BitBtn10, &QPushButton::clicked, [this] { files_->BitBtn10Click(); });
    onCommand(BitBtn12, &QPushButton::clicked, [this] { maps_->BitBtn12Click(); });
    onCommand(BitBtn20, &QPushButton::clicked, [this] { BitBtn20Click(); });
    onCommand(BitBtn17, &QPushButton::clicked, [this] { maps_->BitBtn17Click(); });
}

void PoiTableTab::buildPopupMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto add = [this](const QString &name, const QString &caption, const QString &icon, std::function<void()> handler) {
        QAction *a = PopupMenu1->addAction(QIcon::fromTheme(icon), caption);
        a->setObjectName(name);
        onCommand(a, &QAction::triggered, std::move(handler));
        return a;
    };
    VisualisercePoisurlacarte1 = add(QStringLiteral("VisualisercePoisurlacarte1"), QStringLiteral("Visualiser ce Poi sur la carte"),
                                     QStringLiteral("find-location"), [this] { maps_->VisualisercePoisurlacarte1Click(); });
    VisualiserlesPoiselectionnssurlacarte1 =
        add(QStringLiteral("VisualiserlesPoiselectionnssurlacarte1"), QStringLiteral("Visualiser les Poi selectionnés sur la carte"),
            QStringLiteral("mark-location"), [this] { maps_->VisualiserlesPoiselectionnssurlacarte1Click(); });
    TraceruncercleunedistancedunPoi1 =
        add(QStringLiteral("TraceruncercleunedistancedunPoi1"), QStringLiteral("Tracer un cercle à distance donnée d'un Poi"),
            QStringLiteral("draw-circle"), [this] { maps_->TraceruncercleunedistancedunPoi1Click(); });
    N1 = PopupMenu1->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    DplacercePoisurlacarte1 = add(QStringLiteral("DplacercePoisurlacarte1"), QStringLiteral("Déplacer la punaise de ce Poi sur la carte"),
                                  QStringLiteral("transform-move"), [this] { maps_->DplacercePoisurlacarte1Click(); });
    AjouterdesPoi1 = add(QStringLiteral("AjouterdesPoi1"), QStringLiteral("Ajouter une nouvelle punaise (Nouveau Poi)"),
                         QStringLiteral("list-add"), [this] { maps_->AjouterdesPoi1Click(); });
    ModifierletextedecePoi1 = add(QStringLiteral("ModifierletextedecePoi1"), QStringLiteral("Modifier le texte de ce Poi"),
                                  QStringLiteral("document-edit"), [this] { edits_->ModifierletextedecePoi1Click(); });
    SupprimercePoi1 = add(QStringLiteral("SupprimercePoi1"), QStringLiteral("Supprimer ce Poi"), QStringLiteral("edit-delete"),
                          [this] { edits_->SupprimercePoi1Click(); });
    // Undo and redo after the seven items; their keys work from anywhere on the tab.
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N2"));
    QUndoStack &history = doc_.history();
    Annulerladerniremodification1 = add(QStringLiteral("Annulerladerniremodification1"), QStringLiteral("Annuler la dernière modification"),
                                        QStringLiteral("edit-undo"), [&history] { history.undo(); });
    Rtablir1 = add(QStringLiteral("Rtablir1"), QStringLiteral("Rétablir"), QStringLiteral("edit-redo"), [&history] { history.redo(); });
    Annulerladerniremodification1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    Rtablir1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    addAction(Annulerladerniremodification1);
    addAction(Rtablir1);
    Annulerladerniremodification1->setEnabled(history.canUndo());
    Rtablir1->setEnabled(history.canRedo());
    connect(&history, &QUndoStack::canUndoChanged, Annulerladerniremodification1, &QAction::setEnabled);
    connect(&history, &QUndoStack::canRedoChanged, Rtablir1, &QAction::setEnabled);
}

void PoiTableTab::setMapWindow(TForm2 *window)
{
    maps_->setMapWindow(window);
}

void PoiTableTab::setMapPublisher(MapPublisher *publisher)
{
    maps_->setMapPublisher(publisher);
}

void PoiTableTab::setSystemServices(SystemServices *system)
{
    maps_->setSystemServices(system);
}

void PoiTableTab::firstDisplay()
{
    LeaveMapMode();
    SG1->setToolTip(QStringLiteral("- Maj + clic gauche = Sélection multilignes\n- Clic droit = Menu contextuel"));
    doc_.setEditMode(false);
    SG1->setEditOptions(false);
    SG1->setFixedColor(Qt::yellow);
}

int PoiTableTab::baseRow() const
{
    return doc_.baseNumber();
}

void PoiTableTab::setEdit6(const QString &text)
{
    if (Edit6->text() == text)
        Edit6Change();  // the change handler runs even when the number stays
    else
        Edit6->setText(text);
}

void PoiTableTab::Edit6Change()
{
    doc_.setBaseNumber(ReadWholeNumber(Edit6->text(), 1));
    const QString base = table_.field(baseRow(), FieldDescription);
    Label11->setText(base);
    ProcessPendingMessages();
    BitBtn17->setVisible(base.startsWith(QStringLiteral("GC")) && doc_.ready());
}

void PoiTableTab::bindDocument()
{
    connect(&doc_, &PoiDocument::modifiedChanged, Label26, &QWidget::setVisible);
    connect(&doc_, &PoiDocument::editModeChanged, this, [this](bool on) {
        SG1->setEditOptions(on);
        SG1->setFixedColor(on ? QColor(192, 192, 192) : QColor(Qt::yellow));
    });
    connect(&doc_, &PoiDocument::poiCountChanged, Label9, &QLabel::setText);
    connect(&doc_, &PoiDocument::rowsMoved, this, &PoiTableTab::refreshBasePanel);
    connect(&doc_, &PoiDocument::readyChanged, this, [this](bool ready) {
        Panel1->setVisible(ready);
        setCommandButtonsEnabled(ready);
        if (!ready)
            BitBtn17->hide();
    });
}

void PoiTableTab::refreshBasePanel()
{
    if (doc_.baseNumber() > table_.lastRow())
        setEdit6(QStringLiteral("1"));
    else
        Edit6Change();
}

bool PoiTableTab::isModified() const
{
    return doc_.modified();
}

void PoiTableTab::setModified(bool modified)
{
    doc_.setModified(modified);
}

bool PoiTableTab::embeddedBrowserChosen() const
{
    return CheckBox1->isChecked();
}

// The controls of the table mode, hidden while a map covers the grid.
std::array<QWidget *, 9> PoiTableTab::tableModeControls() const
{
    return {BitBtn7, BitBtn8, BitBtn10, BitBtn11, BitBtn15, BitBtn16, BitBtn18, Edit13, Edit35};
}

void PoiTableTab::EnterMapMode()
{
    for (QWidget *w : tableModeControls())
        w->hide();
    BitBtn9->hide();  // the search restarts from the top after the map
    BitBtn12->show();
    BitBtn20->show();
}

void PoiTableTab::LeaveMapMode()
{
    CppWebBrowser3->resize(CppWebBrowser3->width(), 0);
    CppWebBrowser3->hide();
    for (QWidget *w : tableModeControls())
        w->show();
    BitBtn9->hide();
    BitBtn12->hide();
    BitBtn20->hide();
}

void PoiTableTab::showTabBrowser()
{
    // Over the grid, below the row that holds "Valider" and "Abandon", and no larger:
    // a page cut at the bottom loses its attribution and needs a scrollbar.
    CppWebBrowser3->setGeometry(gridArea_->geometry());
    CppWebBrowser3->show();
    CppWebBrowser3->raise();
}

void PoiTableTab::buildShortcuts()
{
    // Active while the first tab is shown.
    auto shortcut = [this](const QKeySequence &keys, std::function<void()> command) {
        onCommand(new QShortcut(keys, this), &QShortcut::activated, std::move(command));
    };
    shortcut(QKeySequence::Open, [this] { files_->BitBtn3Click(); });
    shortcut(QKeySequence::Find, [this] {
        if (Edit13->isVisible())
            Edit13->setFocus(Qt::ShortcutFocusReason);
    });
    shortcut(QKeySequence(Qt::Key_F3), [this] {
        if (BitBtn9->isVisible())
            search_->BitBtn9Click();
    });
    connect(SG1, &PoiGrid::menuKeyPressed, this, [this] { runCommand([this] { openRowMenuFromKeyboard(); }); });
}

void PoiTableTab::runCommand(const std::function<void()> &command)
{
    // What is being typed in a cell belongs to the table before any command reads or changes it.
    SG1->commitOpenEditor();
    command();
}

void PoiTableTab::openRowMenuFromKeyboard()
{
    const QModelIndex current = SG1->currentIndex();
    if (!current.isValid())
        return;
    const int col = std::max(current.column(), 1);
    // A row scrolled out of view comes back first, so the menu opens beside it.
    SG1->scrollTo(model_->index(current.row(), col));
    const QRect cell = SG1->visualRect(model_->index(current.row(), col));
    table_commands_->SG1MouseUp(Qt::RightButton, Qt::NoModifier, col, current.row() + 1,
                                SG1->viewport()->mapToGlobal(cell.center()));
}

void PoiTableTab::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (CppWebBrowser3->isVisible())
        CppWebBrowser3->setGeometry(gridArea_->geometry());
}

void PoiTableTab::BitBtn20Click()
{
    LeaveMapMode();
}

void PoiTableTab::setBusy(bool busy)
{
    model_->setBusy(busy);
}

void PoiTableTab::setCommandButtonsEnabled(bool enabled)
{
    for (QPushButton *b : {BitBtn7, BitBtn8, BitBtn10, BitBtn11, BitBtn15, BitBtn16, BitBtn18})
        b->setEnabled(enabled);
}

std::pair<int, int> PoiTableTab::selectedRows() const
{
    return SG1->selectedRange();
}

std::unique_ptr<QPrinter> PoiTableTab::printer()
{
    return printerFactory_ ? printerFactory_() : DefaultPrinter();
}

void PoiTableTab::tableLoaded()
{
    setEdit6(QStringLiteral("1"));
    SG1->setEditOptions(false);
    SG1->setCurrentRowQuietly(1);  // the keyboard's row menu has a row to open on
    SG1->setFixedColor(Qt::yellow);
}

void PoiTableTab::highlightRow(int row)
{
    SG1->selectCells(row, 1, kFieldCount - 1);
}

void PoiTableTab::editNewPoi(int row)
{
    highlightRow(row);
    SG1->scrollRowToTop(table_.rowCount() < 25 ? 1 : table_.rowCount() - 23);
    // In-place editing of the new description, without edit mode itself.
    SG1->setEditOptions(true);
    SG1->setCurrentIndex(model_->index(row - 1, FieldDescription));
}

QString PoiTableTab::poiCount() const
{
    return doc_.poiCountText();
}

QString PoiTableTab::searchText() const
{
    return Edit13->text();
}

void PoiTableTab::showSearchNext(bool next)
{
    BitBtn8->setVisible(!next);
    BitBtn9->setVisible(next);
}

void PoiTableTab::setBaseDescription(const QString &text)
{
    Label11->setText(text);
}

void PoiTableTab::enableRowMenu(bool poiItems)
{
    for (QAction *a : {VisualisercePoisurlacarte1, VisualiserlesPoiselectionnssurlacarte1, TraceruncercleunedistancedunPoi1,
                       DplacercePoisurlacarte1, ModifierletextedecePoi1, SupprimercePoi1})
        a->setEnabled(poiItems);
    AjouterdesPoi1->setEnabled(true);
}

void PoiTableTab::popupRowMenu(const QPoint &globalPos)
{
    PopupMenu1->popup(globalPos);
}

QString PoiTableTab::circleRadiusText() const
{
    return Edit35->text();
}

void PoiTableTab::setMapScale(const QString &text)
{
    Edit34->setText(text);
}

void PoiTableTab::showReadBack(const QString &text)
{
    Memo1->setPlainText(text);
}

}  // namespace orvalis
