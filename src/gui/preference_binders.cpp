#include "gui/preference_binders.h"

#include "app/message_catalogue.h"
#include "engine/formats/format_catalogue.h"
#include "gui/command_bars.h"
#include "gui/message_boxes.h"
#include "gui/output_choosers.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QTimeZone>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

namespace {

constexpr int rowHeight = 30;
constexpr int controlWidth = 240;
constexpr int numberWidth = 160;
constexpr int unitWidth = 70;
constexpr int unitGap = controlWidth - numberWidth - unitWidth;
// Nine digits fit every 32-bit setting; more would wrap around.
constexpr int numberDigits = 9;

// The values a number field may hold: the setting's declared range, or any value of its width.
std::pair<int, int> fieldRange(const SettingDescriptor& setting)
{
    if (setting.valid.declared()) {
        return {static_cast<int>(setting.valid.minimum), static_cast<int>(setting.valid.maximum)};
    }
    return {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()};
}

// A drop-down list of catalogue entries.
QComboBox* listOf(const QStringList& keys, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    for (const QString& key : keys) {
        combo->addItem(preferenceText(key));
    }
    return combo;
}

// A list row: the setting stores the selected index.
class ComboBinder : public PreferenceBinder {
  public:
    ComboBinder(const PreferenceRow& row, BinderContext& context)
        : PreferenceBinder(row, context),
          combo_(addControl(listOf(choiceEntries(setting()->valid.choices), this->row()), controlWidth))
    {
        QObject::connect(combo_, &QComboBox::currentIndexChanged, combo_, [&context] { context.changed(); });
    }

    void fill(const Settings& settings) override { showValue(settingInteger(settings, *setting())); }
    // Readers expect an index within the list: a list without selection stores its first entry.
    void store(Settings& settings) const override { setSettingNumber(settings, *setting(), std::max(0, shownValue())); }
    int shownValue() const override { return combo_->currentIndex(); }
    // A value outside the list (a hand-edited file) shows no selection.
    void showValue(int value) override { combo_->setCurrentIndex(value >= 0 && value < combo_->count() ? value : -1); }

  private:
    QComboBox* combo_;
};

// A list of one entry that is always selected; `stored` is what OK writes (nothing when empty).
class FixedComboBinder : public PreferenceBinder {
  public:
    FixedComboBinder(const PreferenceRow& row, const QString& entry, QString stored, BinderContext& context)
        : PreferenceBinder(row, context), stored_(std::move(stored))
    {
        addControl(new QComboBox(this->row()), controlWidth)->addItem(entry);
    }

    void fill(const Settings&) override {}
    void store(Settings& settings) const override
    {
        if (setting() != nullptr) {
            setSettingText(settings, *setting(), stored_);
        }
    }

  private:
    QString stored_;
};

// Installed themes by display name, in the order of their pack names without regard to case.
class ThemeBinder : public PreferenceBinder {
  public:
    ThemeBinder(const PreferenceRow& row, BinderContext& context)
        : PreferenceBinder(row, context), combo_(addControl(new QComboBox(this->row()), controlWidth))
    {
        for (const auto& [pack, name] : context.themes) {
            if (!name.isEmpty()) {
                combo_->addItem(name, pack);
            }
        }
        if (combo_->count() == 0) {
            combo_->addItem(preferenceText(QStringLiteral("None")), QString());
        }
    }

    void fill(const Settings& settings) override
    {
        combo_->setCurrentIndex(std::max(0, combo_->findData(settingToText(settings, *setting()))));
    }
    void store(Settings& settings) const override { setSettingText(settings, *setting(), selectedPack()); }
    QString selectedPack() const { return combo_->currentData().toString(); }

  private:
    QComboBox* combo_;
};

class CheckBinder : public PreferenceBinder {
  public:
    CheckBinder(const PreferenceRow& row, BinderContext& context)
        : PreferenceBinder(row, context), check_(addControl(new QCheckBox(this->row()), controlWidth))
    {
        QObject::connect(check_, &QCheckBox::toggled, check_, [&context] { context.changed(); });
    }

