#include "gui/main_window_layout.h"

namespace {

constexpr int margin = 10;
constexpr int labelWidth = 380;
constexpr int labelHeight = 20;
constexpr int comboHeight = 21;
constexpr int smallButtonSize = 24;
constexpr int convertButtonSize = 100;
// The right-hand column: the Convert button with its margins.
constexpr int rightColumn = convertButtonSize + 3 * margin;

} // namespace

MainPanelGeometry mainPanelGeometry(QSize panel)
{
    const int w = panel.width();
    const int f = panel.height();
    const int chooserWidth = w - rightColumn;
    const int smallButtonX = w - 114;

    MainPanelGeometry geometry;
    geometry.fileList = QRect(margin, margin, chooserWidth, f - 109);
    // Leaves room for the vertical scroll bar, so that the column never needs a horizontal one.
    geometry.fileColumnWidth = w - 160;
    geometry.outputFolderLabel = QRect(margin, f - 94, labelWidth, labelHeight);
    geometry.outputFolderCombo = QRect(margin, f - 79, chooserWidth, comboHeight);
    geometry.folderButton = QRect(smallButtonX, f - 80, smallButtonSize, smallButtonSize);
    geometry.outputFormatLabel = QRect(margin, f - 54, labelWidth, labelHeight);
    geometry.outputFormatCombo = QRect(margin, f - 39, chooserWidth, comboHeight);
    geometry.optionsButton = QRect(smallButtonX, f - 40, smallButtonSize, smallButtonSize);
    geometry.convertButton = QRect(w - 110, margin, convertButtonSize, convertButtonSize);
    return geometry;
}
