#pragma once

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

}  // namespace orvalis
