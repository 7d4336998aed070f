#pragma once

#include <QMessageBox>
#include <QString>
#include <memory>

class QFileDialog;
class QWidget;

namespace orvalis {

// Every modal question, message and file dialog of the program goes through
// this interface, so that commands can be run by tests without a person.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Warning "Avertissement" with "OK" / "Annuler": true for OK.
    virtual bool askOkCancel(QWidget *parent, const QString &text) = 0;
    // Warning "Avertissement" with "&Oui" / "Annuler": true for Oui.
    virtual bool askYesCancel(QWidget *parent, const QString &text) = 0;
    // Warning "Avertissement" with a single "OK".
    virtual void warning(QWidget *parent, const QString &text) = 0;
    // Information "Information" with "OK".
    virtual void information(QWidget *parent, const QString &text) = 0;
    // Error "Erreur" with "OK".
    virtual void error(QWidget *parent, const QString &text) = 0;
    // Plain message box titled with the program's name.
    virtual void message(QWidget *parent, const QString &text) = 0;

    // File dialogs; an empty result means cancelled. Filters are written as
    // "Description|patterns|Description|patterns".
    virtual QString openFileName(QWidget *parent, const QString &title, const QString &startFolder,
                                 const QString &filter) = 0;
    virtual QString saveFileName(QWidget *parent, const QString &startFolder, const QString &filter,
                                 const QString &defaultSuffix) = 0;
};

// Turns "Desc|*.a;*.b|Desc2|*.c" into Qt's "Desc (*.a *.b);;Desc2 (*.c)".
QString QtFilterFromBars(const QString &filter);

// The dialogs QtDialogs shows, built apart so their settings can be checked.
// A warning "Avertissement" with acceptText (default) and "Annuler" (escape).
std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget *parent, const QString &text, const QString &acceptText);
// A message with a single "OK".
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                            const QString &text);
// The save dialog: no overwrite question of its own, the default suffix added.
std::unique_ptr<QFileDialog> MakeSaveDialog(QWidget *parent, const QString &startFolder, const QString &filter,
                                            const QString &defaultSuffix);
// The open dialog. Both come up large enough for whole names and types.
std::unique_ptr<QFileDialog> MakeOpenDialog(QWidget *parent, const QString &title, const QString &startFolder,
                                            const QString &filter);

// The Qt implementation with the program's French titles and buttons.
class QtDialogs : public Dialogs {
public:
    bool askOkCancel(QWidget *parent, const QString &text) override;
    bool askYesCancel(QWidget *parent, const QString &text) override;
    void warning(QWidget *parent, const QString &text) override;
    void information(QWidget *parent, const QString &text) override;
    void error(QWidget *parent, const QString &text) override;
    void message(QWidget *parent, const QString &text) override;
    QString openFileName(QWidget *parent, const QString &title, const QString &startFolder,
                         const QString &filter) override;
    QString saveFileName(QWidget *parent, const QString &startFolder, const QString &filter,
                         const QString &defaultSuffix) override;
};

}  // namespace orvalis
