#include "app/widgets_util.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// Resources of a static library must be registered by hand.
static void InitResources()
{
    static bool done = false;
    if (!done) {
        Q_INIT_RESOURCE(resources);
        Q_INIT_RESOURCE(maps_resources);
        done = true;
    }
}

namespace orvalis {

void InitUiResources()
{
    InitResources();
}

void SetHint(QWidget *w, const QString &hint)
{
    w->setToolTip(hint);
    w->setAccessibleDescription(hint);
}

QIcon ThemeIcon(const QString &themeName, const QString &bundled)
{
    InitResources();
    return QIcon::fromTheme(themeName, QIcon(QStringLiteral(":/icons/%1.svg").arg(bundled)));
}

QPushButton *MakeButton(QWidget *parent, const QString &name, const QString &caption, const QString &hint)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    if (!hint.isEmpty()) {
        SetHint(b, hint);
        if (caption.isEmpty())
            b->setAccessibleName(hint);
    }
    return b;
}

QPushButton *MakeGlyphButton(QWidget *parent, const QString &name, const QString &themeIcon,
                             const QString &bundledIcon, const QString &hint)
{
    QPushButton *b = MakeButton(parent, name, QString(), hint);
    b->setIcon(ThemeIcon(themeIcon, bundledIcon));
    b->setIconSize(QSize(22, 22));
    b->setFixedSize(34, 30);
    if (hint.isEmpty())
        b->setAccessibleName(name);
    return b;
}

QLineEdit *MakeEdit(QWidget *parent, const QString &name, const QString &hint, bool readOnly)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setReadOnly(readOnly);
    if (!hint.isEmpty()) {
        SetHint(e, hint);
        e->setAccessibleName(hint);
    }
    return e;
}

QLabel *MakeLabel(QWidget *parent, const QString &name, const QString &caption, QWidget *buddy)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(name);
    if (buddy) {
        l->setBuddy(buddy);
        if (buddy->accessibleName().isEmpty())
            buddy->setAccessibleName(caption.trimmed());
    }
    return l;
}

QCheckBox *MakeCheckBox(QWidget *parent, const QString &name, const QString &caption, const QString &hint)
{
    auto *c = new QCheckBox(caption, parent);
    c->setObjectName(name);
    if (!hint.isEmpty()) {
        SetHint(c, hint);
        if (caption.isEmpty())
            c->setAccessibleName(hint);
    }
    return c;
}

void SetBold(QWidget *w, bool bold)
{
    QFont f = w->font();
    f.setBold(bold);
    w->setFont(f);
}

void ProcessPendingMessages()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace orvalis
