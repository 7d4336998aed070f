// The window loads the navigators' GPI, ASC and KMZ files as it loads GPX:
// from the open dialog and by a drop, name and description joined.
#include "support/app_fixture.h"
#include "support/poi_files.h"
#include "support/records.h"

#include "files/poi_codec.h"
#include "table/poi_table_model.h"

#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

std::vector<PoiRecord> Pois()
{
    PoiRecord paris;
    paris.lat = "48.85661";
    paris.lon = "2.35222";
    paris.name = QStringLiteral("Radar é");
    paris.desc = QStringLiteral("50 km/h");
    paris.cmt = QStringLiteral("not shown");
    PoiRecord brest = paris;
    brest.lat = "48.3904";
    brest.lon = "-4.4861";
    brest.name = QStringLiteral("Brest");
    brest.desc.clear();
    return {paris, brest};
}

struct NavigatorApp : AppFixture {
    NavigatorApp() : AppFixture(u',') { show(); }
    QString cell(int row, int f) const { return tab()->model()->index(row - 1, f).data().toString(); }
    QString written(const char *format)
    {
        const QString path = temp.filePath(QStringLiteral("pois.") + QLatin1String(format));
        WriteFile(path, RecordBytes(Codec(format), {Pois(), {}}));
        return path;
    }
    QStringList descriptions() const
    {
        QStringList out;
        for (int r = 1; r <= tab()->table().lastRow(); ++r)
            out << cell(r, FieldDescription);
        out.sort();
        return out;
    }
};

}  // namespace

TEST(NavigatorFiles, LoadedFromTheOpenDialogWithItsEntriesAfterTheOldOnes)
{
    NavigatorApp app;
    for (const char *format : {"gpi", "kmz", "asc"}) {
        app.load(app.written(format));
        ASSERT_EQ(app.tab()->table().lastRow(), 2) << format;
        EXPECT_EQ(app.find<QLabel>("Label9")->text(), QStringLiteral("2")) << format;
        // ASC holds one text a POI: the name joined with the description as it was written.
        EXPECT_EQ(app.descriptions(), QStringList({"Brest", "Radar é - 50 km/h"})) << format;
        const int paris = app.cell(1, FieldDescription) == QStringLiteral("Brest") ? 2 : 1;
        EXPECT_EQ(app.cell(paris, FieldLatitude), QStringLiteral("48,85661")) << format;
        EXPECT_EQ(app.cell(paris, FieldLongitude), QStringLiteral("2,35222")) << format;
        EXPECT_EQ(app.form1->windowTitle(), app.temp.filePath(QStringLiteral("pois.") + QLatin1String(format)));
    }
    EXPECT_EQ(app.dialogs.shown.front().extra,
              QStringLiteral("Fichiers supportés (GPX, OV2)|*.gpx;*.GPX;*.ov2;*.OV2;|Fichiers GPX|*.gpx;*.GPX|Fichiers OV2|*.ov2;*.OV2"
                             "|Fichiers GPI (Garmin)|*.gpi;*.GPI|Fichiers ASC (TomTom)|*.asc;*.ASC|Fichiers KMZ (Google Earth)|*.kmz;*.KMZ"));
}

TEST(NavigatorFiles, DroppedOnTheWindowAndUnreadable)
{
    NavigatorApp app;
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(app.written("kmz"))});
    const QPoint at = app.form1->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(app.form1.get(), &enter);
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(app.form1.get(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(app.descriptions(), QStringList({"Brest", "Radar é - 50 km/h"}));
    // A file that cannot be opened says so in the format's words; a damaged one keeps what it holds.
    app.load(app.temp.filePath("missing.gpi"));
    EXPECT_EQ(app.dialogs.texts("message"), QStringList{"Impossible de lire le fichier gpi"});
    const QByteArray gpi = RecordBytes(Codec("gpi"), {Pois(), {}});
    WriteFile(app.temp.filePath("cut.gpi"), gpi.first(gpi.size() - 20));
    app.load(app.temp.filePath("cut.gpi"));
    EXPECT_EQ(app.tab()->table().lastRow(), 2);
}
