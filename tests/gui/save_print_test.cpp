#include "support/app_fixture.h"
#include "support/grid_clicks.h"
#include "support/poi_files.h"

#include "files/listing_painter.h"
#include "files/ov2_format.h"

#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QPushButton>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

struct SaveApp : AppFixture {
    SaveApp() : AppFixture(u',')
    {
        show();
        source = temp.filePath("source.ov2");
        // Seven POIs whose latitudes sort in file order; the third has no longitude.
        WriteOv2File(source, {{"41", "1", "a"}, {"42", "2", "b"}, {"43", "3", "c"}, {"44", "4", "d"},
                              {"45", "5", "e"}, {"46", "6", "f"}, {"47", "7", "g"}});
        load(source);
    }
    void click(const char *button) { find<QPushButton>(button)->click(); }
    QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString source;
};

int Records(const QByteArray &ov2)
{
    PoiTable t;
    return ReadOv2(ov2, t, u'.').counter;
}

}  // namespace

TEST(Save, AllRowsCountsThePoisWritten)
{
    SaveApp app;
    app.tab()->document().setCell(3, FieldLongitude, QString());
    app.tab()->setModified(true);
    const QString out = app.temp.filePath("all.ov2");
    app.dialogs.fileNames = {out};
    app.click("BitBtn11");
    EXPECT_EQ(Records(app.read(out)), 6);
    EXPECT_EQ(app.dialogs.texts("information"),
              QStringList{"Le fichier\n" + out + "\na été correctement créé.\n\nIl contient 6 POIs"});
    EXPECT_EQ(app.form1->windowTitle(), out);
    EXPECT_FALSE(app.tab()->isModified());
    // The dialog opened in the folder of the loaded file, with its filter and suffix.
    const auto &save = app.dialogs.shown[app.dialogs.shown.size() - 2];
    EXPECT_EQ(save.text, app.tab()->importFolder());
    EXPECT_EQ(save.extra, QStringLiteral("Fichiers OV2|*.ov2#ov2"));
}

TEST(Save, SelectionInTableOrder)
{
    SaveApp app;
    ClickCell(app.tab()->grid(), 3, 3);
    ClickCell(app.tab()->grid(), 7, 3, Qt::LeftButton, Qt::ShiftModifier);
    const QString out = app.temp.filePath("sel");  // no extension: the dialog adds ".gpx"
    app.dialogs.fileNames = {out};
    app.click("BitBtn16");
    const QByteArray gpx = app.read(out + ".gpx");
    EXPECT_EQ(gpx.count("<wpt "), 5);
    EXPECT_LT(gpx.indexOf("<name>c</name>"), gpx.indexOf("<name>g</name>"));
    EXPECT_TRUE(app.dialogs.texts("information").last().endsWith("Il contient 5 POIs"));
    // A single selected row.
    ClickCell(app.tab()->grid(), 2, 3);
    const QString one = app.temp.filePath("one.ov2");
    app.dialogs.fileNames = {one};
    app.click("BitBtn7");
    EXPECT_EQ(Records(app.read(one)), 1);
    EXPECT_TRUE(app.dialogs.texts("information").last().endsWith("Il contient 1 POIs"));
}

TEST(Save, OverwriteCancelLeavesTheFileAndTheMark)
{
    SaveApp app;
    const QString out = app.temp.filePath("keep.ov2");
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old");
    f.close();
    app.tab()->setModified(true);
    app.dialogs.fileNames = {out};
    app.dialogs.answers = {false};
    app.click("BitBtn11");
    EXPECT_EQ(app.dialogs.texts("yescancel"), QStringList{"Le fichier :\n" + out + "\nexiste déja. \n\nL'écraser ?"});
    EXPECT_EQ(app.read(out), QByteArray("old"));
    EXPECT_TRUE(app.tab()->isModified());
    // "&Oui" replaces it.
    app.dialogs.fileNames = {out};
    app.dialogs.answers = {true};
    app.click("BitBtn11");
    EXPECT_EQ(Records(app.read(out)), 7);
}

TEST(Save, FailuresKeepTheOldFileAndTheMark)
{
    SaveApp app;
    app.tab()->setModified(true);
    const QString title = app.form1->windowTitle();
    app.dialogs.fileNames = {app.temp.filePath("missing/folder.ov2")};
    app.click("BitBtn11");
    QDir(app.temp.path()).mkdir("taken.gpx");
    app.dialogs.fileNames = {app.temp.filePath("taken.gpx")};
    app.dialogs.answers = {true};
    app.click("BitBtn15");
    app.dialogs.fileNames = {app.temp.filePath("missing/x.csv")};
    app.click("BitBtn18");
    EXPECT_EQ(app.dialogs.texts("message"), (QStringList{"Impossible de creer le fichier OV2", "Impossible de creer le fichier GPX",
                                                         "Impossible de creer le fichier CSV"}));
    EXPECT_TRUE(app.dialogs.texts("information").isEmpty());
    EXPECT_TRUE(app.tab()->isModified());
    EXPECT_EQ(app.form1->windowTitle(), title);
    EXPECT_TRUE(QFileInfo(app.temp.filePath("taken.gpx")).isDir());
}

