// The rows whose controls work in pairs or open a system picker: slider and spin box, colour
// button, colour list, font list and the watermark image requester.
#include "app/message_catalogue.h"
#include "engine/formats/format_catalogue.h"
#include "gui/preference_binders.h"
#include "gui/preference_colours.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

#include <algorithm>
#include <cmath>

namespace {

constexpr int sliderWidth = 170;
constexpr int spinWidth = 70;
constexpr int colourButtonWidth = 44;
constexpr int colourButtonHeight = 22;
constexpr int hexFieldWidth = 190;
constexpr int hexFieldGap = 6;
constexpr QSize buttonSwatch{34, 12};
constexpr QSize listSwatch{16, 16};
constexpr int listWidth = 214;
constexpr int moreButtonSize = 22;
constexpr int moreButtonGap = 5;

// A spin box that takes any text: the value is the number the text begins with (no digits read
// 0), clamped to the range, and the text is rewritten that way when editing ends.
// In hundredths, the text is a decimal number shown with two decimals and the value is it x 100.
class ValueSpinBox : public QSpinBox {
  public:
    ValueSpinBox(bool hundredths, QWidget* parent) : QSpinBox(parent), hundredths_(hundredths)
    {
        connect(this, &QAbstractSpinBox::editingFinished, this, &ValueSpinBox::rewriteText);
    }

    void rewriteText()
    {
        setValue(valueFromText(lineEdit()->text()));
        lineEdit()->setText(textFromValue(value()));
    }

  protected:
    QValidator::State validate(QString&, int&) const override { return QValidator::Acceptable; }
    void fixup(QString& input) const override { input = textFromValue(valueFromText(input)); }

    int valueFromText(const QString& text) const override
    {
        if (!hundredths_) {
            return typedNumberInRange(text, minimum(), maximum());
        }
        double number = static_cast<double>(parseReal(text)) * 100.0;
        if (std::isnan(number)) {
            number = 0;
        }
        return static_cast<int>(std::lround(std::clamp(number, double(minimum()), double(maximum()))));
    }
    QString textFromValue(int value) const override
    {
        return hundredths_ ? QString::number(value / 100.0, 'f', 2) : QString::number(value);
    }

  private:
    bool hundredths_;
};

// A slider and a spin box that always show the same value within the setting's range.
class SliderSpinBinder : public PreferenceBinder {
  public:
    SliderSpinBinder(const PreferenceRow& row, BinderContext& context)
        : PreferenceBinder(row, context), scale_(row.scale),
          slider_(addControl(new QSlider(Qt::Horizontal, this->row()), sliderWidth)),
          spin_(addControl(new ValueSpinBox(scale_ == SliderScale::Hundredths, this->row()), spinWidth))
    {
        const SettingRange range = setting()->valid;
        const int factor = scale_ == SliderScale::Hundredths ? 100 : 1;
        const int minimum = static_cast<int>(std::lround(range.minimum * factor));
        const int maximum = static_cast<int>(std::lround(range.maximum * factor));
        spin_->setRange(minimum, maximum);
        sliderOffset_ = scale_ == SliderScale::Centred ? -minimum : 0;
        slider_->setRange(minimum + sliderOffset_, maximum + sliderOffset_);
        spin_->setAccessibleName(labelText());
        QObject::connect(slider_, &QSlider::valueChanged, spin_,
                         [this](int position) { spin_->setValue(position - sliderOffset_); });
        // The slider follows quietly: its echo would set the spin box again, which rewrites the
        // text under the user's typing ("-7" became "17" in a field whose minimum is 1).
        QObject::connect(spin_, &QSpinBox::valueChanged, slider_, [this](int value) {
            const QSignalBlocker quiet(slider_);
            slider_->setValue(value + sliderOffset_);
        });
    }

    void fill(const Settings& settings) override
    {
        if (scale_ == SliderScale::Hundredths) {
            const double value = settingToText(settings, *setting()).toDouble() * 100.0;
            spin_->setValue(std::isfinite(value) ? static_cast<int>(std::lround(value)) : spin_->minimum());
        } else {
            spin_->setValue(settingInteger(settings, *setting()));
        }
        slider_->setValue(spin_->value() + sliderOffset_);
    }
    void store(Settings& settings) const override
    {
        if (scale_ == SliderScale::Hundredths) {
            setSettingReal(settings, *setting(), spin_->value() / 100.0);
        } else {
            setSettingNumber(settings, *setting(), spin_->value());
        }
    }
    int shownValue() const override { return spin_->value(); }

