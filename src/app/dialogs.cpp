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

namespace {

bool ask(QWidget *parent, const QString &text, const QString &acceptText)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Avertissement"), text, QMessageBox::NoButton, parent);
    QPushButton *accept = box.addButton(acceptText, QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(QStringLiteral("Annuler"), QMessageBox::RejectRole);
    box.setDefaultButton(accept);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == accept;
}

void show(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text)
{
    QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
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
    QFileDialog dialog(parent, QString(), startFolder, QtFilterFromBars(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    // The overwrite question is the command's own, in French.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

}  // namespace orvalis