    void fill(const Settings& settings) override { check_->setChecked(settingInteger(settings, *setting()) != 0); }
    void store(Settings& settings) const override { setSettingNumber(settings, *setting(), shownValue()); }
    int shownValue() const override { return check_->isChecked() ? 1 : 0; }

  private:
    QCheckBox* check_;
};

// A digits-only field and its unit list: one fixed unit, or a unit list of its own setting.
class NumberBinder : public PreferenceBinder {
  public:
    NumberBinder(const PreferenceRow& row, BinderContext& context)
        : PreferenceBinder(row, context), field_(addControl(new QLineEdit(this->row()), numberWidth)),
          unitSetting_(row.companion != nullptr ? &settingNamed(QLatin1String(row.companion)) : nullptr),
          unit_(addControl(listOf(unitSetting_ != nullptr ? choiceEntries(unitSetting_->valid.choices)
                                                          : QStringList{QLatin1String(row.entry)},
                                  this->row()),
                           unitWidth, unitGap))
    {
        // Typing stops at as many digits as every setting holds; a longer stored number still shows whole.
        field_->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(numberDigits)), field_));
        unit_->setAccessibleName(labelText());
    }

    void fill(const Settings& settings) override
    {
        showValue(settingInteger(settings, *setting()));
        if (unitSetting_ != nullptr) {
            const int unit = settingInteger(settings, *unitSetting_);
            unit_->setCurrentIndex(unit < unit_->count() ? unit : -1);
        }
    }
    void store(Settings& settings) const override
    {
        setSettingNumber(settings, *setting(), shownValue());
        if (unitSetting_ != nullptr) {
            setSettingNumber(settings, *unitSetting_, std::max(0, unit_->currentIndex()));
        }
    }
    // The leading digits; none read 0.
    int shownValue() const override
    {
        const auto [minimum, maximum] = fieldRange(*setting());
        return typedNumberInRange(field_->text(), minimum, maximum);
    }
    void showValue(int value) override { field_->setText(QString::number(value)); }

  private:
    QLineEdit* field_;
    const SettingDescriptor* unitSetting_;
    QComboBox* unit_;
};

class TextBinder : public PreferenceBinder {
  public:
    TextBinder(const PreferenceRow& row, BinderContext& context)
        : PreferenceBinder(row, context), field_(addControl(new QLineEdit(this->row()), controlWidth))
    {
    }

    void fill(const Settings& settings) override { field_->setText(settingToText(settings, *setting())); }
    void store(Settings& settings) const override { setSettingText(settings, *setting(), cleanedText(field_->text())); }

  private:
    QLineEdit* field_;
};

// Dates are local wall-clock seconds since 1970 stored as if they were UTC, so the field shows
// them in UTC and no time zone shifts them.
class DateTimeBinder : public PreferenceBinder {
  public:
    DateTimeBinder(const PreferenceRow& row, BinderContext& context)
        : PreferenceBinder(row, context), field_(addControl(new QDateTimeEdit(this->row()), controlWidth))
    {
        field_->setTimeSpec(Qt::UTC);
        field_->setDisplayFormat(QStringLiteral("yyyy/MM/dd hh:mm"));
        field_->setDateTimeRange(secondsToDateTime(std::numeric_limits<std::int32_t>::min()),
                                 secondsToDateTime(std::numeric_limits<std::int32_t>::max()));
    }

    void fill(const Settings& settings) override
    {
        field_->setDateTime(secondsToDateTime(settingInteger(settings, *setting())));
    }
    void store(Settings& settings) const override
    {
        setSettingNumber(settings, *setting(), static_cast<std::int32_t>(field_->dateTime().toSecsSinceEpoch()));
    }

  private:
    static QDateTime secondsToDateTime(std::int32_t seconds)
    {
        return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
    }

    QDateTimeEdit* field_;
};

