#pragma once

// The window with a file of five POIs beside it, and what the first tab's tests do with it.
#include "support/app_fixture.h"
#include "support/grid_clicks.h"
#include "support/poi_files.h"

#include "table/edit_commands.h"
#include "table/poi_table_model.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

namespace orvalis::testing {

struct LoadedApp : AppFixture {
    LoadedApp() : AppFixture(u',')
    {
        show();
        path = temp.filePath("pois.ov2");
        WriteOv2File(path, SamplePois());
    }
    void click(const char *button) { find<QPushButton>(button)->click(); }
    PoiGrid *grid() const { return tab()->grid(); }
    // A cell as the grid shows it.
    QString cell(int row, int f) const { return grid()->model()->index(row - 1, f).data().toString(); }
    // The rows the view knows of: it learns of removals and additions only when told.
    int viewRows() const { return grid()->verticalHeader()->count(); }
    std::pair<int, int> selected() const { return grid()->selectedRange(); }
    void rightClickAndTrigger(int row, const char *action)
    {
        ClickCell(grid(), row, 3, Qt::RightButton);
        closeMenu();
        find<QAction>(action)->trigger();
    }
    // The row menu closed: the window is the active one again (the offscreen
    // platform leaves the closed menu active, so keys would reach nothing).
    void closeMenu()
    {
        find<QMenu>("PopupMenu1")->hide();
        QApplication::processEvents();
        QApplication::setActiveWindow(form1.get());
    }
    QString label(const char *name) const { return find<QLabel>(name)->text(); }
    // The "*" mark as the user sees it.
    bool marked() const { return !find("Label26")->isHidden(); }
    // The descriptions from the top.
    QStringList descriptions() const
    {
        QStringList out;
        for (int r = 1; r <= grid()->model()->rowCount(); ++r)
            out << cell(r, FieldDescription);
        return out;
    }
    // Rows are sorted after a load, so tests find POIs by name.
    int rowOf(const QString &description) const
    {
        for (int r = 1; r <= tab()->table().lastRow(); ++r)
            if (cell(r, FieldDescription) == description)
                return r;
        return 0;
    }
    QString path;
};

// Enters edit mode through the grid's pop-up menu on a row's description.
inline void EnterEditMode(LoadedApp &app, int row)
{
    ClickCell(app.grid(), row, 3, Qt::RightButton);
    app.closeMenu();
    app.tab()->edits().ModifierletextedecePoi1Click();
}

// Opens the editor of a description in edit mode and types without Enter.
inline QLineEdit *TypeWithoutEnter(LoadedApp &app, int row, const QString &text)
{
    app.rightClickAndTrigger(row, "ModifierletextedecePoi1");
    const QModelIndex description = app.grid()->model()->index(row - 1, FieldDescription);
    app.grid()->setCurrentIndex(description);
    app.grid()->edit(description);
    auto *editor = qobject_cast<QLineEdit *>(app.grid()->indexWidget(description));
    if (editor) {
        editor->setFocus();
        editor->setText(text);
    }
    return editor;
}


}  // namespace orvalis::testing
