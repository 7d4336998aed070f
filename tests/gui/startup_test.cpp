#include "support/app_fixture.h"
#include "support/poi_files.h"

#include "app/orvalis_application.h"
#include "maps/map_publisher.h"
#include "table/poi_grid.h"

#include "app/dialogs.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QTreeView>
#include <QMessageBox>
#include <stdexcept>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QTranslator>
#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

using namespace orvalis;
using namespace orvalis::testing;

TEST(Startup, MainWindowAloneIsShownWithItsCaptionAndTabs)
{
    AppFixture app;
    app.show();
    EXPECT_TRUE(app.form1->isVisible());
    EXPECT_FALSE(app.form2->isVisible());
    EXPECT_FALSE(app.form3->isVisible());
    EXPECT_EQ(app.form1->windowTitle(), QStringLiteral("Orvalis   V8.3"));
    EXPECT_EQ(app.form1->palette().color(QPalette::Window), QColor(212, 254, 254));
    auto *tabs = app.find<QTabWidget>("PageControl1");
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->tabPosition(), QTabWidget::South);
    QStringList captions;
    for (int i = 0; i < tabs->count(); ++i)
        captions << tabs->tabText(i);
    EXPECT_EQ(captions, (QStringList{"Distance entre POIs multiples", "Distance entre deux POIs", "POI 1 + Gisement --> POI 2",
                                     "Croisement", "Aide"}));
    EXPECT_EQ(tabs->currentIndex(), 0);
}

TEST(Startup, InitialStatesOfTheFirstTab)
{
    AppFixture app;
    app.show();
    EXPECT_TRUE(app.find<QLabel>("Label26")->isHidden());
    EXPECT_TRUE(app.find("Panel1")->isHidden());
    for (const char *name : {"BitBtn7", "BitBtn8", "BitBtn10", "BitBtn11", "BitBtn15", "BitBtn16", "BitBtn18"})
        EXPECT_FALSE(app.find(name)->isEnabled()) << name;
    EXPECT_TRUE(app.find("BitBtn3")->isEnabled());
    EXPECT_TRUE(app.find("BitBtn12")->isHidden());
    EXPECT_TRUE(app.find("BitBtn20")->isHidden());
    EXPECT_TRUE(app.find("BitBtn9")->isHidden());
    EXPECT_TRUE(app.find("BitBtn17")->isHidden());
    EXPECT_EQ(app.find("CppWebBrowser3")->height(), 0);
    EXPECT_EQ(app.text("Edit35"), QStringLiteral("100"));
    EXPECT_FALSE(app.find<QCheckBox>("CheckBox1")->isChecked());
    EXPECT_EQ(app.find("CheckBox1")->toolTip(), QStringLiteral("Coché = Navigateur interne"));
    EXPECT_EQ(app.find("SG1")->toolTip(), QStringLiteral("- Maj + clic gauche = Sélection multilignes\n- Clic droit = Menu contextuel"));
    EXPECT_EQ(app.find<QLabel>("Label10")->text(), QStringLiteral("Calculer les distances à partir du POI n° :  "));
    EXPECT_EQ(app.find("BitBtn17")->toolTip(), QStringLiteral("Détails de cette cache sur le site Geocaching.com"));
}

TEST(Startup, PopupMenuHasItsEightItemsInOrderThenUndoAndRedo)
{
    AppFixture app;
    auto *menu = app.find<QMenu>("PopupMenu1");
    ASSERT_NE(menu, nullptr);
    QStringList names;
    for (QAction *a : menu->actions())
        names << a->objectName();
    EXPECT_EQ(names, (QStringList{"VisualisercePoisurlacarte1", "VisualiserlesPoiselectionnssurlacarte1",
                                  "TraceruncercleunedistancedunPoi1", "N1", "DplacercePoisurlacarte1", "AjouterdesPoi1",
                                  "ModifierletextedecePoi1", "SupprimercePoi1", "N2", "Annulerladerniremodification1", "Rtablir1"}));
    EXPECT_EQ(menu->actions().at(5)->text(), QStringLiteral("Ajouter une nouvelle punaise (Nouveau Poi)"));
    EXPECT_EQ(menu->actions().at(9)->text(), QStringLiteral("Annuler la dernière modification"));
    EXPECT_EQ(menu->actions().at(10)->text(), QStringLiteral("Rétablir"));
    EXPECT_TRUE(menu->actions().at(3)->isSeparator());
}

