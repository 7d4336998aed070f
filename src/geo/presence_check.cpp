#include "geo/presence_check.h"

#include "app/dialogs.h"

#include <QLineEdit>

namespace orvalis {

bool CheckFilled(Dialogs &dialogs, QWidget *parent, const QList<QLineEdit *> &boxes, const QString &message)
{
    for (QLineEdit *box : boxes) {
        if (box->text().isEmpty()) {
            dialogs.error(parent, message);
            return false;
        }
    }
    return true;
}

}  // namespace orvalis
