#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// The named pictures of the desktop interface. Every picture is addressed by its set and its name;
// the names of a set are fixed and listed in slot order. Pictures are QImages, so nothing here needs
// a display.

enum class ImageSet { Large, Icons, Toolbar };

inline constexpr std::array<ImageSet, 3> allImageSets{ImageSet::Large, ImageSet::Icons, ImageSet::Toolbar};

// Large = Convert, InFiles, InFolder; Icons and Toolbar = the 22 icon names.
const QStringList& imageNames(ImageSet set);

// The size of the built-in large pictures: 64 px for "Convert", 48 px for the others. Icons and
// the toolbar start with 16 px pictures.
int builtInLargePixels(const QString& name);
inline constexpr int builtInIconPixels = 16;

class ImageSets {
  public:
    ImageSets();

    // A null image for a name the set does not have.
    QImage image(ImageSet set, const QString& name) const;
    // Replaces the picture of a name; a name the set does not have is ignored.
    void setImage(ImageSet set, const QString& name, const QImage& picture);

    QImage aboutBanner() const { return aboutBanner_; }
    void setAboutBanner(const QImage& banner) { aboutBanner_ = banner; }

  private:
    std::array<std::vector<QImage>, allImageSets.size()> slots_;
    QImage aboutBanner_;
};

// Loads the pictures compiled into the program into all three sets and the About banner.
void loadBuiltInImages(ImageSets& images);

// The size in pixels of the toolbar pictures for an `Interface/UI Size` value: 0..4 give
// 16, 24, 32, 48, 64; anything else 16.
int iconPixels(int uiSize);