// "Auto" and the format's permitted depths; the setting stores the depth itself, 0 for Auto.
class BitDepthBinder : public PreferenceBinder {
  public:
    BitDepthBinder(const OutputFormat& format, BinderContext& context)
        : PreferenceBinder(QStringLiteral("Bits Per Pixel"), format.bitDepthSetting, context),
          combo_(addControl(new QComboBox(this->row()), controlWidth))
    {
        combo_->addItem(preferenceText(QStringLiteral("Auto")), 0);
        for (const int depth : readBitDepths(format.bitDepths)) {
            combo_->addItem(QString::number(depth), depth);
        }
    }

    void fill(const Settings& settings) override
    {
        // A depth the format does not permit shows no selection.
        combo_->setCurrentIndex(combo_->findData(settingInteger(settings, *setting())));
    }
    void store(Settings& settings) const override
    {
        setSettingNumber(settings, *setting(), combo_->currentIndex() < 0 ? 0 : combo_->currentData().toInt());
    }

  private:
    QComboBox* combo_;
};

// The format list heading the Input or Output page: upper-case keys with the "New" icon.
class FormatListBinder : public PreferenceBinder {
  public:
    FormatListBinder(FormatSubPages which, BinderContext& context)
        : PreferenceBinder(QLatin1String(which == FormatSubPages::Input ? "Input Format" : "Output Format"),
                           &settingNamed(which == FormatSubPages::Input ? QStringLiteral("Input/Format")
                                                                        : QStringLiteral("Output/Format")),
                           context),
          which_(which), combo_(addControl(new QComboBox(this->row()), controlWidth))
    {
        QObject::connect(combo_, &QComboBox::currentIndexChanged, combo_, [&context] { context.changed(); });
    }

    void fill(const Settings& settings) override
    {
        const QString current = settingToText(settings, *setting());
        const QIcon icon = smallIcon(context().images, QStringLiteral("New"));
        if (which_ == FormatSubPages::Output) {
            fillOutputFormats(*combo_, false, current, icon);
            return;
        }
        combo_->clear();
        const QStringList& keys = inputFormatList();
        for (int i = 0; i < keys.size(); ++i) {
            combo_->addItem(icon, keys.at(i).toUpper(), i);
        }
        combo_->setCurrentIndex(std::max(0, static_cast<int>(keys.indexOf(current))));
    }
    void store(Settings& settings) const override
    {
        const QStringList& keys = which_ == FormatSubPages::Input ? inputFormatList() : outputFormatList();
        const int position = shownValue();
        if (position >= 0 && position < keys.size()) {
            setSettingText(settings, *setting(), keys.at(position));
        }
    }
    int shownValue() const override { return combo_->currentIndex() < 0 ? -1 : combo_->currentData().toInt(); }

  private:
    FormatSubPages which_;
    QComboBox* combo_;
};

QString pickFileWithSystemDialog(QWidget* parent, const QString& title, const QString& start,
                                 const QStringList& filters)
{
    // The pattern lists stay out of the filter names, which read as the names alone.
    return QFileDialog::getOpenFileName(parent, title, start, filters.join(QStringLiteral(";;")), nullptr,
                                        QFileDialog::HideNameFilterDetails);
}

} // namespace

PreferencePickers systemPickers()
{
    PreferencePickers pickers;
    pickers.pickColour = [](QWidget* parent, const QColor& initial) -> std::optional<QColor> {
        const QColor chosen = QColorDialog::getColor(initial, parent);
        return chosen.isValid() ? std::optional<QColor>(chosen) : std::nullopt;
    };
    pickers.pickFont = [](QWidget* parent, const QFont& initial) -> std::optional<QFont> {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, initial, parent);
        return ok ? std::optional<QFont>(chosen) : std::nullopt;
    };
    pickers.pickFile = pickFileWithSystemDialog;
    pickers.askYesNo = askQuestion;
    return pickers;
}

PreferenceBinder::PreferenceBinder(const QString& labelKey, const SettingDescriptor* setting, BinderContext& context)
    : context_(context), setting_(setting), row_(new QWidget), label_(new QLabel(preferenceText(labelKey), row_)),
      layout_(new QHBoxLayout(row_))
{
    row_->setFixedHeight(rowHeight);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    label_->setFixedWidth(context.labelWidth);
    layout_->addWidget(label_);
    layout_->addStretch(1);
}

