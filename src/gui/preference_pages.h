#pragma once

#include "gui/preference_binders.h"
#include "gui/preference_rows.h"

#include <QString>

#include <memory>
#include <vector>

class QStackedWidget;
class QWidget;

// The pages of the Preferences dialog built from their row tables, with the binders of every row
// in page order and the enabling and visibility rules that tie rows to other controls.
class PreferencePages {
  public:
    explicit PreferencePages(BinderContext& context);
    ~PreferencePages();
    PreferencePages(const PreferencePages&) = delete;
    PreferencePages& operator=(const PreferencePages&) = delete;

    // The page widgets in page order; the caller takes them into its page area.
    const std::vector<QWidget*>& pages() const { return pages_; }

    // Every row's binder, page by page in row order, sub-pages included.
    const std::vector<std::unique_ptr<PreferenceBinder>>& binders() const { return binders_; }
    // The binder of a setting ("Output/JPG Quality"); nullptr when no row edits it.
    PreferenceBinder* find(const QString& settingName) const;

    void fill(const Settings& settings);
    void store(Settings& settings) const;
    // Enables, shows and hides rows, areas and format sub-pages as the controls now stand.
    void applyRules();

    // The widest label of all pages, so that no label is cut.
    static int labelWidthFor(const QFontMetrics& metrics);

  private:
    struct Rule {
        QWidget* widget;
        RowRule rule;
        bool showing; // the rule shows and hides; otherwise it enables and disables
    };
    struct FormatStack {
        QStackedWidget* stack;
        PreferenceBinder* list;
        FormatSubPages which;
    };

    QWidget* buildPage(const PreferencePage& page);
    QWidget* buildRows(std::span<const PreferenceRow> rows, QWidget* parent);
    QWidget* buildArea(const PreferenceArea& area, QWidget* parent);
    QWidget* buildFormatStack(FormatSubPages which, QWidget* parent);
    QWidget* buildOutputSubPage(const struct OutputFormat& format);
    void addBinder(std::unique_ptr<PreferenceBinder> binder, const PreferenceRow* row, class QVBoxLayout& layout);
    bool holds(const RowRule& rule) const;

    BinderContext& context_;
    std::vector<QWidget*> pages_;
    std::vector<std::unique_ptr<PreferenceBinder>> binders_;
    std::vector<Rule> rules_;
    std::vector<FormatStack> stacks_;
};