TEST(Csv, ExportMessageWithoutCountAndNoCaptionChange)
{
    SaveApp app;
    const QString title = app.form1->windowTitle();
    const QString out = app.temp.filePath("export.csv");
    app.tab()->setModified(true);
    ASSERT_FALSE(app.find("Label26")->isHidden());
    app.dialogs.fileNames = {out};
    app.click("BitBtn18");
    EXPECT_EQ(app.dialogs.texts("information"), QStringList{"Le fichier\n" + out + "\na été correctement créé."});
    EXPECT_EQ(app.form1->windowTitle(), title);
    EXPECT_TRUE(app.find("Label26")->isHidden());  // the export counts as saving
    EXPECT_TRUE(app.read(out).startsWith("41.00000; 1.00000; a; ; ; \r\n"));
    EXPECT_EQ(app.dialogs.shown[app.dialogs.shown.size() - 2].extra, QStringLiteral("Fichiers CSV|*.csv#csv"));
}

namespace {

// The text of each page of a PDF, as pdftotext reads it.
QStringList PdfPages(const QString &pdf)
{
    QStringList pages;
    for (int page = 1; page < 20; ++page) {
        QProcess p;
        p.start("pdftotext", {"-f", QString::number(page), "-l", QString::number(page), "-layout", pdf, "-"});
        if (!p.waitForFinished(30000) || p.exitCode() != 0)
            break;
        pages << QString::fromUtf8(p.readAllStandardOutput());
    }
    return pages;
}

}  // namespace

TEST(Print, OneRowAsks)
{
    SaveApp app;
    bool asked = false;
    app.tab()->setPrinterFactory([&] { asked = true; return std::unique_ptr<QPrinter>(); });
    ClickCell(app.tab()->grid(), 2, 3);
    app.dialogs.answers = {false};
    app.click("BitBtn10");
    EXPECT_EQ(app.dialogs.texts("yescancel"), QStringList{"Imprimer seulement la ligne selectionnée ?"});
    EXPECT_FALSE(asked);
}

TEST(Print, EveryRowAndTheFooterReachThePaperOnA4AndLetter)
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is needed to read the printed pages";
    for (const auto paper : {QPageSize::A4, QPageSize::Letter}) {
        for (const int rows : {59, 60, 61}) {
            SaveApp app;
            const QString pdf = app.temp.filePath("listing.pdf");
            app.tab()->setPrinterFactory([&] {
                auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
                p->setOutputFormat(QPrinter::PdfFormat);
                p->setOutputFileName(pdf);
                UsePaper(*p, QPageSize(paper));  // as a queue's default paper is applied
                return p;
            });
            app.tab()->document().resetTable([&](PoiTable &t) {
                t.setRowCount(rows + 1);
                for (int r = 1; r <= rows; ++r) {
                    t.setNumber(r, r);
                    t.setField(r, FieldDescription, QStringLiteral("POI-%1-end").arg(r));
                }
            });
            app.tab()->grid()->selectRows(1, rows);
            app.click("BitBtn10");
            const QStringList pages = PdfPages(pdf);
            // 59 rows and the footer fit one page; 60 fill it and the footer goes on.
            ASSERT_EQ(pages.size(), rows == 59 ? 1 : 2) << paper << " " << rows;
            for (int r = 1; r <= rows; ++r)
                EXPECT_TRUE(pages[r <= 60 ? 0 : 1].contains(QStringLiteral("POI-%1-end").arg(r))) << paper << " row " << r;
            EXPECT_TRUE(pages.last().contains(QStringLiteral("Nbre total de POIs"))) << paper;
            // Titles whole and side by side: a title too wide for its column is drawn smaller, not over the next.
            EXPECT_TRUE(pages[0].contains(QRegularExpression(QStringLiteral("Repère\\s*Latitude\\s+Longitude\\s+Description\\s+Distance"))))
                << pages[0].left(300).toStdString();
        }
    }
}

TEST(Print, NoPrinterSaysSo)
{
    SaveApp app;
    app.tab()->setPrinterFactory([] { return std::unique_ptr<QPrinter>(); });
    app.tab()->grid()->selectRows(1, 3);
    app.click("BitBtn10");
    EXPECT_EQ(app.dialogs.texts("message"), QStringList{"Aucune imprimante n'est disponible."});
}

TEST(Save, AFolderThatCannotTakeATemporaryFileKeepsTheOldFile)
{
    // The file may be written but its folder may not: the save is refused, the old file whole.
    SaveApp app;
    QTemporaryDir locked;
    const QString target = locked.filePath("old.ov2");
    ASSERT_TRUE(WriteFile(target, "old content"));
    const int fd = ::open(QFile::encodeName(locked.path()).constData(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    const bool immutable = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                           (flags |= FS_IMMUTABLE_FL, ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (!immutable) {
        if (fd >= 0)
            ::close(fd);
        GTEST_SKIP() << "this file system cannot lock a folder";
    }
    app.tab()->setModified(true);
    app.dialogs.fileNames = {target};
    app.dialogs.answers = {true};
    app.click("BitBtn11");
    flags &= ~FS_IMMUTABLE_FL;
    ioctl(fd, FS_IOC_SETFLAGS, &flags);
    ::close(fd);
    EXPECT_EQ(app.dialogs.texts("message"),
              QStringList{"Impossible de creer le fichier OV2\nLe dossier n'est pas accessible en écriture."});
    EXPECT_EQ(app.read(target), QByteArray("old content"));
    EXPECT_TRUE(app.tab()->isModified());
}
