#include "maps/browser_launch.h"

#include <QUrl>

namespace orvalis {

QString BrowserCodeFromDesktopEntry(const QString &desktopEntry)
{
    const QString e = desktopEntry.trimmed().toLower();
    if (e.contains(QStringLiteral("firefox")) || e.contains(QStringLiteral("iceweasel")))
        return QStringLiteral("FF");
    if (e.contains(QStringLiteral("chromium")) || e.contains(QStringLiteral("chrome")))
        return QStringLiteral("CH");
    if (e.contains(QStringLiteral("opera")))
        return QStringLiteral("OP");
    return {};
}

std::optional<LaunchCommand> ExternalLaunchCommand(const QString &code, const QString &desktopEntry,
                                                   const QString &pagePath)
{
    if (code == QStringLiteral("CH")) {
        const QString e = desktopEntry.toLower();
        QString program = QStringLiteral("chromium");
        if (e.contains(QStringLiteral("google-chrome")))
            program = QStringLiteral("google-chrome");
        return LaunchCommand{program,
                             {QStringLiteral("--start"), QStringLiteral("--window-position=0,0"),
                              QStringLiteral("--window-size=800,600"),
                              QStringLiteral("--app=") + QUrl::fromLocalFile(pagePath).toString()}};
    }
    if (code == QStringLiteral("FF"))
        return LaunchCommand{QStringLiteral("firefox"), {QStringLiteral("-url"), pagePath, QStringLiteral("-fullscreen")}};
    return std::nullopt;
}

QString GeocacheAddress(const QString &baseDescription)
{
    return QStringLiteral("http://www.geocaching.com/seek/cache_details.aspx?wp=") + baseDescription.left(7) +
           QStringLiteral("&Submit6=Go");
}

QString ShellErrorMessage(int code)
{
    switch (code) {
    case 0: return QStringLiteral("Désolé, mais l'ordinateur est à court de mémoire");
    case 2: return QStringLiteral("Désolé, mais le programme n'existe pas.");
    case 3: return QStringLiteral("Chemin introuvable");
    case 5: return QStringLiteral("Accés refusé au fichier");
    case 8: return QStringLiteral("Mémoire insuffisante pour terminer l'opération");
    case 11: return QStringLiteral("Le fichier est invalide");
    case 26: return QStringLiteral("Erreur de partage");
    case 27: return QStringLiteral("Le fichier a une association Windows incorrecte.");
    case 28: return QStringLiteral("Désolé, mais la transaction DDE a échoué (Time-out)");
    case 29: return QStringLiteral("Désolé, mais la transaction DDE a échoué");
    case 30: return QStringLiteral("Désolé, mais une autre transaction DDE est en cours");
    case 31: return QStringLiteral("Le fichier n'a pas d'association Windows.");
    case 32: return QStringLiteral("Désolé, DLL manquante");
    default:
        if (code >= 1 && code <= 25)
            return QStringLiteral("Error n° 1072");
        return {};
    }
}

}  // namespace orvalis
