#pragma once

#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;

// The converter finder: two extensions in, the maker's finder page for them opened in the browser.
// Modal over its parent; it keeps nothing after it closes.
class ConverterFinder : public QDialog {
    Q_OBJECT

  public:
    // Shows a warning box with a catalogue text (the message boxes of the windowed mode).
    using WarningBox = std::function<void(const QString& text)>;

    ConverterFinder(QWidget* parent, WarningBox showWarning);

    QLineEdit& sourceField() const { return *source_; }
    QLineEdit& targetField() const { return *target_; }
    QPushButton& searchButton() const { return *search_; }

  private:
    void search();

    WarningBox showWarning_;
    QLineEdit* source_ = nullptr;
    QLineEdit* target_ = nullptr;
    QPushButton* search_ = nullptr;
};

// An extension as the finder page names it: the field's text in lower case, cut to its first
// 12 characters, then without every character that is not an ASCII letter or digit. The cut comes
// first, so ".jpg" gives "jpg" and blanks count towards the 12.
QString finderExtension(const QString& fieldText);

// Opens the finder modally over `parent` and returns when it has closed.
void showConverterFinder(QWidget* parent, ConverterFinder::WarningBox showWarning);
