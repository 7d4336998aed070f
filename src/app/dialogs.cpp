#include "app/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

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

std::unique_ptr<QFileDialog> MakeSaveDialog(QWidget *parent, const QString &startFolder, const QString &filter,
                                            const QString &defaultSuffix)
{
    auto dialog = std::make_unique<QFileDialog>(parent, QString(), startFolder, QtFilterFromBars(filter));
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
    return QFileDialog::getOpenFileName(parent, title, startFolder, QtFilterFromBars(filter));
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
