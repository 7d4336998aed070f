#pragma once

#include <QString>

namespace orvalis {

class PoiTableTab;

// Edit mode, the converter's results and "Supprimer ce Poi".
class EditCommands {
public:
    explicit EditCommands(PoiTableTab &tab);

    void ModifierletextedecePoi1Click();
    void SupprimercePoi1Click();
    void SG1SelectCell(int col, int row);
    void LeaveEditMode();
    // A right click in edit mode on a coordinate cell asks for the converter.
    void OpenConverter(int col, int row);
    // Writes a converter result into the row last clicked.
    void writeConverterResult(int column, const QString &text);

private:
    PoiTableTab &tab_;
};

}  // namespace orvalis
