// Times the first tab's commands on a big file in the real window (offscreen),
// once in each locale given (default: C, then fr_FR), as scripts and people run it:
// QT_QPA_PLATFORM=offscreen gui_bench FILE [LOCALE...]
#include "app/dialogs.h"
#include "app/tform1.h"
#include "maps/system_services.h"
#include "table/poi_grid.h"
#include "files/file_commands.h"
#include "table/poi_table_tab.h"
#include "table/table_commands.h"
#include "process_stats.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QProcess>
#include <QTest>
#include <cstdio>

using namespace orvalis;
using namespace orvalis::bench;

namespace {
// Answers every file dialog with the benchmark's file.
class FileDialogs : public QtDialogs {
public:
    explicit FileDialogs(QString file) : file_(std::move(file)) {}
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override { return file_; }
    void message(QWidget *, const QString &text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }

private:
    QString file_;
};
class NoDesktop : public QtSystemServices {
public:
    QString defaultBrowserEntry() override { return {}; }
};

void Steps(const QString &file, const QLocale &locale)
{
    FileDialogs dialogs(file);
    NoDesktop desktop;
    AppEnvironment env = ReadEnvironment({});
    env.locale = locale;
    env.separator = locale.decimalPoint().at(0);
    const double cpu = CpuMs();
    TForm1 form(env, dialogs, desktop);
    form.show();
    QApplication::processEvents();
    std::printf("locale %s\n", qPrintable(locale.name()));
    std::printf("%-34s %8.1f ms\n", "first window (CPU)", CpuMs() - cpu);
    ResetPeak();
    const long baseKiB = RssKiB();
    const long basePeakKiB = PeakKiB();
    PoiTableTab *tab = form.poiTab();
    // Wall time, and the CPU time of every thread: on a shared machine the
    // second says what the step costs when the first is stretched by others.
    auto time = [](const char *name, const std::function<void()> &fn) {
        QElapsedTimer t;
        const double cpu = CpuMs();
        t.start();
        fn();
        QApplication::processEvents();
        std::printf("%-34s %8.1f ms  (CPU %.1f ms)\n", name, t.nsecsElapsed() / 1e6, CpuMs() - cpu);
    };
    time("load into the grid", [&] { tab->files().BitBtn3Click(); });
    const int rows = tab->table().lastRow();
    std::printf("%-34s %8d\n", "rows", rows);
    std::printf("%-34s %8.0f B/POI\n", "memory after load", (RssKiB() - baseKiB) * 1024.0 / rows);
    std::printf("%-34s %8.0f B/POI\n", "peak while loading", (PeakKiB() - std::max(baseKiB, basePeakKiB)) * 1024.0 / rows);
    std::printf("%-34s %8.1f MB\n", "peak while loading", (PeakKiB() - std::max(baseKiB, basePeakKiB)) / 1024.0);
    time("distance run (Calculer)", [&] { tab->tableCommands().BitBtn4Click(); });
    long peakKiB = PeakKiB();
    ResetPeak();
    const long sortBaseKiB = RssKiB();
    time("header sort (Description)", [&] { tab->tableCommands().SG1MouseUp(Qt::LeftButton, {}, 3, 0, {}); });
    std::printf("%-34s %8.0f B/POI\n", "peak of the sort", (PeakKiB() - sortBaseKiB) * 1024.0 / rows);
    time("header sort (Description), sorted", [&] { tab->tableCommands().SG1MouseUp(Qt::LeftButton, {}, 3, 0, {}); });
    time("scroll to the end", [&] { tab->grid()->scrollToBottom(); });
    time("click a row", [&] { tab->tableCommands().SG1MouseUp(Qt::LeftButton, {}, 3, tab->table().lastRow() - 5, {}); });
    time("select to the end", [&] { tab->grid()->selectRows(1, tab->table().lastRow()); });
    time("delete a row, undo, redo", [&] {
        tab->document().removeRow(tab->table().lastRow() / 2);
        tab->document().history().undo();
        tab->document().history().redo();
    });
    peakKiB = std::max(peakKiB, PeakKiB());
    std::printf("%-34s %8.0f B/POI\n", "peak over all steps", (peakKiB - std::max(baseKiB, basePeakKiB)) * 1024.0 / rows);
    // The table replaced by the same file: what the load needs beyond what it frees.
    tab->document().setModified(false);
    ResetPeak();
    const long reloadBaseKiB = RssKiB();
    time("load again", [&] { tab->files().BitBtn3Click(); });
    std::printf("%-34s %8.0f B/POI\n", "peak of the new load", (PeakKiB() - reloadBaseKiB) * 1024.0 / rows);
}

}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString file = QString::fromLocal8Bit(argv[1]);
    if (argc == 3) {
        Steps(file, QLocale(QString::fromLocal8Bit(argv[2])));
        return 0;
    }
    QStringList locales;
    for (int i = 2; i < argc; ++i)
        locales << QString::fromLocal8Bit(argv[i]);
    if (locales.isEmpty())
        locales = {QStringLiteral("C"), QStringLiteral("fr_FR")};
    // One process per locale: the memory one leaves behind is not the next one's.
    for (const QString &name : locales) {
        std::fflush(stdout);
        if (QProcess::execute(QCoreApplication::applicationFilePath(), {file, name}) != 0)
            return 1;
        std::printf("\n");
    }
    return 0;
}
