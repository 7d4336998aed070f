#pragma once

#include <QWidget>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvalis {

struct AppContext;
class EmbeddedBrowser;
class MapPublisher;

// Tab 2: distance and bearing between two POIs.
class TwoPoiTab : public QWidget {
    Q_OBJECT
public:
    TwoPoiTab(AppContext &ctx, QWidget *parent = nullptr);
    void setMapPublisher(MapPublisher *publisher) { publisher_ = publisher; }
    void setHints(QChar separator);
    // A left click in the POI grid: the previous click becomes the second POI.
    void takeCoordinates(const QString &latitude, const QString &longitude);
    void BitBtn1Click();
    void BitBtn2Click();

private:
    void showMap();
    AppContext &ctx_;
    MapPublisher *publisher_ = nullptr;
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5, *Edit14;
    QPushButton *BitBtn1, *BitBtn2;
    QCheckBox *CheckBox2;
    EmbeddedBrowser *CppWebBrowser1;
};

// Tab 3: destination from a start, a bearing and a distance.
class DestinationTab : public QWidget {
    Q_OBJECT
public:
    DestinationTab(AppContext &ctx, QWidget *parent = nullptr);
    void setMapPublisher(MapPublisher *publisher) { publisher_ = publisher; }
    void setHints(QChar separator);
    void takeCoordinates(const QString &latitude, const QString &longitude);
    void BitBtn5Click();
    void BitBtn6Click();

private:
    void showMap();
    AppContext &ctx_;
    MapPublisher *publisher_ = nullptr;
    QLineEdit *Edit7, *Edit8, *Edit9, *Edit10, *Edit11, *Edit12;
    QPushButton *BitBtn5, *BitBtn6;
    QCheckBox *CheckBox3;
    EmbeddedBrowser *CppWebBrowser2;
};

// Tab 4: crossing of two routes.
class CrossingTab : public QWidget {
    Q_OBJECT
public:
    CrossingTab(AppContext &ctx, QWidget *parent = nullptr);
    void setMapPublisher(MapPublisher *publisher) { publisher_ = publisher; }
    // Four-deep history of left clicks: the newest becomes Poi 1.
    void takeCoordinates(const QString &latitude, const QString &longitude);
    void BitBtn13Click();
    void BitBtn14Click();

private:
    void showMap();
    AppContext &ctx_;
    MapPublisher *publisher_ = nullptr;
    QLineEdit *Edit15, *Edit16, *Edit17, *Edit18, *Edit19, *Edit20, *Edit21, *Edit22;
    QLineEdit *Edit23, *Edit24, *Edit26, *Edit27, *Edit28, *Edit29, *Edit31, *Edit32;
    QPushButton *BitBtn13, *BitBtn14;
    QCheckBox *CheckBox4;
    QFrame *Shape1, *Shape2;
    EmbeddedBrowser *CppWebBrowser4;
};

}  // namespace orvalis
