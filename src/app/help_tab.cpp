#include "app/help_tab.h"

#include "app/version.h"

#include "app/widgets_util.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

namespace orvalis {

using namespace Qt::StringLiterals;

const QString kForumAddress = u"http://forum.orvalis.org/phpBB2/index.php"_s;

namespace {

struct HelpLine {
    enum Kind { Empty, Title, Text };
    Kind kind;
    QString text;
};

const HelpLine kHelpLines[] = {
    {HelpLine::Empty, u""_s},
    {HelpLine::Title, u"CHOIX DU NAVIGATEUR UTILISÉ (Onglet 1)"_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Text, u"Pour l'affichage des cartes, on peut utiliser soit le navigateur interne à Orvalis, soit le navigateur par défaut du P.C. (Chrome, IE, FireFox)"_s},
    {HelpLine::Text, u"Si on veut utiliser le navigateur interne, il suffit de cocher la petite case située en bas à droite de la page d'accueil"_s},
    {HelpLine::Text, u"Dans le cas contraire, on utilise par défaut le navigateur Internet habituel, en mode plein écran."_s},
    {HelpLine::Text, u"Pour fermer cette fenêtre plein écran, il faut faire Control + W"_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Title, u"DISTANCE ENTRE POIs MULTIPLES (Onglet 1)"_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Text, u"Chargez le fichier contenant les POIs, ou saisissez manuellement les données."_s},
    {HelpLine::Text, u"Cliquez sur la ligne à partir de laquelle vous souhaitez calculer les distances."_s},
    {HelpLine::Text, u"Appuyez sur le bouton \"Calculer\""_s},
    {HelpLine::Text, u"Pour trier selon un autre critère que la distance, cliquez sur une des en-têtes de colonne"_s},
    {HelpLine::Text, u"Pour visualiser un ou plusieurs POIs sur la carte, clic droit pour ouvrir le menu contextuel."_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Text, u"Pour créer un fichier contenant les POIs situés dans un rayon donné d'un POI de base : "_s},
    {HelpLine::Text, u"  * Sélectionnez la ligne contenant le POI de base"_s},
    {HelpLine::Text, u"  * Appuyez sur le bouton \"Calculer\""_s},
    {HelpLine::Text, u"  * Appuyez sur la touche \"Majuscule\" et sélectionnez la ligne ayant le rayon souhaité dans sa colonne \"Distance\" (=> Mise en surbrillance)"_s},
    {HelpLine::Text, u"  * Appuyez sur un des deux boutons de sauvegarde partielle (Ov2 ou Gpx)"_s},
    {HelpLine::Text, u"Cette sélection peut également être imprimée, en appuyant sur le bouton représentant une imprimante."_s},
    {HelpLine::Text, u"Elle peut aussi être visualisée sur une carte, en choisissant le plat \"Visualiser les Poi selectionnés sur une carte\", dans le menu contextuel."_s},
    {HelpLine::Text, u"Le premier POI de la selection a une punaise rouge, le dernier une punaise verte, et les POIs intermédiaires ont une punaise grise"_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Text, u"Pour tracer un cercle d'un rayon donné sur la carte, procedez comme suit : "_s},
    {HelpLine::Text, u"  * Indiquez la distance dans la boite \"Rayon cercle\". (Valeur par défaut = 100 km)"_s},
    {HelpLine::Text, u"  * Faites un clic droit sur le POI 'de base', et choisissez le plat \"Tracer un cercle...\" dans le menu contextuel"_s},
    {HelpLine::Text, u"  * Sur la carte qui apparait, le POI 'de base' est marqué par une punaise blanche."_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Text, u"La boite de texte située dans le coin inférieur gauche permet de rechercher du texte dans la colonne \"Description\""_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Title, u"DISTANCE ET GISEMENT ENTRE DEUX POIs (Onglet 2)"_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Text, u"Saisissez les coordonnées des deux POIs et appuyez sur le bouton \"Calculer\""_s},
    {HelpLine::Text, u"On peut aussi récuperer des coordonnées déja listées dans la grille de données du premier onglet : Les deux derniers clics gauches dans la grille de donnée sont automatiquement présentés comme coordonnées à utiliser. "_s},
    {HelpLine::Text, u"La carte visualise la position des deux POIs, le premier POI etant celui placé au centre de la carte."_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Title, u"POI DÉPART + GISEMENT + DISTANCE => POI DESTINATION (Onglet 3)"_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Text, u"Saisissez les coordonnées du POI de départ, le cap à suivre et la distance à parcourir."_s},
    {HelpLine::Text, u"Appuyez sur le bouton \"Calculer\" : Vous obtenez les coordonnées du POI de destination."_s},
    {HelpLine::Text, u"On peut aussi récuperer des coordonnées déja listées dans la grille de données du premier onglet : Le dernier clic gauche dans la grille de donnée est automatiquement présenté comme coordonnées à utiliser pour le POI de départ."_s},
    {HelpLine::Text, u"La carte visualise la position des deux POIs, le POI de départ etant celui placé au centre de la carte."_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Title, u"COORDONNÉES DU CROISEMENT DE DEUX DROITE (Onglet 4)"_s},
    {HelpLine::Empty, u""_s},
    {HelpLine::Text, u"Saisissez les coordonnées des quatre POIs, destinés à determiner les deux droites."_s},
    {HelpLine::Text, u"Appuyez sur le bouton \"Calculer\" : Les deux boites vertes indiquent les coordonnées de point situé à l'intersection des deux droites."_s},
    {HelpLine::Text, u"On peut aussi récuperer des coordonnées déja listées dans la grille de données du premier onglet : Les quatre derniers clics gauches dans la grille de donnée sont automatiquement présentés comme coordonnées à utiliser pour les quatre POIs."_s},
};

}  // namespace

void FillHelpText(QTextEdit *box)
{
    box->clear();
    const qreal base = box->font().pointSizeF() > 0 ? box->font().pointSizeF() : 9.0;
    QTextCursor cursor(box->document());

    QTextCharFormat chars;
    chars.setFontWeight(QFont::Bold);
    QTextBlockFormat block;
    bool first = true;
    auto addLine = [&](const QString &text) {
        if (!first)
            cursor.insertBlock(block, chars);
        else {
            cursor.setBlockFormat(block);
            cursor.setBlockCharFormat(chars);
            cursor.setCharFormat(chars);
        }
        first = false;
        cursor.insertText(text, chars);
    };

    // The text begins with one empty line before the title.
    block.setAlignment(Qt::AlignHCenter);
    chars.setForeground(Qt::red);
    chars.setFontPointSize(base + 6);
    addLine(QString());
    addLine(u"Orvalis (Version "_s + Version() + u")"_s);
    for (int i = 0; i < 3; ++i)
        addLine(QString());

    block.setAlignment(Qt::AlignLeft);
    chars.setForeground(Qt::blue);
    chars.setFontPointSize(base + 4);
    chars.setFontItalic(true);
    addLine(u"Orvalis permet de calculer la distance entre deux ou plusieurs POIs, fournit les coordonnées de "
            u"destination quand on connait les coordonnées de départ, le cap à suivre et la distance à parcourir, "
            u"et permet aussi de créer un fichier OV2 ou GPX contenant les POIs situés dans un rayon donné d'un POI "
            u"de base."_s);
    addLine(QString());

    chars.setFontItalic(false);
    chars.setForeground(Qt::black);
    chars.setFontPointSize(base + 1);
    for (const HelpLine &line : kHelpLines) {
        chars.setFontUnderline(line.kind == HelpLine::Title);
        addLine(line.text);
        chars.setFontUnderline(false);
    }
    box->moveCursor(QTextCursor::Start);
}

HelpTab::HelpTab(QWidget *parent) : QWidget(parent)
{
    setObjectName(u"TabSheet5"_s);
    RichEdit1 = new QTextEdit(this);
    RichEdit1->setObjectName(u"RichEdit1"_s);
    RichEdit1->setAccessibleName(u"Aide"_s);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setMinimumHeight(413);
    RichEdit1->setAcceptRichText(false);

    Label19 = new QLabel(this);
    Label19->setObjectName(u"Label19"_s);
    Label19->setCursor(Qt::PointingHandCursor);
    Label19->setStyleSheet(u"color: blue; font-weight: bold; text-decoration: underline;"_s);
    Label19->setTextInteractionFlags(Qt::NoTextInteraction);
    Label19->setFocusPolicy(Qt::StrongFocus);
    Label19->installEventFilter(this);
    Label18 = MakeLabel(this, u"Label18"_s, QString(), Label19);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Label18);
    bottom->addWidget(Label19);
    bottom->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(RichEdit1, 1);
    layout->addLayout(bottom);
}

void HelpTab::fill()
{
    FillHelpText(RichEdit1);
    Label18->setText(u"Forum d'aide : "_s);
    Label19->setText(kForumAddress);
    Label19->setAccessibleName(kForumAddress);
}

bool HelpTab::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label19 && event->type() == QEvent::MouseButtonRelease) {
        emit forumClicked();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace orvalis
