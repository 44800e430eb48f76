#include "gui/add_chooser.h"

#include "gui/theme_icons.h"

#include <QLabel>
#include <QPushButton>

namespace {

constexpr QSize chooserSize{270, 160};
constexpr int buttonSize = 80;
constexpr int largeImagePixels = 48;

} // namespace

AddChooser::AddChooser(const ImageSets& images, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(commandLabel(Command::AddChooser));
    // A title bar with a close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(chooserSize);
    setModal(true);
    addChoice(Command::SelectInputFiles, QStringLiteral("InFiles"), 30, images);
    addChoice(Command::SelectInputFolder, QStringLiteral("InFolder"), 160, images);
}

void AddChooser::addChoice(Command command, const QString& imageName, int x, const ImageSets& images)
{
    const QString label = commandLabel(command);
    auto* button = new QPushButton(this);
    button->setGeometry(x, 30, buttonSize, buttonSize);
    button->setIcon(themeIcon(images, ImageSet::Large, imageName, largeImagePixels));
    button->setIconSize(QSize(largeImagePixels, largeImagePixels));
    button->setAccessibleName(label);
    button->setToolTip(label);
    connect(button, &QPushButton::clicked, this, [this, command] {
        chosen_ = command;
        accept();
    });

    auto* caption = new QLabel(label, this);
    caption->setGeometry(x - 20, 120, 120, 30);
    caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    caption->setWordWrap(true);
    caption->setBuddy(button);
}
