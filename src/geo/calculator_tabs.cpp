#include "geo/calculator_tabs.h"

#include "app/app_context.h"
#include "app/dialogs.h"
#include "app/widgets_util.h"
#include "geo/decimal_entry.h"
#include "geo/geodesy.h"
#include "geo/presence_check.h"
#include "maps/calculator_pages.h"
#include "maps/embedded_browser.h"
#include "maps/map_publisher.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace orvalis {

namespace {

EmbeddedBrowser *MakeTabBrowser(QWidget *parent, const QString &name)
{
    auto *b = new EmbeddedBrowser(name, parent);
    b->setFixedSize(505, 437);
    QPalette pal = b->palette();
    pal.setColor(QPalette::Window, Qt::white);
    b->setPalette(pal);
    return b;
}

QLineEdit *ResultBox(QWidget *parent, const QString &name, const QString &hint = {}, bool bold = false)
{
    QLineEdit *e = MakeEdit(parent, name, hint, true);
    if (bold)
        SetBold(e);
    return e;
}

QWidget *Caption(QWidget *parent, const QString &text)
{
    auto *l = new QLabel(text, parent);
    SetBold(l);
    return l;
}

}  // namespace

// ---- Tab 2 ----------------------------------------------------------------

TwoPoiTab::TwoPoiTab(AppContext &ctx, QWidget *parent) : QWidget(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("TabSheet2"));
    CppWebBrowser1 = MakeTabBrowser(this, QStringLiteral("CppWebBrowser1"));
    Edit1 = MakeEdit(this, QStringLiteral("Edit1"));
    Edit2 = MakeEdit(this, QStringLiteral("Edit2"));
    Edit3 = MakeEdit(this, QStringLiteral("Edit3"));
    Edit4 = MakeEdit(this, QStringLiteral("Edit4"));
    Edit5 = ResultBox(this, QStringLiteral("Edit5"), {}, true);
    Edit14 = ResultBox(this, QStringLiteral("Edit14"), {}, true);
    Edit14->setStyleSheet(QStringLiteral("QLineEdit { background: black; color: white; }"));
    BitBtn1 = MakeButton(this, QStringLiteral("BitBtn1"), QStringLiteral("Calculer"));
    BitBtn2 = MakeButton(this, QStringLiteral("BitBtn2"), QStringLiteral("Effacer"));
    CheckBox2 = MakeCheckBox(this, QStringLiteral("CheckBox2"), QStringLiteral("Visualiser sur la carte"));

    auto *form = new QGridLayout;
    form->addWidget(Caption(this, QStringLiteral("Premier Poi")), 0, 0, 1, 2);
    form->addWidget(MakeLabel(this, QString(), QStringLiteral("Latitude"), Edit1), 1, 0);
    form->addWidget(Edit1, 1, 1);
    form->addWidget(MakeLabel(this, QString(), QStringLiteral("Longitude"), Edit2), 2, 0);
    form->addWidget(Edit2, 2, 1);
    form->addWidget(Caption(this, QStringLiteral("Second Poi")), 3, 0, 1, 2);
    form->addWidget(MakeLabel(this, QString(), QStringLiteral("Latitude"), Edit3), 4, 0);
    form->addWidget(Edit3, 4, 1);
    form->addWidget(MakeLabel(this, QString(), QStringLiteral("Longitude"), Edit4), 5, 0);
    form->addWidget(Edit4, 5, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    form->addLayout(buttons, 6, 0, 1, 2);
    form->addWidget(MakeLabel(this, QString(), QStringLiteral("Distance entre ces POIs"), Edit5), 7, 0, 1, 2);
    form->addWidget(Edit5, 8, 0, 1, 2);
    form->addWidget(MakeLabel(this, QString(), QStringLiteral("Gisement entre ces POIs"), Edit14), 9, 0, 1, 2);
    form->addWidget(Edit14, 10, 0, 1, 2);
    form->addWidget(CheckBox2, 11, 0, 1, 2);
    form->setRowStretch(12, 1);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(CppWebBrowser1, 0, Qt::AlignTop | Qt::AlignLeft);
    layout->addLayout(form, 1);

    connect(BitBtn1, &QPushButton::clicked, this, &TwoPoiTab::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TwoPoiTab::BitBtn2Click);
}

