#include "app/dialogs.h"

#include <QFileDialog>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QTreeView>
#include <QGuiApplication>
#include <QScreen>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <algorithm>

namespace orvalis {

QString QtFilterFromBars(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        entries << QStringLiteral("%1 (%2)").arg(parts[i], patterns.join(u' '));
    }
    return entries.join(QStringLiteral(";;"));
}

std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget *parent, const QString &text, const QString &acceptText)
{
    auto box = std::make_unique<QMessageBox>(QMessageBox::Warning, QStringLiteral("Avertissement"), text,
                                             QMessageBox::NoButton, parent);
    QPushButton *accept = box->addButton(acceptText, QMessageBox::AcceptRole);
    QPushButton *cancel = box->addButton(QStringLiteral("Annuler"), QMessageBox::RejectRole);
    box->setDefaultButton(accept);
    box->setEscapeButton(cancel);
    return box;
}

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                            const QString &text)
{
    auto box = std::make_unique<QMessageBox>(icon, title, text, QMessageBox::NoButton, parent);
    box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    return box;
}

namespace {

// The type column of the file dialogs, in French and naming our files: Qt
// says "Folder" whatever the language, and the system knows no .ov2 or .gpx
// ("inconnu").
class FileKindNames : public QFileIconProvider {
public:
    QString type(const QFileInfo &info) const override
    {
        if (info.isDir())
            return QStringLiteral("Dossier");
        const QString suffix = info.suffix().toLower();
        if (suffix == u"ov2")
            return QStringLiteral("Fichier OV2");
        if (suffix == u"gpx")
            return QStringLiteral("Fichier GPX");
        if (suffix == u"csv")
            return QStringLiteral("Fichier CSV");
        return QFileIconProvider::type(info);
    }
};

void NameFileKinds(QFileDialog &dialog)
{
    // The widget dialog only (a native one names types itself); it outlives
    // nothing of the dialog's.
    auto *names = new FileKindNames;
    dialog.setIconProvider(names);
    QObject::connect(&dialog, &QObject::destroyed, [names] { delete names; });
}

// Qt's own size cuts names and types ("188…ets", "do…PX"): about two thirds of
// the screen, within 960×640, never below what the dialog needs.
void GiveRoom(QFileDialog &dialog)
{
    const QScreen *screen = dialog.screen() ? dialog.screen() : QGuiApplication::primaryScreen();
    const QSize room = screen ? screen->availableGeometry().size() * 2 / 3 : QSize(960, 640);
    const QSize wanted(std::min(960, room.width()), std::min(640, room.height()));
    dialog.resize(wanted.expandedTo(dialog.minimumSizeHint()));
    // The detail columns as wide as what they show; the name takes the rest.
    if (auto *details = dialog.findChild<QTreeView *>(QStringLiteral("treeView"))) {
        const QFontMetrics fm = details->fontMetrics();
        const QLocale locale;
        const QString widest[] = {locale.formattedDataSize(qint64(999) << 20),
                                  QStringLiteral("Fichier OV2 "),
                                  locale.toString(QDateTime(QDate(2024, 12, 31), QTime(23, 59)), QLocale::ShortFormat)};
        for (int column = 1; column <= 3; ++column)
            details->header()->resizeSection(column, fm.horizontalAdvance(widest[column - 1]) + 3 * fm.averageCharWidth());
    }
}

}  // namespace

std::unique_ptr<QFileDialog> MakeOpenDialog(QWidget *parent, const QString &title, const QString &startFolder,
                                            const QString &filter)
{
    auto dialog = std::make_unique<QFileDialog>(parent, title, startFolder, QtFilterFromBars(filter));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    NameFileKinds(*dialog);
    GiveRoom(*dialog);
    return dialog;
}

std::unique_ptr<QFileDialog> MakeSaveDialog(QWidget *parent, const QString &startFolder, const QString &filter,
                                            const QString &defaultSuffix)
{
    auto dialog = std::make_unique<QFileDialog>(parent, QString(), startFolder, QtFilterFromBars(filter));
    NameFileKinds(*dialog);
    GiveRoom(*dialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(defaultSuffix);
    // The overwrite question is the command's own, in French: the dialog must not ask too.
    dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    return dialog;
}

namespace {

bool ask(QWidget *parent, const QString &text, const QString &acceptText)
{
    const auto box = MakeQuestionBox(parent, text, acceptText);
    box->exec();
    return box->clickedButton() == box->defaultButton();
}

void show(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text)
{
    MakeMessageBox(parent, icon, title, text)->exec();
}

}  // namespace

bool QtDialogs::askOkCancel(QWidget *parent, const QString &text)
{
    return ask(parent, text, QStringLiteral("OK"));
}

bool QtDialogs::askYesCancel(QWidget *parent, const QString &text)
{
    return ask(parent, text, QStringLiteral("&Oui"));
}

void QtDialogs::warning(QWidget *parent, const QString &text)
{
    show(parent, QMessageBox::Warning, QStringLiteral("Avertissement"), text);
}

void QtDialogs::information(QWidget *parent, const QString &text)
{
    show(parent, QMessageBox::Information, QStringLiteral("Information"), text);
}

void QtDialogs::error(QWidget *parent, const QString &text)
{
    show(parent, QMessageBox::Critical, QStringLiteral("Erreur"), text);
}

void QtDialogs::message(QWidget *parent, const QString &text)
{
    show(parent, QMessageBox::NoIcon, QStringLiteral("Orvalis"), text);
}

QString QtDialogs::openFileName(QWidget *parent, const QString &title, const QString &startFolder,
                                const QString &filter)
{
    const auto dialog = MakeOpenDialog(parent, title, startFolder, filter);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    return dialog->selectedFiles().first();
}

QString QtDialogs::saveFileName(QWidget *parent, const QString &startFolder, const QString &filter,
                                const QString &defaultSuffix)
{
    const auto dialog = MakeSaveDialog(parent, startFolder, filter, defaultSuffix);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    return dialog->selectedFiles().first();
}

}  // namespace orvalis
