#include "support/app_fixture.h"

#include "maps/map_publisher.h"

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <gtest/gtest.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

struct Calc : AppFixture {
    Calc() : AppFixture(u',')
    {
        system.entry = "firefox.desktop";
        show();
    }
    void set(const char *name, const QString &text) { find<QLineEdit>(name)->setText(text); }
    void click(const char *name) { find<QPushButton>(name)->click(); }
    void tick(const char *name) { find<QCheckBox>(name)->setChecked(true); }
    // The eight boxes of the crossing tab, Poi 1 to Poi 4.
    void crossing(std::initializer_list<const char *> values)
    {
        int i = 15;
        for (const char *v : values)
            set(QStringLiteral("Edit%1").arg(i++).toLatin1().constData(), QString::fromLatin1(v));
    }
    QString page() const
    {
        QFile f(form1->publisher()->pagePath());
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }
};

}  // namespace

TEST(TwoPoiTab, WorkedExampleWithItsPage)
{
    Calc c;
    c.set("Edit1", "48,8531");
    c.set("Edit2", "2,34912");
    c.set("Edit3", "48,3781");
    c.set("Edit4", "-4,49448");
    c.tick("CheckBox2");
    c.click("BitBtn1");
    EXPECT_EQ(c.text("Edit5"), QStringLiteral("506 km  et  242 m"));
    EXPECT_EQ(c.text("Edit14"), QStringLiteral("266,58"));
    const QString page = c.page();
    EXPECT_TRUE(page.contains("\nzoom: 5,center: myLatlng"));
    EXPECT_TRUE(page.contains("new google.maps.LatLng(48.8531, 2.34912);"));
    EXPECT_TRUE(page.contains("title: 'Coordonnées : 48,8531 / 2,34912'"));
    EXPECT_EQ(c.form1->context().mapScaleDistance, 506242);
    EXPECT_EQ(c.system.started.size(), 1);  // external browser: the tab's own is left alone
}

TEST(TwoPoiTab, ShortDistancesZoomAndNoPageWhenUnticked)
{
    Calc c;
    c.set("Edit1", "0");
    c.set("Edit2", "0");
    c.set("Edit3", "0");
    c.set("Edit4", "0,0089");  // about 990 m along the equator
    c.click("BitBtn1");
    EXPECT_TRUE(c.text("Edit5").endsWith(" m"));
    EXPECT_FALSE(c.text("Edit5").contains("km"));
    EXPECT_FALSE(c.form1->publisher()->pageWritten());
    c.set("Edit4", "0,0004");
    c.tick("CheckBox2");
    c.click("BitBtn1");
    EXPECT_TRUE(c.page().contains("\nzoom: 18,center"));
}