void TwoPoiTab::setHints(QChar separator)
{
    const bool comma = separator == u',';
    SetHint(Edit1, comma ? QStringLiteral("Exemple : 48,8531") : QStringLiteral("Example : 48.8531"));
    SetHint(Edit2, comma ? QStringLiteral("Exemple : 2,34912") : QStringLiteral("Example : 2.34912"));
    SetHint(Edit3, comma ? QStringLiteral("Exemple : 48,3781") : QStringLiteral("Example : 48.3781"));
    SetHint(Edit4, comma ? QStringLiteral("Exemple : -4,49448") : QStringLiteral("Example : -4.49448"));
}

void TwoPoiTab::takeCoordinates(const QString &latitude, const QString &longitude)
{
    Edit3->setText(Edit1->text());
    Edit4->setText(Edit2->text());
    Edit1->setText(latitude);
    Edit2->setText(longitude);
}

void TwoPoiTab::BitBtn1Click()
{
    const QChar sep = ctx_.env.separator;
    const float lat1 = ReadDecimal(Edit1->text(), sep);
    const float lon1 = ReadDecimal(Edit2->text(), sep);
    const float lat2 = ReadDecimal(Edit3->text(), sep);
    const float lon2 = ReadDecimal(Edit4->text(), sep);
    if (!CheckFilled(ctx_.dialogs, this, {Edit1, Edit2, Edit3, Edit4}, kFourFieldsMessage) ||
        !CheckFloatRange(ctx_.dialogs, this, {Edit1, Edit2, Edit3, Edit4}, sep))
        return;
    const int32_t d = SphericalDistance(lat1, lon1, lat2, lon2);
    ctx_.mapScaleDistance = d;
    Edit5->setText(FormatDistance(d));
    if (CheckBox2->isChecked())
        showMap();
    Edit14->setText(FormatBearing(InitialBearing(lat1, lon1, lat2, lon2), sep));
}

void TwoPoiTab::BitBtn2Click()
{
    for (QLineEdit *e : {Edit1, Edit2, Edit3, Edit4, Edit5, Edit14})
        e->clear();
}

void TwoPoiTab::showMap()
{
    if (!publisher_)
        return;
    CppWebBrowser1->setFixedSize(505, 437);
    const QString a1 = Edit1->text(), o1 = Edit2->text(), a2 = Edit3->text(), o2 = Edit4->text();
    const QString title1 = QStringLiteral("Coordonnées : ") + a1 + QStringLiteral(" / ") + o1;
    const QString title2 = QStringLiteral("Coordonnées : ") + a2 + QStringLiteral(" / ") + o2;
    publisher_->writePage(TwoPoiPage(publisher_->addresses(), a1, o1, a2, o2, title1, title2,
                                     ZoomForDistance(ctx_.mapScaleDistance)));
    publisher_->show(CppWebBrowser1);
}

// ---- Tab 3 ----------------------------------------------------------------

DestinationTab::DestinationTab(AppContext &ctx, QWidget *parent) : QWidget(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("TabSheet3"));
    CppWebBrowser2 = MakeTabBrowser(this, QStringLiteral("CppWebBrowser2"));
    Edit7 = MakeEdit(this, QStringLiteral("Edit7"));
    Edit8 = MakeEdit(this, QStringLiteral("Edit8"));
    Edit9 = MakeEdit(this, QStringLiteral("Edit9"));
    Edit10 = MakeEdit(this, QStringLiteral("Edit10"));
    Edit11 = ResultBox(this, QStringLiteral("Edit11"), {}, true);
    Edit12 = ResultBox(this, QStringLiteral("Edit12"), {}, true);
    BitBtn5 = MakeButton(this, QStringLiteral("BitBtn5"), QStringLiteral("Calculer"));
    BitBtn6 = MakeButton(this, QStringLiteral("BitBtn6"), QStringLiteral("Effacer"));
    CheckBox3 = MakeCheckBox(this, QStringLiteral("CheckBox3"), QStringLiteral("Visualiser sur la carte"));

    auto *form = new QGridLayout;
    int r = 0;
    for (auto [edit, caption] : {std::pair{Edit7, "Latitude Poi départ"}, {Edit8, "Longitude Poi départ"},
                                 {Edit9, "Gisement à suivre (°)"}, {Edit10, "Distance à parcourir (m)"}}) {
        form->addWidget(MakeLabel(this, QString(), QString::fromUtf8(caption), edit), r, 0);
        form->addWidget(edit, r++, 1);
    }
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn5);
    buttons->addWidget(BitBtn6);
    form->addLayout(buttons, r++, 0, 1, 2);
    for (auto [edit, caption] : {std::pair{Edit11, "Latitude Poi arrivée"}, {Edit12, "Longitude Poi arrivée"}}) {
        form->addWidget(MakeLabel(this, QString(), QString::fromUtf8(caption), edit), r, 0);
        form->addWidget(edit, r++, 1);
    }
    form->addWidget(CheckBox3, r++, 0, 1, 2);
    form->setRowStretch(r, 1);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(CppWebBrowser2, 0, Qt::AlignTop | Qt::AlignLeft);
    layout->addLayout(form, 1);

    connect(BitBtn5, &QPushButton::clicked, this, &DestinationTab::BitBtn5Click);
    connect(BitBtn6, &QPushButton::clicked, this, &DestinationTab::BitBtn6Click);
}

