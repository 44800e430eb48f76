#include "gui/uninstall_page.h"

#include "app/message_catalogue.h"
#include "gui/web_links.h"
#include "online/web_addresses.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>

UninstallPage::UninstallPage(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(message(QStringLiteral("Uninstall/Title")));
    setFixedSize(300, 100);

    visit_ = new QCheckBox(message(QStringLiteral("Uninstall/Uninstall Text")), this);
    visit_->setGeometry(30, 20, 250, 20);
    visit_->setChecked(true);

    next_ = new QPushButton(message(QStringLiteral("Uninstall/Next")), this);
    next_->setGeometry(200, 60, 80, 25);
    next_->setDefault(true);
    connect(next_, &QPushButton::clicked, this, &UninstallPage::next);
}

void UninstallPage::next()
{
    if (visit_->isChecked()) {
        openDocument(uninstallPageAddress());
    }
    accept();
}

int runUninstallPage(int& argc, char** argv)
{
    QApplication application(argc, argv);
    loadMessageCatalogue();
    UninstallPage page;
    page.show();
    page.activateWindow();
    page.exec();
    return 0;
}
