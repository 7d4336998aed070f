// Times the engine on a POI file: core_bench FILE [runs]
// Prints one line per step with the median of the runs, and the peak memory.
#include "files/csv_format.h"
#include "files/gpx_format.h"
#include "files/ov2_format.h"
#include "files/poi_file.h"
#include "table/distance_run.h"
#include "table/sort_by_field.h"
#include "process_stats.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstring>
#include <cstdio>
#include <functional>
#include <vector>

using namespace orvalis;
using namespace orvalis::bench;

namespace {

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Step(const char *name, int runs, const std::function<void()> &prepare, const std::function<void()> &work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        prepare();
        QElapsedTimer t;
        t.start();
        work();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("%-28s %10.1f ms\n", name, Median(ms));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: core_bench FILE [runs]\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    const QCollator collator = TableCollator(QLocale(QLocale::French, QLocale::France));
    const long baseKiB = RssKiB();
    PoiTable table;
    int count = 0;
    {
        // Memory of one load in a fresh process: the table as it stays, and the peak while loading.
        FileBytes bytes;
        bytes.open(path);
        count = ReadPoiData(WindowCodecOfPath(path), bytes.data(), table, u',').counter;
        SortByField(table, FieldDistance, collator);
    }
    const double perPoi = 1024.0 / std::max(count, 1);
    std::printf("%-28s %10.0f B/POI\n", "memory of the loaded table", (RssKiB() - baseKiB) * perPoi);
    std::printf("%-28s %10.0f B/POI (file: %.0f B/POI)\n", "peak while loading", (PeakKiB() - baseKiB) * perPoi,
                QFile(path).size() / static_cast<double>(std::max(count, 1)));

    Step("load (read + sort by 4)", runs, [&] { table = PoiTable(); }, [&] {
        FileBytes bytes;
        bytes.open(path);
        count = ReadPoiData(WindowCodecOfPath(path), bytes.data(), table, u',').counter;
        SortByField(table, FieldDistance, collator);
    });
    std::printf("%-28s %10d\n", "POIs", count);
    Step("  read only", runs, [&] { table = PoiTable(); }, [&] {
        FileBytes bytes;
        bytes.open(path);
        ReadPoiData(WindowCodecOfPath(path), bytes.data(), table, u',');
    });
    Step("  sort by 4 only", runs, [&] { SortByField(table, FieldDescription, collator); },
         [&] { SortByField(table, FieldDistance, collator); });
    Step("  distances only", runs, [] {}, [&] { ComputeDistances(table, std::max(1, table.lastRow() / 2), u','); });
    Step("  sort by 5 only", runs, [&] { SortByField(table, FieldDescription, collator); },
         [&] { SortByField(table, FieldKey, collator); });
    // From the order of another sort, so the run's own sort has work to do.
    Step("distance run + sort", runs, [&] { SortByField(table, FieldDescription, collator); },
         [&] { RunDistances(table, std::max(1, table.lastRow() / 2), u',', collator); });
    // Each header sort starts from the distance order, as after "Calculer".
    Step("header sort (Description)", runs, [&] { SortByField(table, FieldKey, collator); },
         [&] { SortByField(table, FieldDescription, collator); });
    Step("header sort (Distance)", runs, [&] { SortByField(table, FieldKey, collator); },
         [&] { SortByField(table, FieldDistance, collator); });
    Step("write OV2", runs, [] {}, [&] { Ov2FileBytes(table, 1, table.lastRow(), u','); });
    Step("write GPX", runs, [] {}, [&] { GpxFileBytes(table, 1, table.lastRow()); });
    Step("write CSV", runs, [] {}, [&] { CsvFileBytes(table); });
    std::printf("%-28s %10.0f B/POI\n", "peak over all steps", (PeakKiB() - baseKiB) * perPoi);
    return 0;
}
