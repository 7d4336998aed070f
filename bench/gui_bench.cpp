// Times the first tab's commands on a big file in the real window (offscreen):
// QT_QPA_PLATFORM=offscreen gui_bench FILE
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
}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    FileDialogs dialogs(QString::fromLocal8Bit(argv[1]));
    NoDesktop desktop;
    AppEnvironment env = ReadEnvironment({});
    TForm1 form(env, dialogs, desktop);
    form.show();
    QApplication::processEvents();
    std::printf("%-34s %8.1f ms\n", "first window (CPU)", CpuMs());
    const long baseKiB = RssKiB();
    const long basePeakKiB = PeakKiB();
    PoiTableTab *tab = form.poiTab();
    auto time = [](const char *name, const std::function<void()> &fn) {
        QElapsedTimer t;
        t.start();
        fn();
        QApplication::processEvents();
        std::printf("%-34s %8.1f ms\n", name, t.nsecsElapsed() / 1e6);
    };
    time("load into the grid", [&] { tab->files().BitBtn3Click(); });
    const int rows = tab->table().lastRow();
    std::printf("%-34s %8d\n", "rows", rows);
    std::printf("%-34s %8.0f B/POI\n", "memory after load", (RssKiB() - baseKiB) * 1024.0 / rows);
    std::printf("%-34s %8.0f B/POI\n", "peak while loading", (PeakKiB() - std::max(baseKiB, basePeakKiB)) * 1024.0 / rows);
    time("distance run (Calculer)", [&] { tab->tableCommands().BitBtn4Click(); });
    time("header sort (Description)", [&] { tab->tableCommands().SG1MouseUp(Qt::LeftButton, {}, 3, 0, {}); });
    time("header sort (Description), sorted", [&] { tab->tableCommands().SG1MouseUp(Qt::LeftButton, {}, 3, 0, {}); });
    time("scroll to the end", [&] { tab->grid()->scrollToBottom(); });
    time("click a row", [&] { tab->tableCommands().SG1MouseUp(Qt::LeftButton, {}, 3, tab->table().lastRow() - 5, {}); });
    time("select to the end", [&] { tab->grid()->selectRows(1, tab->table().lastRow()); });
    std::printf("%-34s %8.0f B/POI\n", "peak over all steps", (PeakKiB() - std::max(baseKiB, basePeakKiB)) * 1024.0 / rows);
    return 0;
}
