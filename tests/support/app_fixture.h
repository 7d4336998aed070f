#pragma once

#include "app/app_context.h"
#include "app/tform1.h"
#include "geo/converter_window.h"
#include "maps/map_window.h"
#include "support/scripted_dialogs.h"
#include "table/poi_table_tab.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>

namespace orvalis::testing {

// The three windows as the program creates them, with scripted dialogs, a
// fake desktop and a private temporary folder.
struct AppFixture {
    explicit AppFixture(QChar separator = u',', QStringList args = {}, const QString &tempDir = {})
    {
        env.tempDir = tempDir.isEmpty() ? temp.path() : tempDir;
        env.separator = separator;
        env.locale = QLocale(QLocale::French, QLocale::France);
        env.arguments = std::move(args);
        env.availableMemory = [this] { return availableMemory; };
        form1 = std::make_unique<TForm1>(env, dialogs, system);
        form2 = std::make_unique<TForm2>();
        form3 = std::make_unique<TForm3>();
        form1->setCompanions(form2.get(), form3.get());
    }
    void show()
    {
        form1->show();
        QApplication::processEvents();
    }

    // Loads a POI file through the load button, the open dialog answering `path`.
    void load(const QString &path)
    {
        dialogs.fileNames = {path};
        find<QPushButton>("BitBtn3")->click();
    }

    template <typename T = QWidget>
    T *find(const QString &name) const
    {
        return form1->findChild<T *>(name);
    }
    QString text(const QString &name) const { return find<QLineEdit>(name)->text(); }
    PoiTableTab *tab() const { return form1->poiTab(); }

    QTemporaryDir temp;
    qint64 availableMemory = -1;  // what the system is said to have left; -1: unknown
    AppEnvironment env;
    ScriptedDialogs dialogs;
    FakeSystemServices system;
    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm2> form2;
    std::unique_ptr<TForm3> form3;
};

}  // namespace orvalis::testing