  private:
    SliderScale scale_;
    int sliderOffset_ = 0;
    QSlider* slider_;
    ValueSpinBox* spin_;
};

// A swatch button and the read-only hexadecimal text of the colour.
class ColourButtonBinder : public PreferenceBinder {
  public:
    ColourButtonBinder(const PreferenceRow& row, BinderContext& context)
        : PreferenceBinder(row, context), button_(addControl(new QPushButton(this->row()), colourButtonWidth)),
          field_(addControl(new QLineEdit(this->row()), hexFieldWidth, hexFieldGap))
    {
        button_->setFixedHeight(colourButtonHeight);
        button_->setIconSize(buttonSwatch);
        field_->setReadOnly(true);
        field_->setAccessibleName(labelText());
        QObject::connect(button_, &QPushButton::clicked, button_, [this] { pick(); });
    }

    void fill(const Settings& settings) override { show(normalisedHex(settingToText(settings, *setting()))); }
    void store(Settings& settings) const override
    {
        setSettingText(settings, *setting(), normalisedHex(field_->text()));
    }

  private:
    void pick()
    {
        const std::optional<QColor> chosen = context().pickers.pickColour(row(), colourOfHex(field_->text()));
        if (chosen && hexOfColour(*chosen) != field_->text()) {
            show(hexOfColour(*chosen));
        }
    }
    void show(const QString& hex)
    {
        field_->setText(hex);
        button_->setIcon(colourSwatch(hex, buttonSwatch));
    }

    QPushButton* button_;
    QLineEdit* field_;
};

QPushButton* moreButton(QWidget* parent)
{
    auto* button = new QPushButton(QStringLiteral("..."), parent);
    button->setFixedHeight(moreButtonSize);
    return button;
}

// Appends an item to a comma-separated list setting at once: the pickers' additions outlive Cancel.
void appendToListSetting(Settings& settings, const SettingDescriptor& list, const QString& item)
{
    setSettingText(settings, list, settingToText(settings, list) + QLatin1Char(',') + item);
}

// The colours of a list setting by name and swatch; the picker adds a colour the list lacks.
class ColourListBinder : public PreferenceBinder {
  public:
    ColourListBinder(const PreferenceRow& row, BinderContext& context)
        : PreferenceBinder(row, context), list_(settingNamed(QLatin1String(row.companion))),
          combo_(addControl(new QComboBox(this->row()), listWidth)),
          button_(addControl(moreButton(this->row()), moreButtonSize, moreButtonGap))
    {
        combo_->setIconSize(listSwatch);
        button_->setAccessibleName(labelText());
        QObject::connect(button_, &QPushButton::clicked, button_, [this] { pick(); });
    }

    void fill(const Settings& settings) override
    {
        combo_->clear();
        for (const QString& item : settingToText(settings, list_).split(u',')) {
            addColour(normalisedHex(item.trimmed()));
        }
        combo_->setCurrentIndex(0);
        select(normalisedHex(settingToText(settings, *setting())));
    }
    void store(Settings& settings) const override
    {
        setSettingText(settings, *setting(),
                       combo_->currentIndex() < 0 ? normalisedHex(QString()) : combo_->currentData().toString());
    }

  private:
    void addColour(const QString& hex) { combo_->addItem(colourSwatch(hex, listSwatch), colourName(hex), hex); }
    void select(const QString& hex)
    {
        if (const int found = combo_->findData(hex); found >= 0) {
            combo_->setCurrentIndex(found);
        }
    }
    void pick()
    {
        const std::optional<QColor> chosen =
            context().pickers.pickColour(row(), colourOfHex(combo_->currentData().toString()));
        if (!chosen) {
            return;
        }
        const QString hex = hexOfColour(*chosen);
        if (combo_->findData(hex) < 0) {
            addColour(hex);
            appendToListSetting(context().settings, list_, hex);
        }
        select(hex);
    }

    const SettingDescriptor& list_;
    QComboBox* combo_;
    QPushButton* button_;
};

// The font names of Watermark/Fonts; the font picker sets the name, the size and the style and
// adds a name the list lacks.
class FontListBinder : public PreferenceBinder {
  public:
    FontListBinder(const PreferenceRow& row, BinderContext& context)
        : PreferenceBinder(row, context), list_(settingNamed(QLatin1String(row.companion))),
          combo_(addControl(new QComboBox(this->row()), listWidth)),
          button_(addControl(moreButton(this->row()), moreButtonSize, moreButtonGap))
    {
        combo_->setEditable(true);
        combo_->setInsertPolicy(QComboBox::NoInsert);
        button_->setAccessibleName(labelText());
        QObject::connect(button_, &QPushButton::clicked, button_, [this] { pick(); });
    }

    void fill(const Settings& settings) override
    {
        // An empty list starts from the current font, in the live settings.
        if (settingToText(settings, list_).isEmpty()) {
            setSettingText(context().settings, list_, settingToText(settings, *setting()));
        }
        combo_->clear();
        for (const QString& name : settingToText(context().settings, list_).split(u',', Qt::SkipEmptyParts)) {
            combo_->addItem(name.trimmed());
        }
        const QString font = settingToText(settings, *setting());
        combo_->setCurrentIndex(combo_->findText(font, Qt::MatchExactly));
        combo_->setEditText(font);
    }
    void store(Settings& settings) const override
    {
        setSettingText(settings, *setting(), cleanedText(combo_->currentText()));
    }

