#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvalis {

// The degrees and decimal minutes converter: a small stay-on-top window that
// edits one coordinate cell of the POI table.
class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);

    // Fills the window from the latitude and longitude texts of the clicked row
    // and shows it without blocking the main window.
    void open(int column, const QString &latitudeText, const QString &longitudeText, QChar separator);
    void BitBtn1Click();

signals:
    // "OK": write `text` into `column` of the row last clicked in the grid.
    void resultReady(int column, const QString &text);

private:
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QComboBox *ComboBox1;
    QLineEdit *Edit1;
    QLineEdit *Edit2;
    QPushButton *BitBtn1;
    QChar separator_ = u'.';
};

}  // namespace orvalis