void DestinationTab::setHints(QChar separator)
{
    const bool comma = separator == u',';
    SetHint(Edit7, comma ? QStringLiteral("Exemple : 48,3781") : QStringLiteral("Example : 48.3781"));
    SetHint(Edit8, comma ? QStringLiteral("Exemple : -4,49448") : QStringLiteral("Example : -4.49448"));
    SetHint(Edit9, comma ? QStringLiteral("Exemple : 300,5") : QStringLiteral("Example : 300.5"));
    SetHint(Edit10, comma ? QStringLiteral("Exemple : 736,5") : QStringLiteral("Example : 736.5"));
}

void DestinationTab::takeCoordinates(const QString &latitude, const QString &longitude)
{
    Edit7->setText(latitude);
    Edit8->setText(longitude);
}

void DestinationTab::BitBtn5Click()
{
    const QChar sep = ctx_.env.separator;
    const float lat1 = ReadDecimal(Edit7->text(), sep);
    const float lon1 = ReadDecimal(Edit8->text(), sep);
    const float bearing = ReadDecimal(Edit9->text(), sep);
    const float distance = ReadDecimal(Edit10->text(), sep);
    if (!CheckFilled(ctx_.dialogs, this, {Edit7, Edit8, Edit9, Edit10}, kFourFieldsMessage) ||
        !CheckFloatRange(ctx_.dialogs, this, {Edit7, Edit8, Edit9, Edit10}, sep))
        return;
    const LatLon dest = DestinationPoint(lat1, lon1, bearing, distance);
    Edit11->setText(FormatCoordinate(dest.lat, sep));
    Edit12->setText(FormatCoordinate(dest.lon, sep));
    ctx_.mapScaleDistance = ReadWholeNumber(Edit10->text(), 0);
    if (CheckBox3->isChecked())
        showMap();
}

void DestinationTab::BitBtn6Click()
{
    for (QLineEdit *e : {Edit7, Edit8, Edit9, Edit10, Edit11, Edit12})
        e->clear();
}

void DestinationTab::showMap()
{
    if (!publisher_)
        return;
    CppWebBrowser2->setFixedSize(505, 437);
    publisher_->writePage(TwoPoiPage(publisher_->addresses(), Edit7->text(), Edit8->text(), Edit11->text(), Edit12->text(),
                                     QStringLiteral("Poi de depart"), QStringLiteral("Poi de destination"),
                                     ZoomForDistance(ctx_.mapScaleDistance)));
    publisher_->show(CppWebBrowser2);
}

// ---- Tab 4 ----------------------------------------------------------------

