#include "gui/about_window.h"

#include "app/endpoints.h"
#include "app/message_catalogue.h"
#include "app/program_info.h"
#include "gui/web_links.h"
#include "online/web_addresses.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace {

constexpr QSize aboutSize(360, 240);

// A link drawn in pure blue, which it keeps under the pointer; a click hands `address` on.
QLabel* linkLabel(QWidget* parent, const QString& shown, const QString& address, const QRect& geometry)
{
    auto* label = new QLabel(parent);
    label->setText(QStringLiteral("<a href=\"%1\" style=\"color:#0000ff;\">%2</a>")
                       .arg(address.toHtmlEscaped(), shown.toHtmlEscaped()));
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    label->setCursor(Qt::PointingHandCursor);
    label->setGeometry(geometry);
    QObject::connect(label, &QLabel::linkActivated, label, [](const QString& link) { openDocument(link); });
    return label;
}

QLabel* textLabel(QWidget* parent, const QString& text, const QRect& geometry, Qt::Alignment alignment)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setAlignment(alignment | Qt::AlignVCenter);
    return label;
}

} // namespace

QString rightsNotice()
{
    return QStringLiteral("Copyright \u00a9 2019-2026 Morvane. All rights reserved.");
}

AboutWindow::AboutWindow(QWidget* parent, const QImage& banner)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(message(QStringLiteral("About/Title")));
    setFixedSize(aboutSize);

    auto* picture = new QLabel(this);
    picture->setPixmap(QPixmap::fromImage(banner));
    picture->setGeometry(0, 0, 360, 40);

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(1);
    panel->setGeometry(0, 40, 360, 150);

    textLabel(this, programTitle(), QRect(20, 50, 320, 20), Qt::AlignHCenter);
    textLabel(this, rightsNotice(), QRect(20, 70, 320, 20), Qt::AlignHCenter);
    textLabel(this, message(QStringLiteral("About/Website")), QRect(80, 100, 60, 20), Qt::AlignLeft);
    textLabel(this, message(QStringLiteral("About/Email")), QRect(80, 120, 60, 20), Qt::AlignLeft);
    webLink_ = linkLabel(this, makerWebSiteAddress(), makerWebSiteAddress(), QRect(140, 100, 215, 20));
    mailLink_ = linkLabel(this, QString::fromUtf8(supportEmail), supportMailAddress(), QRect(140, 120, 215, 20));

    ok_ = new QPushButton(message(QStringLiteral("Dialog/OK")), this);
    ok_->setGeometry(140, 200, 80, 25);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    setFocus();
}

void showAbout(QWidget* parent, const QImage& banner)
{
    AboutWindow about(parent, banner);
    about.exec();
}
