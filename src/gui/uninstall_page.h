#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

// The small window of the "-U" start: one check box, checked, and Next. Next opens the maker's
// uninstall page when the box is still checked; closing the window opens nothing.
class UninstallPage : public QDialog {
    Q_OBJECT

  public:
    explicit UninstallPage(QWidget* parent = nullptr);

    QCheckBox& visitCheckBox() const { return *visit_; }
    QPushButton& nextButton() const { return *next_; }

  private:
    void next();

    QCheckBox* visit_ = nullptr;
    QPushButton* next_ = nullptr;
};

// The "-U" start: shows the page until Next or the close box ends it, and returns the exit
// status, 0. Reads and writes no settings. The caller has made sure a display is available.
int runUninstallPage(int& argc, char** argv);
