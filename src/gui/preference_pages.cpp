#include "gui/preference_pages.h"

#include "engine/formats/format_catalogue.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int pageMargin = 10;
constexpr int scrollStep = 10;
constexpr int minimumLabelWidth = 160;
constexpr int labelPadding = 8;

QVBoxLayout* rowColumn(QWidget* widget, int top)
{
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(pageMargin, top, pageMargin, 0);
    layout->setSpacing(0);
    return layout;
}

// In a scrolling area the wheel scrolls: a list, spin box or slider under the mouse takes it only
// once the user has clicked into it, so that scrolling past never changes a value.
class WheelGuard : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Wheel && !static_cast<QWidget*>(watched)->hasFocus()) {
            // Ignored, the event goes on to the scrolling area.
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

void guardWheel(QWidget& rows)
{
    auto* guard = new WheelGuard(&rows);
    const auto protect = [guard](const auto& widgets) {
        for (QWidget* widget : widgets) {
            widget->setFocusPolicy(Qt::StrongFocus);
            widget->installEventFilter(guard);
        }
    };
    protect(rows.findChildren<QComboBox*>());
    protect(rows.findChildren<QAbstractSpinBox*>());
    protect(rows.findChildren<QSlider*>());
}

// Every label key of the tables, for measuring.
QStringList allLabelKeys()
{
    QStringList keys{QStringLiteral("Bits Per Pixel"), QStringLiteral("Input Format"), QStringLiteral("Output Format")};
    const auto addRows = [&keys](std::span<const PreferenceRow> rows) {
        for (const PreferenceRow& row : rows) {
            keys << QLatin1String(row.label);
        }
    };
    for (const PreferencePage& page : preferencePages()) {
        addRows(page.rows);
        for (const PreferenceArea& area : page.areas) {
            addRows(area.rows);
        }
    }
    for (const InputSubPage& sub : inputSubPages()) {
        addRows(sub.rows);
    }
    for (const OutputFormat& format : outputFormatTable()) {
        for (const FormatSetting& encoder : format.encoderSettings) {
            if (const PreferenceRow* row = encoderRow(*encoder.setting)) {
                keys << QLatin1String(row->label);
            }
        }
    }
    return keys;
}

} // namespace

PreferencePages::PreferencePages(BinderContext& context) : context_(context)
{
    for (const PreferencePage& page : preferencePages()) {
        pages_.push_back(buildPage(page));
    }
}

PreferencePages::~PreferencePages() = default;

int PreferencePages::labelWidthFor(const QFontMetrics& metrics)
{
    int widest = 0;
    for (const QString& key : allLabelKeys()) {
        widest = std::max(widest, metrics.horizontalAdvance(preferenceText(key)));
    }
    return std::max(minimumLabelWidth, widest + labelPadding);
}

PreferenceBinder* PreferencePages::find(const QString& settingName) const
{
    for (const auto& binder : binders_) {
        if (binder->setting() != nullptr && binder->settingName() == settingName) {
            return binder.get();
        }
    }
    return nullptr;
}

void PreferencePages::fill(const Settings& settings)
{
    for (const auto& binder : binders_) {
        binder->fill(settings);
    }
}

void PreferencePages::store(Settings& settings) const
{
    for (const auto& binder : binders_) {
        binder->store(settings);
    }
}

void PreferencePages::applyRules()
{
    for (const Rule& rule : rules_) {
        if (rule.showing) {
            rule.widget->setVisible(holds(rule.rule));
        } else {
            rule.widget->setEnabled(holds(rule.rule));
        }
    }
    for (const FormatStack& format : stacks_) {
        const int position = format.list->shownValue();
        if (format.which == FormatSubPages::Output) {
            format.stack->setCurrentIndex(position);
            continue;
        }
        // Input sub-pages exist for formats the input list may not offer; only a listed one shows.
        const QStringList& keys = inputFormatList();
        const QString key = position >= 0 && position < keys.size() ? keys.at(position) : QString();
        const auto sub = std::find_if(inputSubPages().begin(), inputSubPages().end(),
                                      [&key](const InputSubPage& page) { return key == QLatin1String(page.format); });
        format.stack->setVisible(sub != inputSubPages().end());
        if (sub != inputSubPages().end()) {
            format.stack->setCurrentIndex(static_cast<int>(sub - inputSubPages().begin()));
        }
    }
}

