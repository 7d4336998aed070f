#pragma once

#include <QChar>
#include <QList>
#include <QString>

class QLineEdit;
class QWidget;

namespace orvalis {

class Dialogs;

inline const QString kFourFieldsMessage = QStringLiteral("Les quatre champs doivent être renseignés.");
inline const QString kEightFieldsMessage = QStringLiteral("Les huit champs doivent être renseignés.");

// True when every box holds some text; otherwise shows `message` as an error and returns false.
bool CheckFilled(Dialogs &dialogs, QWidget *parent, const QList<QLineEdit *> &boxes, const QString &message);
// True when no box holds a number too large for a float; otherwise shows the
// floating-point overflow error and returns false, so that nothing changes.
bool CheckFloatRange(Dialogs &dialogs, QWidget *parent, const QList<QLineEdit *> &boxes, QChar separator);

}  // namespace orvalis
