#pragma once

#include <QIcon>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace orvalis {

// Small builders that give every control its documented name, caption and
// hint (tooltip and accessible description) in one place.
QPushButton *MakeButton(QWidget *parent, const QString &name, const QString &caption, const QString &hint = {});
QPushButton *MakeGlyphButton(QWidget *parent, const QString &name, const QString &themeIcon,
                             const QString &bundledIcon, const QString &hint = {});
QLineEdit *MakeEdit(QWidget *parent, const QString &name, const QString &hint = {}, bool readOnly = false);
QLabel *MakeLabel(QWidget *parent, const QString &name, const QString &caption, QWidget *buddy = nullptr);
QCheckBox *MakeCheckBox(QWidget *parent, const QString &name, const QString &caption, const QString &hint = {});
void SetHint(QWidget *w, const QString &hint);
// The desktop theme's icon when it has one, else the program's own drawing.
QIcon ThemeIcon(const QString &themeName, const QString &bundled);
void SetBold(QWidget *w, bool bold = true);
// The icon with a grey, faded drawing for disabled buttons.
QIcon WithGreyedDisabled(const QIcon &icon, QSize size);
// Registers the program's icons and map files.
void InitUiResources();
// Lets the window repaint in the middle of a command.
void ProcessPendingMessages();

// Wait cursor for the time it lives, and a progress window for work long
// enough to need a sign of life (about a second or more).
class BusyIndicator {
public:
    BusyIndicator(QWidget *parent, bool longWork);
    ~BusyIndicator();
    BusyIndicator(const BusyIndicator &) = delete;
    BusyIndicator &operator=(const BusyIndicator &) = delete;

private:
    QWidget *progress_ = nullptr;
};

}  // namespace orvalis
