#pragma once

#include "gui/file_list_model.h"
#include "gui/main_window.h"

#include <QComboBox>
#include <QItemSelectionModel>
#include <QTreeView>

// What a user does in the main window, for the window tests and the window benchmarks.
namespace windowdriving {

// Selects one row of the file list, as a click on it does.
inline void selectRow(MainWindow& window, int row)
{
    window.fileList().selectionModel()->select(window.fileRows().index(row),
                                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// Chooses an output format by its key, as a user's choice in the list: the entry and the setting
// behind it. False when the list has no such format.
inline bool chooseFormat(MainWindow& window, const QString& key)
{
    QComboBox& formats = window.outputFormatChooser();
    for (int i = 0; i < formats.count(); ++i) {
        if (formats.itemText(i).startsWith(key.toUpper() + QLatin1Char(' '))) {
            formats.setCurrentIndex(i);
            emit formats.activated(i);
            return true;
        }
    }
    return false;
}

} // namespace windowdriving
