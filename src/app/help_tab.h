#pragma once

#include <QWidget>

class QLabel;
class QTextEdit;

namespace orvalis {

extern const QString kForumAddress;

// Writes the user guide into the help box with its colours, sizes and titles.
void FillHelpText(QTextEdit *box);

// Tab 5: the user guide and the help forum link.
class HelpTab : public QWidget {
    Q_OBJECT
public:
    explicit HelpTab(QWidget *parent = nullptr);
    void fill();

signals:
    void forumClicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTextEdit *RichEdit1;
    QLabel *Label18;
    QLabel *Label19;
};

}  // namespace orvalis