PreferenceBinder::PreferenceBinder(const PreferenceRow& row, BinderContext& context)
    : PreferenceBinder(QLatin1String(row.label),
                       row.setting != nullptr ? &settingNamed(QLatin1String(row.setting)) : nullptr, context)
{
}

QString PreferenceBinder::settingName() const
{
    return setting_ == nullptr ? QString()
                               : QLatin1String(setting_->group) + QLatin1Char('/') + QLatin1String(setting_->key);
}

QString PreferenceBinder::labelText() const
{
    // Labels end in ":"; a screen reader names the control without it.
    const QString text = label_->text();
    return text.endsWith(QLatin1Char(':')) ? text.chopped(1) : text;
}

void PreferenceBinder::placeControl(QWidget* widget, int width, int gap)
{
    const int stretch = layout_->count() - 1;
    if (gap > 0) {
        layout_->insertSpacing(stretch, gap);
    }
    widget->setFixedWidth(width);
    layout_->insertWidget(layout_->count() - 1, widget);
    if (label_->buddy() == nullptr) {
        label_->setBuddy(widget);
        widget->setAccessibleName(labelText());
    }
}

std::unique_ptr<PreferenceBinder> makeBinder(const PreferenceRow& row, BinderContext& context)
{
    switch (row.kind) {
    case ControlKind::Combo:
        return std::make_unique<ComboBinder>(row, context);
    case ControlKind::FixedCombo:
        return std::make_unique<FixedComboBinder>(row, preferenceText(QLatin1String(row.entry)), QString(), context);
    case ControlKind::Language:
        return std::make_unique<FixedComboBinder>(row, QStringLiteral("English"), QStringLiteral("en"), context);
    case ControlKind::Theme:
        return std::make_unique<ThemeBinder>(row, context);
    case ControlKind::Check:
        return std::make_unique<CheckBinder>(row, context);
    case ControlKind::Number:
        return std::make_unique<NumberBinder>(row, context);
    case ControlKind::Text:
        return std::make_unique<TextBinder>(row, context);
    case ControlKind::DateTime:
        return std::make_unique<DateTimeBinder>(row, context);
    case ControlKind::SliderSpin:
        return makeSliderSpinBinder(row, context);
    case ControlKind::ColourButton:
        return makeColourButtonBinder(row, context);
    case ControlKind::ColourList:
        return makeColourListBinder(row, context);
    case ControlKind::FontList:
        return makeFontListBinder(row, context);
    case ControlKind::ImageFile:
        return makeImageFileBinder(row, context);
    }
    return nullptr;
}

std::unique_ptr<PreferenceBinder> makeBitDepthBinder(const OutputFormat& format, BinderContext& context)
{
    return std::make_unique<BitDepthBinder>(format, context);
}

std::unique_ptr<PreferenceBinder> makeFormatListBinder(FormatSubPages which, BinderContext& context)
{
    return std::make_unique<FormatListBinder>(which, context);
}

int typedNumberInRange(const QString& text, int minimum, int maximum)
{
    return static_cast<int>(std::clamp<std::int64_t>(parseIntegerUnwrapped(text), minimum, maximum));
}

const SettingDescriptor& settingNamed(const QString& name)
{
    const qsizetype slash = name.indexOf(u'/');
    const SettingDescriptor* setting = findSetting(name.left(slash), name.mid(slash + 1));
    Q_ASSERT_X(setting != nullptr, "settingNamed", qPrintable(name));
    return *setting;
}

QString cleanedText(const QString& text)
{
    QString cleaned = text;
    cleaned.remove(u'\t');
    cleaned.remove(u'\r');
    cleaned.remove(u'\n');
    qsizetype begin = 0;
    qsizetype end = cleaned.size();
    while (begin < end && cleaned.at(begin) == u' ') {
        ++begin;
    }
    while (end > begin && cleaned.at(end - 1) == u' ') {
        --end;
    }
    return cleaned.mid(begin, end - begin);
}

QString preferenceText(const QString& key)
{
    return message(QStringLiteral("Preferences"), key);
}