TEST(Startup, EveryDocumentedControlIsFoundByName)
{
    AppFixture app;
    QStringList names = {"BitBtn3", "SG1", "Panel1", "Label10", "Edit6", "Label11", "BitBtn4", "Label9", "Label26",
                         "Edit13", "BitBtn8", "BitBtn9", "Label27", "Edit35", "BitBtn17", "BitBtn15", "BitBtn16",
                         "BitBtn11", "BitBtn7", "BitBtn18", "BitBtn10", "CheckBox1", "BitBtn12", "BitBtn20",
                         "CppWebBrowser3", "Memo1", "Edit34", "RichEdit1", "Label18", "Label19", "Shape1", "Shape2",
                         "Label21", "Label22", "Label23", "Label8", "BitBtn1", "BitBtn2", "BitBtn5", "BitBtn6",
                         "BitBtn13", "BitBtn14", "CheckBox2", "CheckBox3", "CheckBox4", "CppWebBrowser1",
                         "CppWebBrowser2", "CppWebBrowser4"};
    for (int i = 1; i <= 35; ++i)
        if (i != 6 && i != 13 && i != 25 && i != 30 && i != 33 && i != 34 && i != 35)
            names << QStringLiteral("Edit%1").arg(i);
    for (const QString &n : names)
        EXPECT_NE(app.find(n), nullptr) << n.toStdString();
    EXPECT_NE(app.form3->findChild<QWidget *>("ComboBox1"), nullptr);
    EXPECT_NE(app.form2->findChild<QWidget *>("CppWebBrowser1"), nullptr);
}

TEST(Startup, HintsFollowTheDecimalSeparator)
{
    AppFixture comma(u',');
    comma.show();
    EXPECT_EQ(comma.find("Edit9")->toolTip(), QStringLiteral("Exemple : 300,5"));
    EXPECT_EQ(comma.find("Edit4")->toolTip(), QStringLiteral("Exemple : -4,49448"));
    AppFixture point(u'.');
    point.show();
    EXPECT_EQ(point.find("Edit9")->toolTip(), QStringLiteral("Example : 300.5"));
    EXPECT_EQ(point.find("Edit1")->toolTip(), QStringLiteral("Example : 48.8531"));
    // Tab 4 keeps its comma forms in every locale.
    EXPECT_EQ(point.find("Edit15")->toolTip(), QStringLiteral("Latitude (ex : 48,2358"));
    EXPECT_EQ(point.find("Edit16")->toolTip(), QStringLiteral("Longitude (ex : -1,025)"));
}

TEST(Startup, HelpTextBeginsWithAnEmptyLineThenTheRedCentredTitle)
{
    AppFixture app;
    app.show();
    auto *box = app.find<QTextEdit>("RichEdit1");
    QTextDocument *doc = box->document();
    ASSERT_GT(doc->blockCount(), 60);
    EXPECT_TRUE(doc->findBlockByNumber(0).text().isEmpty());
    const QTextBlock title = doc->findBlockByNumber(1);
    EXPECT_EQ(title.text(), QStringLiteral("Orvalis (Version 8.3)"));
    EXPECT_EQ(title.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(title.begin().fragment().charFormat().foreground().color(), QColor(Qt::red));
    EXPECT_TRUE(box->toPlainText().contains(QStringLiteral("  * Appuyez sur le bouton \"Calculer\"")));
    // Section titles are underlined.
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (b.text() == QStringLiteral("CROISEMENT") || b.text().startsWith(QStringLiteral("DISTANCE ET GISEMENT"))) {
            EXPECT_TRUE(b.begin().fragment().charFormat().fontUnderline());
        }
    }
    EXPECT_EQ(app.find<QLabel>("Label18")->text(), QStringLiteral("Forum d'aide : "));
    EXPECT_EQ(app.find<QLabel>("Label19")->text(), QStringLiteral("http://forum.orvalis.org/phpBB2/index.php"));
}

TEST(Startup, CommandLineArgumentIsOnlyShown)
{
    AppFixture app(u',', {"/home/user/pois.ov2"});
    EXPECT_EQ(app.dialogs.texts("message"), QStringList{"Retour de File Explorer : \n/home/user/pois.ov2"});
    EXPECT_EQ(app.tab()->table().rowCount(), 2);
}

TEST(Close, NoQuestionWhenNothingChanged)
{
    AppFixture app;
    app.show();
    EXPECT_TRUE(app.form1->close());
    EXPECT_TRUE(app.dialogs.shown.empty());
}

TEST(Close, ModifiedTableAsksAndCancelKeepsTheWindow)
{
    AppFixture app;
    app.show();
    app.tab()->document().setCell(1, FieldDescription, QStringLiteral("gardé"));
    app.tab()->setModified(true);
    app.dialogs.answers = {false};
    EXPECT_FALSE(app.form1->close());
    EXPECT_TRUE(app.form1->isVisible());
    EXPECT_EQ(app.dialogs.texts("okcancel"),
              QStringList{"Les données de la grille ont été modifiées et n'ont pas été sauvegardées.\n\nQuitter quand même ?"});
    EXPECT_EQ(app.tab()->table().field(1, FieldDescription), QStringLiteral("gardé"));
    app.dialogs.answers = {true};
    EXPECT_TRUE(app.form1->close());
}