CrossingTab::CrossingTab(AppContext &ctx, QWidget *parent) : QWidget(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("TabSheet4"));
    CppWebBrowser4 = MakeTabBrowser(this, QStringLiteral("CppWebBrowser4"));
    const QString latHint = QStringLiteral("Latitude (ex : 48,2358");
    const QString lonHint = QStringLiteral("Longitude (ex : -1,025)");
    QLineEdit **inputs[] = {&Edit15, &Edit16, &Edit17, &Edit18, &Edit19, &Edit20, &Edit21, &Edit22};
    // Boxes that show "-188,88888" whole, and a cross no wider than the
    // window leaves beside the map at its default size.
    const int box = std::min(84, fontMetrics().horizontalAdvance(QStringLiteral("-188,88888")) + 14);
    for (int i = 0; i < 8; ++i) {
        *inputs[i] = MakeEdit(this, QStringLiteral("Edit%1").arg(15 + i), i % 2 == 0 ? latHint : lonHint);
        (*inputs[i])->setFixedWidth(box);
    }
    Edit23 = ResultBox(this, QStringLiteral("Edit23"), QStringLiteral("Latitude du croisement"), true);
    Edit24 = ResultBox(this, QStringLiteral("Edit24"), QStringLiteral("Longitude du croisement"), true);
    for (QLineEdit *e : {Edit23, Edit24})
        e->setStyleSheet(QStringLiteral("QLineEdit { background: #80ff80; }"));
    Edit26 = ResultBox(this, QStringLiteral("Edit26"), QStringLiteral("Distance Poi 1 -> Poi 2"));
    Edit27 = ResultBox(this, QStringLiteral("Edit27"), QStringLiteral("Distance Poi 3 -> Poi 4"));
    Edit28 = ResultBox(this, QStringLiteral("Edit28"), QStringLiteral("Distance Poi 1 -> Intersection"));
    Edit29 = ResultBox(this, QStringLiteral("Edit29"), QStringLiteral("Distance Poi 2 -> Intersection"));
    Edit31 = ResultBox(this, QStringLiteral("Edit31"), QStringLiteral("Distance Poi 3 -> Intersection"));
    Edit32 = ResultBox(this, QStringLiteral("Edit32"), QStringLiteral("Distance Poi 4 -> Intersection"));
    BitBtn13 = MakeButton(this, QStringLiteral("BitBtn13"), QStringLiteral("Calculer"));
    BitBtn14 = MakeButton(this, QStringLiteral("BitBtn14"), QStringLiteral("Effacer"));
    CheckBox4 = MakeCheckBox(this, QStringLiteral("CheckBox4"), QStringLiteral("Visualiser sur la carte"));

    // The cross: route 1 left to right in sky blue, route 2 bottom to top in red.
    const int width = 2 * box + 140, middle = width / 2;
    auto *cross = new QWidget(this);
    cross->setFixedSize(width, 272);
    Shape1 = new QFrame(cross);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(20, 121, width - 40, 8);
    Shape1->setStyleSheet(QStringLiteral("background: #87ceeb; border: 1px solid black;"));
    Shape2 = new QFrame(cross);
    Shape2->setObjectName(QStringLiteral("Shape2"));
    Shape2->setGeometry(middle - 4, 20, 8, 250);
    Shape2->setStyleSheet(QStringLiteral("background: red; border: 1px solid black;"));
    auto poi = [&](const QString &name, const QString &caption, QLineEdit *lat, QLineEdit *lon, int x, int y) {
        QLabel *l = MakeLabel(cross, name, caption, lat);
        SetBold(l);
        l->move(x, y);
        lat->setParent(cross);
        lon->setParent(cross);
        lat->move(x, y + 16);
        lon->move(x, y + 40);
    };
    poi(QStringLiteral("Label21"), QStringLiteral("Poi 1"), Edit15, Edit16, 0, 135);
    poi(QStringLiteral("Label22"), QStringLiteral("Poi 2"), Edit17, Edit18, width - box, 135);
    poi(QStringLiteral("Label23"), QStringLiteral("Poi 3"), Edit19, Edit20, middle + 10, 200);
    poi(QStringLiteral("Label8"), QStringLiteral("Poi 4"), Edit21, Edit22, middle + 10, 0);

    auto *results = new QGridLayout;
    int r = 0;
    results->addWidget(Caption(this, QStringLiteral("Intersection")), r++, 0, 1, 2);
    results->addWidget(Edit23, r, 0);
    results->addWidget(Edit24, r++, 1);
    results->addWidget(Caption(this, QStringLiteral("Distances (mètres)")), r++, 0, 1, 2);
    for (auto [edit, caption] : {std::pair{Edit26, "Poi 1 -> Poi 2"}, {Edit27, "Poi 3 -> Poi 4"},
                                 {Edit28, "Poi 1 -> Intersection"}, {Edit29, "Poi 2 -> Intersection"},
                                 {Edit31, "Poi 3 -> Intersection"}, {Edit32, "Poi 4 -> Intersection"}}) {
        results->addWidget(MakeLabel(this, QString(), QString::fromUtf8(caption), edit), r, 0);
        results->addWidget(edit, r++, 1);
    }
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn13);
    buttons->addWidget(BitBtn14);
    buttons->addWidget(CheckBox4);

    auto *right = new QVBoxLayout;
    right->addWidget(cross);
    right->addLayout(buttons);
    right->addLayout(results);
    right->addStretch(1);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(CppWebBrowser4, 0, Qt::AlignTop | Qt::AlignLeft);
    layout->addLayout(right, 1);

    connect(BitBtn13, &QPushButton::clicked, this, &CrossingTab::BitBtn13Click);
    connect(BitBtn14, &QPushButton::clicked, this, &CrossingTab::BitBtn14Click);
}

