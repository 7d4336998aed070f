#include "geo/converter_window.h"

#include "app/widgets_util.h"
#include "geo/converter.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace orvalis {

TForm3::TForm3(QWidget *parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Form3"));
    resize(352, 181);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setFixedWidth(50);
    Edit1 = MakeEdit(this, QStringLiteral("Edit1"));
    Edit2 = MakeEdit(this, QStringLiteral("Edit2"));
    Label1 = MakeLabel(this, QStringLiteral("Label1"), QStringLiteral("Degrés"), Edit1);
    Label2 = MakeLabel(this, QStringLiteral("Label2"), QStringLiteral("Minutes décimales"), Edit2);
    // A combo box is named by its label (its own name is its letter); the
    // letter is typed in its line, which is named too.
    Label3 = MakeLabel(this, QStringLiteral("Label3"), QStringLiteral("Hémisphère"), ComboBox1);
    ComboBox1->lineEdit()->setAccessibleName(ComboBox1->accessibleName());
    BitBtn1 = MakeButton(this, QStringLiteral("BitBtn1"), QStringLiteral("OK"));
    BitBtn1->setIcon(ThemeIcon(QStringLiteral("dialog-ok"), QStringLiteral("ok")));

    auto *grid = new QGridLayout(this);
    grid->addWidget(Label3, 0, 0);
    grid->addWidget(Label1, 0, 1);
    grid->addWidget(Label2, 0, 2);
    grid->addWidget(ComboBox1, 1, 0);
    grid->addWidget(Edit1, 1, 1);
    grid->addWidget(Edit2, 1, 2);
    grid->addWidget(BitBtn1, 2, 2, Qt::AlignRight);
    grid->setColumnStretch(2, 1);

    connect(BitBtn1, &QPushButton::clicked, this, &TForm3::BitBtn1Click);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm3::open(int column, const QString &latitudeText, const QString &longitudeText, QChar separator)
{
    separator_ = separator;
    Edit1->clear();
    Edit2->clear();
    ComboBox1->clear();
    const ConverterOpening o = OpenConverterTexts(column, column == 1 ? latitudeText : longitudeText, separator);
    setWindowTitle(o.caption);
    ComboBox1->addItems(o.items);
    ComboBox1->setCurrentIndex(o.selected);
    Edit1->setText(o.degrees);
    Edit2->setText(o.minutes);
    show();
    raise();
}

void TForm3::BitBtn1Click()
{
    const bool latitude = windowTitle() == QStringLiteral("Latitude");
    const int column = latitude ? 1 : 2;
    // A letter typed into the box counts as the first item.
    const bool second = ComboBox1->count() > 1 && ComboBox1->currentIndex() == 1 &&
                        ComboBox1->currentText() == ComboBox1->itemText(1);
    const QString text = ConverterResultText(Edit1->text(), Edit2->text(), second, separator_);
    hide();
    emit resultReady(column, text);
}

}  // namespace orvalis