TEST(Close, MapFileIsDeletedOnClose)
{
    AppFixture app;
    app.show();
    MapPublisher *pub = app.form1->publisher();
    ASSERT_TRUE(pub->writePage(QStringLiteral("<html></html>")));
    const QString page = pub->pagePath();
    ASSERT_TRUE(QFile::exists(page));
    EXPECT_TRUE(page.startsWith(app.temp.path()));
    EXPECT_TRUE(app.form1->close());
    EXPECT_FALSE(QFile::exists(page));
}

TEST(Environment, TemporaryFolderIsAbsoluteWithAFallback)
{
    const QByteArray saved = qgetenv("TEMP");
    qunsetenv("TEMP");
    EXPECT_EQ(ReadEnvironment({}).tempDir, QDir::cleanPath(QDir::tempPath()));
    // Browsers get the page by absolute path; a relative TEMP must not leave them lost.
    qputenv("TEMP", "reltemp/sub");
    EXPECT_EQ(ReadEnvironment({}).tempDir, QDir::cleanPath(QDir::currentPath() + "/reltemp/sub"));
    qputenv("TEMP", "/var/tmp/");
    EXPECT_EQ(ReadEnvironment({"a.gpx"}).tempDir, QStringLiteral("/var/tmp"));
    EXPECT_EQ(ReadEnvironment({"a.gpx"}).arguments, QStringList{"a.gpx"});
    if (saved.isNull())
        qunsetenv("TEMP");
    else
        qputenv("TEMP", saved);
}

TEST(MapMode, EnterAndLeaveShowExactlyTheListedControls)
{
    AppFixture app;
    app.show();
    const QStringList tableControls = {"BitBtn7", "BitBtn8", "BitBtn10", "BitBtn11", "BitBtn15", "BitBtn16", "BitBtn18", "Edit13", "Edit35"};
    app.tab()->EnterMapMode();
    for (const QString &n : tableControls)
        EXPECT_TRUE(app.find(n)->isHidden()) << n.toStdString();
    EXPECT_FALSE(app.find("BitBtn12")->isHidden());
    EXPECT_FALSE(app.find("BitBtn20")->isHidden());
    app.tab()->showTabBrowser();
    EXPECT_EQ(app.find("CppWebBrowser3")->geometry(), app.tab()->grid()->parentWidget()->geometry());
    // "Abandon" goes back to the table.
    qobject_cast<QPushButton *>(app.find("BitBtn20"))->click();
    for (const QString &n : tableControls)
        EXPECT_FALSE(app.find(n)->isHidden()) << n.toStdString();
    EXPECT_TRUE(app.find("BitBtn12")->isHidden());
    EXPECT_TRUE(app.find("BitBtn20")->isHidden());
    EXPECT_EQ(app.find("CppWebBrowser3")->height(), 0);
}

TEST(Translations, QtsOwnTextsAreFrench)
{
    QObject *translator = InstallQtFrench(QCoreApplication::instance());
    ASSERT_NE(translator, nullptr) << "Qt's French catalogue (qt6-translations-l10n) is missing";
    EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Undo"), QStringLiteral("&Annuler"));
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Look in:"));
    QCoreApplication::removeTranslator(static_cast<QTranslator *>(translator));
    delete translator;
}