bool PreferencePages::holds(const RowRule& rule) const
{
    if (rule.always()) {
        return true;
    }
    const PreferenceBinder* controller = find(QLatin1String(rule.controller));
    const int value = controller != nullptr ? controller->shownValue() : -1;
    return value >= 0 && value < 32 && (rule.values & (1U << value)) != 0;
}

QWidget* PreferencePages::buildPage(const PreferencePage& page)
{
    auto* widget = new QWidget;
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (!page.rows.empty() || page.subPages != FormatSubPages::None) {
        auto* head = new QWidget(widget);
        QVBoxLayout* headLayout = rowColumn(head, pageMargin);
        if (page.subPages != FormatSubPages::None) {
            addBinder(makeFormatListBinder(page.subPages, context_), nullptr, *headLayout);
            headLayout->addWidget(buildFormatStack(page.subPages, head));
        }
        for (const PreferenceRow& row : page.rows) {
            addBinder(makeBinder(row, context_), &row, *headLayout);
        }
        layout->addWidget(head);
    }
    // Areas share one place below the head rows: only the one whose rule holds is visible.
    for (const PreferenceArea& area : page.areas) {
        layout->addWidget(buildArea(area, widget), 1);
    }
    if (page.areas.empty()) {
        layout->addStretch(1);
    }
    return widget;
}

QWidget* PreferencePages::buildRows(std::span<const PreferenceRow> rows, QWidget* parent)
{
    auto* widget = new QWidget(parent);
    QVBoxLayout* layout = rowColumn(widget, 0);
    for (const PreferenceRow& row : rows) {
        addBinder(makeBinder(row, context_), &row, *layout);
    }
    layout->addStretch(1);
    return widget;
}

QWidget* PreferencePages::buildArea(const PreferenceArea& area, QWidget* parent)
{
    auto* scroll = new QScrollArea(parent);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->verticalScrollBar()->setSingleStep(scrollStep);
    QWidget* rows = buildRows(area.rows, scroll);
    // The page's own rows start at its top margin; an area's rows continue their spacing.
    rows->layout()->setContentsMargins(pageMargin, area.shownWhen.always() ? pageMargin : 0, pageMargin, pageMargin);
    guardWheel(*rows);
    scroll->setWidget(rows);
    if (!area.shownWhen.always()) {
        rules_.push_back({scroll, area.shownWhen, true});
    }
    return scroll;
}

QWidget* PreferencePages::buildFormatStack(FormatSubPages which, QWidget* parent)
{
    auto* stack = new QStackedWidget(parent);
    stacks_.push_back({stack, binders_.back().get(), which});
    if (which == FormatSubPages::Input) {
        for (const InputSubPage& sub : inputSubPages()) {
            QWidget* rows = buildRows(sub.rows, stack);
            rows->layout()->setContentsMargins(0, 0, 0, 0);
            stack->addWidget(rows);
        }
        return stack;
    }
    for (const OutputFormat& format : outputFormatTable()) {
        stack->addWidget(buildOutputSubPage(format));
    }
    return stack;
}

QWidget* PreferencePages::buildOutputSubPage(const OutputFormat& format)
{
    auto* widget = new QWidget;
    QVBoxLayout* layout = rowColumn(widget, 0);
    layout->setContentsMargins(0, 0, 0, 0);
    addBinder(makeBitDepthBinder(format, context_), nullptr, *layout);
    for (const FormatSetting& encoder : format.encoderSettings) {
        // Every encoder setting of the catalogue has its row in the tables.
        const PreferenceRow* row = encoderRow(*encoder.setting);
        Q_ASSERT_X(row != nullptr, "buildOutputSubPage", encoder.setting->key);
        addBinder(makeBinder(*row, context_), row, *layout);
    }
    for (const PreferenceRow& row : fixedOutputRows(format)) {
        addBinder(makeBinder(row, context_), &row, *layout);
    }
    layout->addStretch(1);
    return widget;
}

void PreferencePages::addBinder(std::unique_ptr<PreferenceBinder> binder, const PreferenceRow* row, QVBoxLayout& layout)
{
    layout.addWidget(binder->rowWidget());
    if (row != nullptr && !row->enabledWhen.always()) {
        rules_.push_back({binder->rowWidget(), row->enabledWhen, false});
    }
    if (row != nullptr && !row->shownWhen.always()) {
        rules_.push_back({binder->rowWidget(), row->shownWhen, true});
    }
    binders_.push_back(std::move(binder));
}
