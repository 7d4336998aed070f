// Writes OV2 and GPX files of N POIs: generate_pois N out.ov2 out.gpx [--realistic]
//
// The default mix has short French-style names. --realistic writes what
// collectors' files hold: waypoints with ele, time, name, desc and sym,
// accented French names, 5 % Cyrillic, 1 % Greek, Japanese or Polish, and a
// desc of 20 to 900 characters (most of them short) on 60 % of the POIs.
#include "files/gpx_format.h"
#include "files/ov2_format.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <cmath>
#include <cstdio>
#include <cstring>

using namespace orvalis;

namespace {

struct Script {
    QStringList kinds;
    QStringList places;
    QStringList words;
};

const Script &French()
{
    static const Script s{
        {"Radar fixe", "Aire de repos", "Station-service", "Église", "Château", "Gare", "Café des Sports",
         "Hôtel de Ville", "Boulangerie", "Pharmacie", "Musée", "Camping", "Cache mystère", "Boîte aux lettres"},
        {"Orléans", "Besançon", "Saint-Étienne", "Nîmes", "Angoulême", "Béziers", "Lyon", "Brest", "Rennes",
         "Évreux", "Périgueux", "Caen", "Aix-en-Provence", "Montbéliard", "Sète", "Châlons-en-Champagne"},
        {"le", "la", "chemin", "forêt", "après", "près", "du", "pont", "à", "gauche", "côté", "église", "où",
         "très", "sentier", "été", "hiver", "fermé", "ouvert", "accès", "difficile", "vue", "sur", "lac",
         "prudence", "véhicule", "stationnement", "gratuit", "payant", "août", "noël", "«", "»", "œuvre", "ça"}};
    return s;
}
const Script &Cyrillic()
{
    static const Script s{{"Кафе", "Заправка", "Церковь", "Музей", "Гостиница", "Тайник"},
                          {"Москва", "Санкт-Петербург", "Новосибирск", "Екатеринбург", "Казань", "Київ"},
                          {"дорога", "лес", "рядом", "мост", "слева", "справа", "вход", "закрыто", "открыто",
                           "вид", "на", "озеро", "осторожно", "парковка", "бесплатно"}};
    return s;
}
const Script &Other(int which)
{
    static const Script greek{{"Καφέ", "Μουσείο", "Εκκλησία"}, {"Αθήνα", "Θεσσαλονίκη", "Πάτρα"},
                              {"δρόμος", "δάσος", "κοντά", "γέφυρα", "θέα", "λίμνη"}};
    static const Script japanese{{"カフェ", "駅", "神社", "博物館"}, {"東京", "大阪", "京都", "札幌"},
                                 {"道", "森", "近く", "橋", "左", "右", "入口", "湖"}};
    static const Script polish{{"Kościół", "Stacja paliw", "Muzeum", "Zamek"}, {"Kraków", "Łódź", "Gdańsk", "Wrocław"},
                               {"droga", "las", "blisko", "most", "wejście", "zamknięte", "jezioro", "źródło"}};
    return which == 0 ? greek : which == 1 ? japanese : polish;
}

QString Pick(QRandomGenerator &rng, const QStringList &list)
{
    return list[static_cast<qsizetype>(rng.bounded(static_cast<int>(list.size())))];
}

// Lengths from 20 to 900, mostly short (about 145 on average), a few long.
QString Sentence(QRandomGenerator &rng, const Script &script)
{
    const double u = rng.generateDouble();
    const int target = static_cast<int>(20.0 * std::exp(u * u * std::log(45.0)));
    QString text;
    text.reserve(target + 16);
    while (text.size() < target) {
        if (!text.isEmpty())
            text += rng.bounded(12) == 0 ? QStringLiteral(". ") : QStringLiteral(" ");
        text += Pick(rng, script.words);
    }
    return text;
}

struct Poi {
    double lat, lon;
    QString name, desc;
};

Poi Realistic(QRandomGenerator &rng)
{
    const int roll = rng.bounded(100);
    const Script &script = roll < 5 ? Cyrillic() : roll < 6 ? Other(rng.bounded(3)) : French();
    Poi p;
    p.lat = 42.0 + rng.generateDouble() * 9.0;
    p.lon = -5.0 + rng.generateDouble() * 13.0;
    p.name = Pick(rng, script.kinds) + u' ' + Pick(rng, script.places);
    if (rng.bounded(3) == 0)
        p.name += QStringLiteral(" (%1)").arg(rng.bounded(1000));
    if (rng.bounded(10) < 6)
        p.desc = Sentence(rng, script);
    return p;
}

Poi Short(QRandomGenerator &rng)
{
    const QStringList far = {"Москва", "Санкт-Петербург", "東京", "Αθήνα", "Kraków", "Zürich"};
    Poi p;
    p.lat = 42.0 + rng.generateDouble() * 9.0;
    p.lon = -5.0 + rng.generateDouble() * 13.0;
    p.name = Pick(rng, French().kinds) + QStringLiteral(" - ") +
             (rng.bounded(20) == 0 ? Pick(rng, far) : Pick(rng, French().places));
    if (rng.bounded(3) == 0)
        p.name += QStringLiteral(" (%1)").arg(rng.bounded(1000));
    return p;
}

// A waypoint as GPS receivers and geocaching sites write them.
void AppendWaypoint(QByteArray &out, const Poi &p, QRandomGenerator &rng)
{
    out += "  <wpt lat=\"" + QByteArray::number(p.lat, 'f', 6) + "\" lon=\"" + QByteArray::number(p.lon, 'f', 6) +
           "\">\n    <ele>" + QByteArray::number(rng.generateDouble() * 900.0, 'f', 1) + "</ele>\n    <time>2024-0" +
           QByteArray::number(1 + rng.bounded(9)) + "-1" + QByteArray::number(rng.bounded(10)) + "T1" +
           QByteArray::number(rng.bounded(10)) + ":3" + QByteArray::number(rng.bounded(10)) + ":0" +
           QByteArray::number(rng.bounded(10)) + "Z</time>\n    <name>" + EscapeXml(p.name).toUtf8() + "</name>\n";
    if (!p.desc.isEmpty())
        out += "    <desc>" + EscapeXml(p.desc).toUtf8() + "</desc>\n";
    out += "    <sym>Waypoint</sym>\n  </wpt>\n";
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: generate_pois N out.ov2 out.gpx [--realistic]\n");
        return 2;
    }
    const int n = std::atoi(argv[1]);
    const bool realistic = argc > 4 && std::strcmp(argv[4], "--realistic") == 0;
    QRandomGenerator rng(42);
    PoiTable t;
    t.setRowCount(n + 1);
    QFile gpx(QString::fromLocal8Bit(argv[3]));
    if (!gpx.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 1;
    }
    if (realistic)
        gpx.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"generate_pois\" "
                  "xmlns=\"http://www.topografix.com/GPX/1/1\">\n");
    QByteArray chunk;
    for (int r = 1; r <= n; ++r) {
        const Poi p = realistic ? Realistic(rng) : Short(rng);
        t.setNumber(r, r);
        t.setField(r, FieldLatitude, QString::number(p.lat, 'f', 5));
        t.setField(r, FieldLongitude, QString::number(p.lon, 'f', 5));
        // What the GPX reader makes of the waypoint.
        t.setField(r, FieldDescription, realistic ? p.name + QStringLiteral(" - ") + p.desc : p.name);
        if (realistic) {
            AppendWaypoint(chunk, p, rng);
            if (chunk.size() > (1 << 20)) {
                gpx.write(chunk);
                chunk.clear();
            }
        }
    }
    bool ok = true;
    if (realistic) {
        chunk += "</gpx>\n";
        ok = gpx.write(chunk) == chunk.size();
    } else {
        const QByteArray bytes = GpxFileBytes(t, 1, n);
        ok = gpx.write(bytes) == bytes.size();
    }
    QFile ov2(QString::fromLocal8Bit(argv[2]));
    const QByteArray ov2Bytes = ok ? Ov2FileBytes(t, 1, n, u'.') : QByteArray();
    if (!ok || !ov2.open(QIODevice::WriteOnly) || ov2.write(ov2Bytes) != ov2Bytes.size()) {
        std::fprintf(stderr, "cannot write the files\n");
        return 1;
    }
    return 0;
}
