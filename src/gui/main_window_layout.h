#pragma once

#include <QRect>
#include <QSize>

// Where the controls of the main window's panel sit. The panel fills the area between the toolbar
// and the status bar; `panel` is that area's size (W wide, F high). The file list and the two
// choosers grow with the width, the list with the height; the Convert button and the two small
// buttons keep to the right edge, the choosers and their labels to the bottom edge.
struct MainPanelGeometry {
    QRect fileList;
    int fileColumnWidth = 0;
    QRect outputFolderLabel;
    QRect outputFolderCombo;
    QRect folderButton;
    QRect outputFormatLabel;
    QRect outputFormatCombo;
    QRect optionsButton;
    QRect convertButton;
};

MainPanelGeometry mainPanelGeometry(QSize panel);

// The smallest size of the main window, menu bar included.
inline constexpr QSize mainWindowMinimumSize{510, 330};
