#pragma once

#include <QWidget>

namespace orvalis {

class EmbeddedBrowser;

// The map window: a second top-level window holding one embedded browser.
class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);
    EmbeddedBrowser *browser() const { return CppWebBrowser1; }
    // Sizes the window and its browser for a map command.
    void prepareSize();

private:
    EmbeddedBrowser *CppWebBrowser1;
};

}  // namespace orvalis
