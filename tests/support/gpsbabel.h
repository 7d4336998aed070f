#pragma once
// GPSBabel, the independent program the navigator formats are checked against.

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace orvalis::testing {

inline bool HasGpsBabel()
{
    return !QStandardPaths::findExecutable(QStringLiteral("gpsbabel")).isEmpty();
}

// Its standard output, or nothing when it failed.
inline std::optional<QByteArray> RunGpsBabel(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("gpsbabel"), args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return std::nullopt;
    return p.readAllStandardOutput();
}

// The rows of its "unicsv" output (a header, then quoted fields), by column name.
inline std::vector<QMap<QString, QString>> UnicsvRows(const QByteArray &csv)
{
    std::vector<QStringList> lines;
    QStringList fields;
    QString field;
    bool quoted = false;
    const QString text = QString::fromUtf8(csv);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted && c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
            field += c;
            ++i;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (!quoted && c == u',') {
            fields << field;
            field.clear();
        } else if (!quoted && c == u'\n') {
            fields << field;
            lines.push_back(fields);
            fields.clear();
            field.clear();
        } else if (quoted || c != u'\r') {
            field += c;
        }
    }
    std::vector<QMap<QString, QString>> rows;
    for (size_t r = 1; r < lines.size(); ++r) {
        QMap<QString, QString> row;
        for (qsizetype c = 0; c < lines[0].size() && c < lines[r].size(); ++c)
            row[lines[0][c]] = lines[r][c];
        rows.push_back(row);
    }
    return rows;
}

}  // namespace orvalis::testing