void CrossingTab::takeCoordinates(const QString &latitude, const QString &longitude)
{
    Edit21->setText(Edit19->text());
    Edit22->setText(Edit20->text());
    Edit19->setText(Edit17->text());
    Edit20->setText(Edit18->text());
    Edit17->setText(Edit15->text());
    Edit18->setText(Edit16->text());
    Edit15->setText(latitude);
    Edit16->setText(longitude);
}

void CrossingTab::BitBtn13Click()
{
    const QList<QLineEdit *> inputs = {Edit15, Edit16, Edit17, Edit18, Edit19, Edit20, Edit21, Edit22};
    const QChar sep = ctx_.env.separator;
    if (!CheckFilled(ctx_.dialogs, this, inputs, kEightFieldsMessage) || !CheckFloatRange(ctx_.dialogs, this, inputs, sep))
        return;
    LatLon p[4];
    for (int k = 0; k < 4; ++k)
        p[k] = {ReadDecimal(inputs[2 * k]->text(), sep), ReadDecimal(inputs[2 * k + 1]->text(), sep)};
    const Crossing c = RouteCrossing(p[0], p[1], p[2], p[3]);
    if (c.status != Crossing::Status::Crossing && c.status != Crossing::Status::Parallel) {
        // A route along a meridian has no slope, a slope may overflow: nothing changes on the tab.
        ctx_.dialogs.error(this, CrossingErrorText(c.status));
        return;
    }
    const int32_t l1 = SphericalDistance(p[0].lat, p[0].lon, p[1].lat, p[1].lon);
    const int32_t l2 = SphericalDistance(p[2].lat, p[2].lon, p[3].lat, p[3].lon);
    ctx_.mapScaleDistance = std::max(l1, l2);
    if (CheckBox4->isChecked())
        showMap();
    Edit26->setText(QString::number(l1));
    Edit27->setText(QString::number(l2));
    if (c.status == Crossing::Status::Parallel) {
        ctx_.dialogs.warning(this, QStringLiteral("Il n'y a pas de croisement :\nLes deux lignes sont parallèles"));
        Edit24->clear();
        Edit23->clear();
        return;
    }
    Edit24->setText(FormatCoordinate(c.lon, sep));
    Edit23->setText(FormatCoordinate(c.lat, sep));
    QLineEdit *out[] = {Edit28, Edit29, Edit31, Edit32};
    for (int k = 0; k < 4; ++k)
        out[k]->setText(QString::number(SphericalDistance(p[k].lat, p[k].lon, c.lat, c.lon)));
}

void CrossingTab::BitBtn14Click()
{
    for (QLineEdit *e : {Edit15, Edit16, Edit17, Edit18, Edit19, Edit20, Edit21, Edit22, Edit23, Edit24, Edit26, Edit27,
                         Edit28, Edit29, Edit31, Edit32})
        e->clear();
}

void CrossingTab::showMap()
{
    if (!publisher_)
        return;
    CppWebBrowser4->setFixedSize(505, 437);
    const QString lat[4] = {Edit15->text(), Edit17->text(), Edit19->text(), Edit21->text()};
    const QString lon[4] = {Edit16->text(), Edit18->text(), Edit20->text(), Edit22->text()};
    publisher_->writePage(CrossingPage(publisher_->addresses(), lat, lon, ZoomForDistance(ctx_.mapScaleDistance)));
    publisher_->show(CppWebBrowser4);
}

}  // namespace orvalis