TEST(TwoPoiTab, PresenceCheckAndBlankBoxes)
{
    Calc c;
    c.set("Edit1", "48");
    c.set("Edit2", "2");
    c.set("Edit3", "47");
    c.set("Edit5", "avant");
    c.click("BitBtn1");
    EXPECT_EQ(c.dialogs.texts("error"), QStringList{"Les quatre champs doivent être renseignés."});
    EXPECT_EQ(c.text("Edit5"), QStringLiteral("avant"));
    c.set("Edit4", " ");  // a blank passes and reads as 0
    c.click("BitBtn1");
    EXPECT_EQ(c.dialogs.texts("error").size(), 1);
    EXPECT_NE(c.text("Edit5"), QStringLiteral("avant"));
    // A text in the other notation reads as 0 without a message.
    c.set("Edit1", "48.8531");
    c.click("BitBtn1");
    EXPECT_EQ(c.dialogs.texts("error").size(), 1);
    // A number too large for a float is not taken for 0.
    c.set("Edit5", "avant");
    c.set("Edit3", "1e39");
    c.click("BitBtn1");
    EXPECT_EQ(c.dialogs.texts("error").last(), QStringLiteral("Débordement de capacité en virgule flottante."));
    EXPECT_EQ(c.text("Edit5"), QStringLiteral("avant"));
    c.set("Edit7", "48");
    c.set("Edit8", "2");
    c.set("Edit9", "90");
    c.set("Edit10", "-1E40");
    c.find<QPushButton>("BitBtn5")->click();
    EXPECT_EQ(c.dialogs.texts("error").size(), 3);
    EXPECT_TRUE(c.text("Edit11").isEmpty());
    c.click("BitBtn2");
    for (const char *n : {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit14"})
        EXPECT_TRUE(c.text(n).isEmpty()) << n;
}

TEST(DestinationTab, WorkedExamplesAndZoomFromTheWholeNumber)
{
    Calc c;
    c.set("Edit7", "48,7175");
    c.set("Edit8", "1,970333");
    c.set("Edit9", "300,5");
    c.set("Edit10", "736,5");
    c.tick("CheckBox3");
    c.click("BitBtn5");
    EXPECT_EQ(c.text("Edit11"), QStringLiteral("48,720860"));
    EXPECT_EQ(c.text("Edit12"), QStringLiteral("1,961692"));
    EXPECT_TRUE(c.page().contains("\nzoom: 18,center"));  // "736,5" is no whole number
    EXPECT_TRUE(c.page().contains("new google.maps.LatLng(48.720860, 1.961692);"));
    EXPECT_TRUE(c.page().contains("title: 'Poi de destination'"));
    c.set("Edit10", "736");
    c.click("BitBtn5");
    EXPECT_TRUE(c.page().contains("\nzoom: 14,center"));
    c.set("Edit10", "0");
    c.click("BitBtn5");
    EXPECT_EQ(c.text("Edit11"), QStringLiteral("48,717500"));
    c.set("Edit10", "-736,5");
    c.click("BitBtn5");
    EXPECT_EQ(c.text("Edit11"), QStringLiteral("48,714140"));
    EXPECT_EQ(c.text("Edit12"), QStringLiteral("1,978973"));
    c.set("Edit7", "0");
    c.set("Edit8", "179,9");
    c.set("Edit9", "90");
    c.set("Edit10", "100000");
    c.click("BitBtn5");
    EXPECT_EQ(c.text("Edit12"), QStringLiteral("180,798300"));
    c.click("BitBtn6");
    EXPECT_TRUE(c.text("Edit11").isEmpty());
    EXPECT_TRUE(c.text("Edit7").isEmpty());
}

TEST(CrossingTab, WorkedExampleFillsTheEightResults)
{
    Calc c;
    c.crossing({"48", "-1", "48", "1", "47", "0", "49", "1"});
    c.tick("CheckBox4");
    c.click("BitBtn13");
    EXPECT_EQ(c.text("Edit23"), QStringLiteral("48,000000"));
    EXPECT_EQ(c.text("Edit24"), QStringLiteral("0,500000"));
    EXPECT_EQ(c.text("Edit26"), QStringLiteral("148970"));
    EXPECT_EQ(c.text("Edit27"), QStringLiteral("234763"));
    EXPECT_EQ(c.text("Edit28"), QStringLiteral("111729"));
    EXPECT_EQ(c.text("Edit29"), QStringLiteral("37243"));
    EXPECT_EQ(c.text("Edit31"), QStringLiteral("117498"));
    EXPECT_EQ(c.text("Edit32"), QStringLiteral("117269"));
    EXPECT_TRUE(c.page().contains("\nzoom: 6,center: myLatlng1"));
    EXPECT_FALSE(c.page().contains("48.000000"));  // the page has no crossing
}

TEST(CrossingTab, ParallelRoutesWarnAfterThePage)
{
    Calc c;
    c.crossing({"0", "0", "1", "1", "0", "1", "1", "2"});
    c.set("Edit23", "old");
    c.set("Edit28", "kept");
    c.tick("CheckBox4");
    c.click("BitBtn13");
    EXPECT_EQ(c.dialogs.texts("warning"), QStringList{"Il n'y a pas de croisement :\nLes deux lignes sont parallèles"});
    EXPECT_EQ(c.system.started.size(), 1);  // the page was shown before the warning
    EXPECT_FALSE(c.text("Edit26").isEmpty());
    EXPECT_FALSE(c.text("Edit27").isEmpty());
    EXPECT_TRUE(c.text("Edit23").isEmpty());
    EXPECT_TRUE(c.text("Edit24").isEmpty());
    EXPECT_EQ(c.text("Edit28"), QStringLiteral("kept"));
}

TEST(CrossingTab, MeridianRouteIsReportedAndChangesNothing)
{
    Calc c;
    c.crossing({"47", "2", "48", "2", "0", "1", "1", "2"});
    c.tick("CheckBox4");
    c.click("BitBtn13");
    EXPECT_EQ(c.dialogs.texts("error"), QStringList{"Division par zéro en virgule flottante."});
    EXPECT_TRUE(c.text("Edit26").isEmpty());
    EXPECT_FALSE(c.form1->publisher()->pageWritten());
    c.set("Edit17", "47");  // the same POI twice
    c.click("BitBtn13");
    EXPECT_EQ(c.dialogs.texts("error").last(), QStringLiteral("Opération en virgule flottante incorrecte."));
    // A slope no float can hold gives no crossing of 0, 0.
    c.crossing({"-3e38", "0", "3e38", "1e-38", "0", "1", "1", "2"});
    c.click("BitBtn13");
    EXPECT_EQ(c.dialogs.texts("error").last(), QStringLiteral("Débordement de capacité en virgule flottante."));
    EXPECT_TRUE(c.text("Edit23").isEmpty());
    EXPECT_TRUE(c.text("Edit26").isEmpty());
    c.set("Edit22", "");
    c.click("BitBtn13");
    EXPECT_EQ(c.dialogs.texts("error").last(), QStringLiteral("Les huit champs doivent être renseignés."));
    c.click("BitBtn14");
    for (int i = 15; i <= 32; ++i) {
        if (i != 25 && i != 30) {
            EXPECT_TRUE(c.text(QStringLiteral("Edit%1").arg(i)).isEmpty()) << i;
        }
    }
}

// At the window's default size every tab shows all its boxes, the crossing
// tab included: no box cut at the right, no scroll bar to reach it.
TEST(CalculatorTabs, EveryTabFitsTheDefaultWindow)
{
    Calc app;
    app.form1->resize(860, 608);
    auto *pages = app.find<QTabWidget>("PageControl1");
    for (int i = 1; i <= 3; ++i) {
        pages->setCurrentIndex(i);
        QApplication::processEvents();
        auto *area = qobject_cast<QScrollArea *>(pages->currentWidget());
        ASSERT_NE(area, nullptr);
        EXPECT_FALSE(area->horizontalScrollBar()->isVisible()) << pages->tabText(i).toStdString();
        EXPECT_FALSE(area->verticalScrollBar()->isVisible()) << pages->tabText(i).toStdString();
        const QRect shown = area->viewport()->rect();
        for (QWidget *w : area->widget()->findChildren<QWidget *>()) {
            if (!w->isVisible() || !(qobject_cast<QLineEdit *>(w) || qobject_cast<QAbstractButton *>(w)))
                continue;
            const QRect r(w->mapTo(area->viewport(), QPoint(0, 0)), w->size());
            EXPECT_TRUE(shown.contains(r)) << pages->tabText(i).toStdString() << " " << w->objectName().toStdString();
        }
    }
}
