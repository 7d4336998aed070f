#include "geo/presence_check.h"

#include "geo/decimal_entry.h"
#include "geo/geodesy.h"

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

bool CheckFloatRange(Dialogs &dialogs, QWidget *parent, const QList<QLineEdit *> &boxes, QChar separator)
{
    for (QLineEdit *box : boxes) {
        if (ExceedsFloat(box->text(), separator)) {
            dialogs.error(parent, FloatOverflowText());
            return false;
        }
    }
    return true;
}

}  // namespace orvalis
