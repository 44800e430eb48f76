#pragma once

#include <QDialog>
#include <QImage>

class QLabel;
class QPushButton;

// The About window: the banner, the program's title and rights, and links to the maker's web
// site and support address. Modal over its parent; Enter and Escape close it like OK.
class AboutWindow : public QDialog {
    Q_OBJECT

  public:
    AboutWindow(QWidget* parent, const QImage& banner);

    QLabel& webLink() const { return *webLink_; }
    QLabel& mailLink() const { return *mailLink_; }
    QPushButton& okButton() const { return *ok_; }

  private:
    QLabel* webLink_ = nullptr;
    QLabel* mailLink_ = nullptr;
    QPushButton* ok_ = nullptr;
};

// The rights notice under the title.
QString rightsNotice();

// Opens the About window modally over `parent` and returns when it has closed.
void showAbout(QWidget* parent, const QImage& banner);