  private:
    void pick()
    {
        PreferenceBinder* size = context().find(QStringLiteral("Watermark/Font Size"));
        QFont initial(combo_->currentText());
        if (size != nullptr && size->shownValue() > 0) {
            initial.setPointSize(size->shownValue());
        }
        const std::optional<QFont> chosen = context().pickers.pickFont(row(), initial);
        if (!chosen) {
            return;
        }
        QString name = chosen->family();
        name.remove(u',');
        if (combo_->findText(name, Qt::MatchExactly) < 0) {
            combo_->addItem(name);
            appendToListSetting(context().settings, list_, name);
        }
        combo_->setCurrentIndex(combo_->findText(name, Qt::MatchExactly));
        if (size != nullptr) {
            size->showValue(chosen->pointSize());
        }
        if (PreferenceBinder* style = context().find(QStringLiteral("Watermark/Font Style")); style != nullptr) {
            if (const int entry = styleEntry(*chosen); entry >= 0) {
                style->showValue(entry);
            }
        }
    }

    // Regular, Bold, Italic or Bold Italic; -1 for a style with further attributes (a light or
    // black weight, an oblique slant).
    static int styleEntry(const QFont& font)
    {
        const bool plainWeight = font.weight() == QFont::Normal || font.weight() == QFont::Bold;
        const bool plainSlant = font.style() == QFont::StyleNormal || font.style() == QFont::StyleItalic;
        if (!plainWeight || !plainSlant) {
            return -1;
        }
        return (font.weight() == QFont::Bold ? 1 : 0) + (font.style() == QFont::StyleItalic ? 2 : 0);
    }

    const SettingDescriptor& list_;
    QComboBox* combo_;
    QPushButton* button_;
};

// The file filters of the watermark picture: the three picture kinds and every file.
QStringList watermarkImageFilters()
{
    QStringList named;
    QStringList all;
    for (const QString& group : watermarkPictureGroups()) {
        const QString patterns = QStringLiteral("*.") + inputGroupExtensions(group).join(QStringLiteral(" *."));
        named << findInputFormat(group)->description + QStringLiteral(" (") + patterns + QLatin1Char(')');
        all << patterns;
    }
    // "*.*" would miss files without an extension here; the name keeps the familiar text.
    return QStringList{message(QStringLiteral("Dialog/All Supported Files")) + QStringLiteral(" (") + all.join(u' ') +
                       QLatin1Char(')')}
           << named << message(QStringLiteral("Dialog/All Files")) + QStringLiteral(" (*.*) (*)");
}

class ImageFileBinder : public PreferenceBinder {
  public:
    ImageFileBinder(const PreferenceRow& row, BinderContext& context)
        : PreferenceBinder(row, context), field_(addControl(new QLineEdit(this->row()), listWidth)),
          button_(addControl(moreButton(this->row()), moreButtonSize, moreButtonGap))
    {
        button_->setAccessibleName(labelText());
        QObject::connect(button_, &QPushButton::clicked, button_, [this] { pick(); });
    }

    void fill(const Settings& settings) override { field_->setText(settingToText(settings, *setting())); }
    void store(Settings& settings) const override { setSettingText(settings, *setting(), cleanedText(field_->text())); }

  private:
    void pick()
    {
        const QString chosen =
            context().pickers.pickFile(row(), message(QStringLiteral("Dialog/Select Watermark Image")),
                                       field_->text().trimmed(), watermarkImageFilters());
        if (!chosen.isEmpty()) {
            field_->setText(chosen);
        }
    }

    QLineEdit* field_;
    QPushButton* button_;
};

} // namespace

std::unique_ptr<PreferenceBinder> makeSliderSpinBinder(const PreferenceRow& row, BinderContext& context)
{
    return std::make_unique<SliderSpinBinder>(row, context);
}

std::unique_ptr<PreferenceBinder> makeColourButtonBinder(const PreferenceRow& row, BinderContext& context)
{
    return std::make_unique<ColourButtonBinder>(row, context);
}

std::unique_ptr<PreferenceBinder> makeColourListBinder(const PreferenceRow& row, BinderContext& context)
{
    return std::make_unique<ColourListBinder>(row, context);
}

std::unique_ptr<PreferenceBinder> makeFontListBinder(const PreferenceRow& row, BinderContext& context)
{
    return std::make_unique<FontListBinder>(row, context);
}

std::unique_ptr<PreferenceBinder> makeImageFileBinder(const PreferenceRow& row, BinderContext& context)
{
    return std::make_unique<ImageFileBinder>(row, context);
}
