#include "files/csv_format.h"
#include "files/gpx_format.h"
#include "files/print_listing.h"

#include "support/tables.h"

#include <gtest/gtest.h>

using namespace orvalis;
using orvalis::testing::TableOfRows;

TEST(Csv, LinesBeforeAnyDistanceRun)
{
    const PoiTable t = TableOfRows({{"48,85661", "2,35222", "Paris; la tour"}});
    EXPECT_EQ(CsvFileBytes(t), QByteArray("48.85661; 2.35222; Paris  la tour; ; ; \r\n"));
}

TEST(Csv, RowTestAndDistanceColumns)
{
    const PoiTable t = TableOfRows({{"1", "2", "", "5 km"}, {"", "3", "sans latitude", "0 m", "00000000", "N"}, {"4", "", "sans longitude"}});
    EXPECT_EQ(CsvFileBytes(t), QByteArray("; 3; sans latitude; 0 m; N; \r\n"));
    EXPECT_EQ(CsvFileBytes(PoiTable()), QByteArray());
}

TEST(Csv, Windows1252WhenItFitsUtf8WithBomOtherwise)
{
    EXPECT_EQ(CsvFileBytes(TableOfRows({{"1", "2", "Château"}})), QByteArray("1; 2; Ch\xE2teau; ; ; \r\n"));
    const QByteArray utf8 = CsvFileBytes(TableOfRows({{"1", "2", "Château"}, {"1", "2", "Метро"}}));
    EXPECT_TRUE(utf8.startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(utf8.contains("Ch\xC3\xA2teau"));
    // 8-bit and UTF-16 texts get the same replacements, in either encoding; a range writes its rows only.
    const PoiTable t = TableOfRows({{"1,5", "2,5", "l’a;b", "3 km", "0003000", "N"}, {"1,5", "2,5", "Мет;ро", "", "", "S"}, {"9", "9", "x"}});
    EXPECT_EQ(CsvFileBytes(t, 1, 2), QByteArray("\xEF\xBB\xBF" "1.5; 2.5; l\xE2\x80\x99" "a b; 3 km; N; \r\n1.5; 2.5; Мет ро; ; S; \r\n"));
    EXPECT_EQ(CsvFileBytes(t, 1, 1), QByteArray("1.5; 2.5; l\x92" "a b; 3 km; N; \r\n"));
}

namespace {
std::vector<PrintOp> Listing(int rows)
{
    QList<QStringList> data;
    for (int i = 0; i < rows; ++i)
        data << QStringList{"48,1", "2,2", QStringLiteral("Description numéro %1 qui dépasse quarante caractères").arg(i), "3 km"};
    return ListingOperations(TableOfRows(data), 1, rows, QStringLiteral("/tmp/pois.ov2"), QStringLiteral("99"));
}
std::vector<int> RuleYs(const std::vector<PrintOp> &ops)
{
    std::vector<int> ys;
    for (const PrintOp &op : ops)
        if (op.kind == PrintOp::Line)
            ys.push_back(op.y);
    return ys;
}
int Pages(const std::vector<PrintOp> &ops)
{
    return 1 + static_cast<int>(std::count_if(ops.begin(), ops.end(), [](const PrintOp &o) { return o.kind == PrintOp::NewPage; }));
}
}  // namespace

TEST(PrintListing, OneRow)
{
    const auto ops = Listing(1);
    EXPECT_EQ(ops[0].text, QStringLiteral("Repère"));
    EXPECT_EQ(ops[0].y, 80);
    EXPECT_EQ(ops[4].x, 2900);
    EXPECT_EQ(RuleYs(ops), (std::vector<int>{200, 440}));
    EXPECT_EQ(ops[6].y, 320);
    EXPECT_EQ(ops[6].text, QStringLiteral("1"));
    EXPECT_EQ(ops[9].text.size(), 40);  // the description is cut to 40 characters
    const PrintOp &caption = ops[ops.size() - 3];
    EXPECT_EQ(caption.y, 560);
    EXPECT_EQ(caption.color, PrintOp::Blue);
    EXPECT_EQ(ops[ops.size() - 2].text, QStringLiteral("Nbre total de POIs = "));
    EXPECT_EQ(ops[ops.size() - 2].y, 680);
    EXPECT_EQ(ops.back().x, 1100);
    EXPECT_EQ(ops.back().text, QStringLiteral("99"));
    EXPECT_EQ(ops.back().color, PrintOp::Red);
}

TEST(PrintListing, SixtyRowsPushTheFooterToASecondPage)
{
    const auto ops = Listing(60);
    EXPECT_EQ(Pages(ops), 2);
    EXPECT_EQ(RuleYs(ops), (std::vector<int>{200, 320}));
    EXPECT_EQ(ops.back().y, 560);
}

TEST(PrintListing, SixtyOneRows)
{
    const auto ops = Listing(61);
    EXPECT_EQ(Pages(ops), 2);
    EXPECT_EQ(RuleYs(ops), (std::vector<int>{200, 440}));
    // The second page has no titles: only one "Repère".
    EXPECT_EQ(std::count_if(ops.begin(), ops.end(), [](const PrintOp &o) { return o.text == QStringLiteral("Repère"); }), 1);
}

// The description is cut to 40 UTF-16 units at most, where a character
// begins: never half an emoji (drawn as "�"), nor a letter without its accent.
TEST(PrintListing, DescriptionsAreCutWhereACharacterBegins)
{
    const QString emoji = QString(39, u'x') + QStringLiteral("🗼 tour");
    const QString accent = QString(39, u'x') + QStringLiteral("e\u0301t\u00e9");
    const QString plain = QString(45, u'y');
    auto cut = [](const QString &description) {
        const auto ops = ListingOperations(orvalis::testing::TableOfRows({{"1", "2", description}}), 1, 1, QString(), QString());
        for (const PrintOp &op : ops)
            if (op.x == 1050 && op.y == 320)
                return op.text;
        return QStringLiteral("?");
    };
    EXPECT_EQ(cut(emoji), QString(39, u'x'));
    EXPECT_EQ(cut(accent), QString(39, u'x'));
    EXPECT_EQ(cut(plain), QString(40, u'y'));
    EXPECT_EQ(cut(QString(38, u'x') + QStringLiteral("🗼")), QString(38, u'x') + QStringLiteral("🗼"));
}

TEST(PrintListing, TheFullestPageFitsItsHeightToTheLastLine)
{
    // 59 rows keep the footer on their page: its last line, and the line's own
    // height, are the height the printer's resolution is chosen for.
    constexpr int kLine = 120;
    const auto ops = Listing(59);
    EXPECT_EQ(Pages(ops), 1);
    int lowest = 0;
    for (const PrintOp &op : ops)
        if (op.kind == PrintOp::Text)
            lowest = std::max(lowest, op.y);
    EXPECT_EQ(lowest, ops.back().y);
    EXPECT_EQ(ListingPageHeight(), lowest + kLine);
    // Any shorter listing's lines lie within it.
    for (const int rows : {1, 30, 60, 61, 119}) {
        for (const PrintOp &op : Listing(rows))
            EXPECT_LE(op.y + (op.kind == PrintOp::Text ? kLine : 0), ListingPageHeight()) << rows;
    }
}
