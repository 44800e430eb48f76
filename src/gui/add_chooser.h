#pragma once

#include "gui/commands.h"

#include <QDialog>

#include <optional>

class ImageSets;

// The small "Add" chooser: one large button that adds files, one that adds a folder. Modal over
// the main window; Escape or the close box ends it without a choice.
class AddChooser : public QDialog {
    Q_OBJECT

  public:
    AddChooser(const ImageSets& images, QWidget* parent);

    // The command of the button the user pressed; nothing when the chooser was closed.
    std::optional<Command> chosenCommand() const { return chosen_; }

  private:
    void addChoice(Command command, const QString& imageName, int x, const ImageSets& images);

    std::optional<Command> chosen_;
};
