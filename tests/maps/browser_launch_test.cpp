#include "maps/browser_launch.h"
#include "maps/pin_readback.h"

#include <gtest/gtest.h>

using namespace orvalis;

TEST(BrowserDetection, DesktopEntriesToCodes)
{
    EXPECT_EQ(BrowserCodeFromDesktopEntry("firefox.desktop"), QStringLiteral("FF"));
    EXPECT_EQ(BrowserCodeFromDesktopEntry("firefox-esr.desktop\n"), QStringLiteral("FF"));
    EXPECT_EQ(BrowserCodeFromDesktopEntry("org.mozilla.firefox.desktop"), QStringLiteral("FF"));
    EXPECT_EQ(BrowserCodeFromDesktopEntry("chromium.desktop"), QStringLiteral("CH"));
    EXPECT_EQ(BrowserCodeFromDesktopEntry("google-chrome.desktop"), QStringLiteral("CH"));
    EXPECT_EQ(BrowserCodeFromDesktopEntry("opera.desktop"), QStringLiteral("OP"));
    EXPECT_EQ(BrowserCodeFromDesktopEntry("org.gnome.Epiphany.desktop"), QString());
    EXPECT_EQ(BrowserCodeFromDesktopEntry(""), QString());
}

TEST(BrowserLaunch, CommandLinesKeepPathsWhole)
{
    const QString path = "/tmp/my maps/orvalis-me/Orvalis.htm";
    auto ff = ExternalLaunchCommand("FF", "firefox.desktop", path);
    ASSERT_TRUE(ff);
    EXPECT_EQ(ff->program, QStringLiteral("firefox"));
    EXPECT_EQ(ff->arguments, (QStringList{"-url", path, "-fullscreen"}));
    auto ch = ExternalLaunchCommand("CH", "google-chrome.desktop", path);
    ASSERT_TRUE(ch);
    EXPECT_EQ(ch->program, QStringLiteral("google-chrome"));
    EXPECT_EQ(ch->arguments, (QStringList{"--start", "--window-position=0,0", "--window-size=800,600",
                                          "--app=file:///tmp/my maps/orvalis-me/Orvalis.htm"}));
    EXPECT_EQ(ExternalLaunchCommand("CH", "chromium.desktop", path)->program, QStringLiteral("chromium"));
    EXPECT_FALSE(ExternalLaunchCommand("OP", "opera.desktop", path));
    EXPECT_FALSE(ExternalLaunchCommand("", "", path));
}

TEST(WebLinks, GeocacheAddressAndShellMessages)
{
    EXPECT_EQ(GeocacheAddress("GC1ABCD Le château"),
              QStringLiteral("http://www.geocaching.com/seek/cache_details.aspx?wp=GC1ABCD&Submit6=Go"));
    EXPECT_EQ(GeocacheAddress("GC"), QStringLiteral("http://www.geocaching.com/seek/cache_details.aspx?wp=GC&Submit6=Go"));
    EXPECT_EQ(ShellErrorMessage(32), QStringLiteral("Désolé, DLL manquante"));
    EXPECT_EQ(ShellErrorMessage(33), QString());
    EXPECT_EQ(ShellErrorMessage(4), QStringLiteral("Error n° 1072"));
    EXPECT_EQ(ShellErrorMessage(0), QStringLiteral("Désolé, mais l'ordinateur est à court de mémoire"));
    EXPECT_EQ(ShellErrorMessage(2), QStringLiteral("Désolé, mais le programme n'existe pas."));
    EXPECT_EQ(ShellErrorMessage(31), QStringLiteral("Le fichier n'a pas d'association Windows."));
}

TEST(PinReadBack, AddPageFirstLine)
{
    const QString t = ReadBackText("48.853200, 2.348900\nMap data\n");
    EXPECT_EQ(t, QStringLiteral("48.853200, 2.348900\r\nMap data\r\n,"));
    auto r = FinishReading(ScanAddPage(t), u',');
    ASSERT_TRUE(r);
    EXPECT_EQ(r->latitude, QStringLiteral("48,85320"));
    EXPECT_EQ(r->longitude, QStringLiteral("2,348900"));
    EXPECT_FALSE(FinishReading(ScanAddPage(ReadBackText("\nMap data")), u','));  // no pin dragged
    EXPECT_FALSE(FinishReading(ScanAddPage(QString()), u','));
    // Only '-' to '9' make the latitude; the longitude is taken as it stands.
    r = FinishReading(ScanAddPage("lat:-33.868820, 151.2O9x,"), u'.');
    ASSERT_TRUE(r);
    EXPECT_EQ(r->latitude, QStringLiteral("-33.8688"));
    EXPECT_EQ(r->longitude, QStringLiteral("151.2O9x"));
}

TEST(PinReadBack, MovePageAnchorAndEdges)
{
    const QString t = ReadBackText("Map\nLégendes\nDéplacez la punaise à l'aide de la souris\n-33.868820, 151.209296\nSydney NSW\n");
    auto r = FinishReading(ScanMovePage(t), u',');
    ASSERT_TRUE(r);
    EXPECT_EQ(r->latitude, QStringLiteral("-33,8688"));  // cut, not rounded
    EXPECT_EQ(r->longitude, QStringLiteral("151,2092"));
    EXPECT_FALSE(HasMoveAnchor(ReadBackText("no anchor\n1.5, 2.5")));
    EXPECT_FALSE(FinishReading(ScanMovePage(ReadBackText("no anchor\n1.5, 2.5")), u','));
    // Scans that run out of text end there.
    EXPECT_FALSE(FinishReading(ScanMovePage("Légendes"), u','));
    EXPECT_FALSE(FinishReading(ScanMovePage("Légendes\r\n12"), u','));
    EXPECT_FALSE(FinishReading(ScanAddPage("12,"), u','));
    EXPECT_FALSE(FinishReading(ScanAddPage("12, "), u','));
    r = FinishReading(ScanAddPage("12, 3"), u'.');
    ASSERT_TRUE(r);
    EXPECT_EQ(r->longitude, QStringLiteral("3"));
}