TEST(Seams, QtDialogsHaveTheFrenchTitlesButtonsAndOptions)
{
    const auto question = MakeQuestionBox(nullptr, QStringLiteral("Charger quand même ?"), QStringLiteral("&Oui"));
    EXPECT_EQ(question->windowTitle(), QStringLiteral("Avertissement"));
    EXPECT_EQ(question->icon(), QMessageBox::Warning);
    ASSERT_EQ(question->buttons().size(), 2);
    EXPECT_EQ(question->defaultButton()->text(), QStringLiteral("&Oui"));
    EXPECT_EQ(question->escapeButton()->property("text").toString(), QStringLiteral("Annuler"));
    const auto error = MakeMessageBox(nullptr, QMessageBox::Critical, QStringLiteral("Erreur"), QStringLiteral("x"));
    EXPECT_EQ(error->windowTitle(), QStringLiteral("Erreur"));
    ASSERT_EQ(error->buttons().size(), 1);
    EXPECT_EQ(error->buttons().first()->text(), QStringLiteral("OK"));
    // The overwrite question is the command's own: the dialog must not ask it a second time.
    const auto save = MakeSaveDialog(nullptr, QDir::tempPath(), QStringLiteral("Fichiers GPX|*.gpx"), QStringLiteral("gpx"));
    EXPECT_TRUE(save->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(save->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(save->defaultSuffix(), QStringLiteral("gpx"));
    EXPECT_EQ(save->nameFilters(), QStringList{"Fichiers GPX (*.gpx)"});
    EXPECT_EQ(QDir(save->directory()).canonicalPath(), QDir(QDir::tempPath()).canonicalPath());
    // Both file dialogs come up large enough for names and types, and within the screen.
    const auto open = MakeOpenDialog(nullptr, QStringLiteral("Ouvrir"), QDir::tempPath(), QStringLiteral("Fichiers OV2|*.ov2"));
    EXPECT_EQ(open->fileMode(), QFileDialog::ExistingFile);
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    for (const QFileDialog *d : {open.get(), save.get()}) {
        EXPECT_GE(d->width(), std::min(800, screen.width() * 2 / 3));
        EXPECT_GE(d->height(), std::min(500, screen.height() * 2 / 3));
        EXPECT_LE(d->width(), screen.width());
        EXPECT_LE(d->height(), screen.height());
    }
}

// The type column names folders and our files in French.
TEST(Seams, FileDialogsNameTheKindsOfFilesInFrench)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("Voyages"));
    for (const char *name : {"villes.ov2", "traces.GPX", "export.csv"})
        ASSERT_TRUE(WriteFile(dir.filePath(QString::fromLatin1(name)), "x"));
    const auto open = MakeOpenDialog(nullptr, QStringLiteral("Ouvrir"), dir.path(), QStringLiteral("Fichiers OV2|*.ov2"));
    const auto save = MakeSaveDialog(nullptr, dir.path(), QStringLiteral("Fichiers CSV|*.csv"), QStringLiteral("csv"));
    for (const QFileDialog *d : {open.get(), save.get()}) {
        auto *model = d->findChild<QFileSystemModel *>();
        ASSERT_NE(model, nullptr);
        auto type = [&](const char *name) { return model->type(model->index(dir.filePath(QString::fromLatin1(name)))); };
        EXPECT_EQ(type("Voyages"), QStringLiteral("Dossier"));
        EXPECT_EQ(type("villes.ov2"), QStringLiteral("Fichier OV2"));
        EXPECT_EQ(type("traces.GPX"), QStringLiteral("Fichier GPX"));
        EXPECT_EQ(type("export.csv"), QStringLiteral("Fichier CSV"));
        // Wide enough to read whole.
        auto *details = d->findChild<QTreeView *>(QStringLiteral("treeView"));
        ASSERT_NE(details, nullptr);
        EXPECT_GE(details->header()->sectionSize(2), details->fontMetrics().horizontalAdvance(QStringLiteral("Fichier OV2")) + 8);
    }
}

namespace {
class Thrower : public QObject {
public:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::User)
            throw std::runtime_error("Division par zéro en virgule flottante.");
        return QObject::event(e);
    }
};
}  // namespace

TEST(Seams, AnExceptionEscapingAHandlerIsReportedAndTheProgramGoesOn)
{
    auto *app = dynamic_cast<OrvalisApplication *>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    ScriptedDialogs dialogs;
    app->setDialogs(&dialogs);
    Thrower thrower;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&thrower, &event));
    app->setDialogs(nullptr);
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Division par zéro en virgule flottante."});
}

// A screen reader names a combo box by its label (the box's own name is the
// letter it holds) and the line typed into by that line's name.
TEST(Accessibility, TheConverterHemisphereBoxIsNamed)
{
    AppFixture app;
    app.show();
    app.form3->open(1, QStringLiteral("48,5"), QStringLiteral("2,5"), u',');
    auto *box = app.form3->findChild<QComboBox *>(QStringLiteral("ComboBox1"));
    ASSERT_NE(box, nullptr);
    QAccessibleInterface *hemisphere = QAccessible::queryAccessibleInterface(box);
    ASSERT_NE(hemisphere, nullptr);
    QStringList labels;
    for (const auto &relation : hemisphere->relations(QAccessible::Label))
        labels << relation.first->text(QAccessible::Name);
    EXPECT_EQ(labels, QStringList{"Hémisphère"});
    EXPECT_EQ(QAccessible::queryAccessibleInterface(box->lineEdit())->text(QAccessible::Name), QStringLiteral("Hémisphère"));
    EXPECT_FALSE(app.form3->findChild<QLabel *>(QStringLiteral("Label3"))->isHidden());
}
