#include "app/widgets_util.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QPixmap>
#include <QProgressDialog>
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

QIcon WithGreyedDisabled(const QIcon &icon, QSize size)
{
    // Icons drawn from SVG keep their colours when their button is disabled:
    // give them a grey, faded look of their own.
    QIcon out = icon;
    for (const int scale : {1, 2}) {
        QImage image = icon.pixmap(size * scale, QIcon::Normal).toImage().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int grey = 128 + qGray(line[x]) / 2;
                line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) * 2 / 5);
            }
        }
        out.addPixmap(QPixmap::fromImage(image), QIcon::Disabled);
    }
    return out;
}

QPushButton *MakeGlyphButton(QWidget *parent, const QString &name, const QString &themeIcon,
                             const QString &bundledIcon, const QString &hint)
{
    QPushButton *b = MakeButton(parent, name, QString(), hint);
    b->setIcon(WithGreyedDisabled(ThemeIcon(themeIcon, bundledIcon), QSize(22, 22)));
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

BusyIndicator::BusyIndicator(QWidget *parent, bool longWork)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (longWork) {
        auto *progress = new QProgressDialog(QStringLiteral("Traitement en cours…"), QString(), 0, 0, parent);
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(0);
        progress->setCancelButton(nullptr);
        progress->show();
        progress_ = progress;
    }
    ProcessPendingMessages();
}

BusyIndicator::~BusyIndicator()
{
    delete progress_;
    QApplication::restoreOverrideCursor();
}

void ProcessPendingMessages()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace orvalis
