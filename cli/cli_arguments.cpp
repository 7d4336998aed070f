// The arguments of a command and the messages every command prints.
#include "cli.h"

#include "geo/decimal_entry.h"
#include "progress.h"
#include "table/sort_by_field.h"

#include <QCoreApplication>
#include <QLocale>
#include <cmath>
#include <cstdio>
#include <cerrno>
#include <cstring>

namespace orvalis::cli {

QString T(const char *text)
{
    return QCoreApplication::translate("Cli", text);
}

Failure WorkFailure(const QString &message)
{
    return Failure{message, 1};
}

Failure FailureOf(const OutputFailure &f)
{
    const QString error = QString::fromLocal8Bit(std::strerror(f.error));
    switch (f.where) {
    case OutputFailure::StandardOutput:
        errno = f.error;
        return StandardOutputFailure();
    case OutputFailure::TemporaryFile:
        return WorkFailure(QCoreApplication::translate("Cli", "cannot create a temporary file: %1").arg(error));
    case OutputFailure::File:
        break;
    }
    // The system's reason where there is one; the rule's where the file was refused by it.
    const QString reason = f.why == SaveFailure::FolderNotWritable ? QCoreApplication::translate("Cli", "its folder is not writable")
                           : f.why == SaveFailure::Refused && (f.error == 0 || f.error == ELOOP)
                               ? QCoreApplication::translate("Cli", "not a regular file, or a link that may not be followed")
                           : f.error != 0 ? error
                                          : QCoreApplication::translate("Cli", "writing failed");
    return WorkFailure(QCoreApplication::translate("Cli", "%1: cannot write the file (%2); nothing was changed").arg(Shown(f.path), reason));
}

Failure StandardOutputFailure()
{
    return WorkFailure(QCoreApplication::translate("Cli", "cannot write the standard output: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
}

bool WriteStdout(QByteArrayView bytes)
{
    return std::fwrite(bytes.data(), 1, static_cast<size_t>(bytes.size()), stdout) == static_cast<size_t>(bytes.size());
}

void Print(QByteArrayView bytes)
{
    Progress::Global().clear();
    if (!WriteStdout(bytes))
        throw StandardOutputFailure();
}

void Out(const QString &line)
{
    Print(QByteArray(line.toUtf8() + '\n'));
}

void Err(const QString &line)
{
    Progress::Global().clear();
    std::fprintf(stderr, "orvalis-cli: %s\n", line.toUtf8().constData());
}

QString Shown(const QByteArray &path)
{
    return QString::fromLocal8Bit(path);
}

Cli::Cli(QList<QByteArray> arguments) : args(std::move(arguments))
{
    const QString point = QLocale::system().decimalPoint();
    sep = point.isEmpty() ? QChar(u'.') : point.at(0);
    collator = TableCollator(QLocale::system());
}

std::optional<QString> Cli::option(const char *name)
{
    const qsizetype i = args.indexOf(QByteArray(name));
    if (i < 0)
        return std::nullopt;
    if (i + 1 >= args.size())
        throw Failure{QCoreApplication::translate("Cli", "%1 needs a value").arg(QLatin1String(name))};
    const QString value = Shown(args.at(i + 1));
    args.remove(i, 2);
    return value;
}

std::optional<std::pair<QByteArray, QByteArray>> Cli::pairOption(const char *name)
{
    const qsizetype i = args.indexOf(QByteArray(name));
    if (i < 0)
        return std::nullopt;
    if (i + 2 >= args.size())
        throw Failure{QCoreApplication::translate("Cli", "%1 needs two values").arg(QLatin1String(name))};
    std::pair<QByteArray, QByteArray> values{args.at(i + 1), args.at(i + 2)};
    args.remove(i, 3);
    return values;
}

bool Cli::flag(const char *name)
{
    return args.removeAll(QByteArray(name)) > 0;
}

void Cli::expectCount(qsizetype n) const
{
    // An option not taken by the command is a mistake, not a file name.
    for (const QByteArray &a : args)
        if (a.startsWith("--"))
            throw Failure{QCoreApplication::translate("Cli", "unknown option %1 (see --help)").arg(Shown(a))};
    if (args.size() != n)
        throw Failure{QCoreApplication::translate("Cli", "expected %1 arguments, got %2 (see --help)").arg(n).arg(args.size())};
}

float Cli::Number(const QString &text, const QString &what)
{
    std::optional<long double> v = ParseDecimal(text, u'.');
    if (!v)
        v = ParseDecimal(text, u',');
    if (!v || !std::isfinite(static_cast<double>(*v)))
        throw Failure{QCoreApplication::translate("Cli", "%1 (\"%2\") is not a number").arg(what, text)};
    if (ExceedsFloat(text, text.contains(u',') ? u',' : u'.'))
        throw Failure{QCoreApplication::translate("Cli", "%1 (\"%2\") is too large").arg(what, text)};
    return static_cast<float>(*v);
}

namespace {

QString ArgumentName(qsizetype i)
{
    return QCoreApplication::translate("Cli", "argument %1").arg(i + 1);
}

}  // namespace

float Cli::number(qsizetype i) const
{
    return Number(Shown(args.at(i)), ArgumentName(i));
}

float Cli::latitude(qsizetype i) const
{
    const float v = number(i);
    if (!LatitudeInRange(v))
        throw Failure{QCoreApplication::translate("Cli", "%1 (\"%2\") is not a latitude: it must lie in [-90, 90]").arg(ArgumentName(i), Shown(args.at(i)))};
    return v;
}

float Cli::longitude(qsizetype i) const
{
    const float v = number(i);
    if (!LongitudeInRange(v))
        throw Failure{QCoreApplication::translate("Cli", "%1 (\"%2\") is not a longitude: it must lie in [-180, 180]").arg(ArgumentName(i), Shown(args.at(i)))};
    return v;
}

float Cli::Distance(const std::optional<QString> &text, const char *name)
{
    const float v = Number(*text, QLatin1String(name));
    if (!(v >= 0))
        throw Failure{QCoreApplication::translate("Cli", "%1 takes a distance of 0 or more").arg(QLatin1String(name))};
    return v;
}

void Cli::takeGpiOptions()
{
    gpiCategory = option("--gpi-category");
    if (const std::optional<QString> metres = option("--gpi-alert-m")) {
        const float m = Number(*metres, QStringLiteral("--gpi-alert-m"));
        if (!(m >= 0 && m <= kGpiMaxAlertMetres))
            throw Failure{QCoreApplication::translate("Cli", "--gpi-alert-m takes a distance from 0 to %1 metres").arg(kGpiMaxAlertMetres)};
        gpiAlertMetres = int(std::lround(m));
    }
}

GpiWriteOptions Cli::gpiOptions(const QByteArray &out) const
{
    GpiWriteOptions options;
    options.alertMetres = gpiAlertMetres;
    if (gpiCategory) {
        options.category = *gpiCategory;
    } else {
        const QByteArray name = out.mid(out.lastIndexOf('/') + 1);
        const qsizetype dot = name.lastIndexOf('.');
        options.category = out == "-" ? QStringLiteral("POI") : Shown(dot > 0 ? name.first(dot) : name);
    }
    return options;
}

int Cli::BaseRow(const QString &base)
{
    bool ok = false;
    const int row = base.toInt(&ok);
    if (!ok || row < 1)
        throw Failure{QCoreApplication::translate("Cli", "--base takes a row number from 1")};
    return row;
}

QString Cli::pois(int n) const
{
    return QCoreApplication::translate("Cli", "%1 POIs").arg(n);
}

void Cli::Report(const QByteArray &out, const QString &line)
{
    if (out == "-")
        std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    else
        Out(line);
}

}  // namespace orvalis::cli
