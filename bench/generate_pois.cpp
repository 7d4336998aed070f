// Writes OV2 and GPX files of N POIs with realistic names: generate_pois N out.ov2 out.gpx
#include "files/gpx_format.h"
#include "files/ov2_format.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <cstdio>

using namespace orvalis;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: generate_pois N out.ov2 out.gpx\n");
        return 2;
    }
    const int n = std::atoi(argv[1]);
    const QStringList kinds = {"Radar fixe", "Aire de repos", "Station-service", "Église", "Château", "Gare",
                               "Café des Sports", "Hôtel de Ville", "Boulangerie", "Pharmacie", "Musée", "Camping"};
    const QStringList places = {"Orléans", "Besançon", "Saint-Étienne", "Nîmes", "Angoulême", "Béziers", "Lyon",
                                "Brest", "Rennes", "Évreux", "Périgueux", "Caen", "Aix-en-Provence", "Montbéliard"};
    const QStringList far = {"Москва", "Санкт-Петербург", "東京", "Αθήνα", "Kraków", "Zürich"};
    QRandomGenerator rng(42);
    PoiTable t;
    t.setRowCount(n + 1);
    for (int r = 1; r <= n; ++r) {
        const double lat = 42.0 + rng.generateDouble() * 9.0;
        const double lon = -5.0 + rng.generateDouble() * 13.0;
        QString name = kinds[rng.bounded(kinds.size())] + QStringLiteral(" - ") +
                       (rng.bounded(20) == 0 ? far[rng.bounded(far.size())] : places[rng.bounded(places.size())]);
        if (rng.bounded(3) == 0)
            name += QStringLiteral(" (%1)").arg(rng.bounded(1000));
        t.setNumber(r, r);
        t.setField(r, FieldLatitude, QString::number(lat, 'f', 5));
        t.setField(r, FieldLongitude, QString::number(lon, 'f', 5));
        t.setField(r, FieldDescription, name);
    }
    QFile ov2(QString::fromLocal8Bit(argv[2])), gpx(QString::fromLocal8Bit(argv[3]));
    if (!ov2.open(QIODevice::WriteOnly) || !WriteOv2(ov2, t, 1, n, u'.') || !gpx.open(QIODevice::WriteOnly) ||
        !WriteGpx(gpx, t, 1, n)) {
        std::fprintf(stderr, "cannot write the files\n");
        return 1;
    }
    return 0;
}
