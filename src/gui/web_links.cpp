#include "gui/web_links.h"

#include "online/web_addresses.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

void openDocument(const QString& document)
{
    const QUrl url = document.startsWith(u'/') ? QUrl::fromLocalFile(document) : QUrl(document, QUrl::TolerantMode);
    QDesktopServices::openUrl(url);
}

QString manualPath(const QString& folder)
{
    return folder + QStringLiteral("tessaline.html");
}

void openManual(const QString& folder)
{
    const QString path = manualPath(folder);
    if (QFileInfo(path).isFile()) {
        openDocument(path);
    }
}

void openFeedbackMail()
{
    openDocument(feedbackMailAddress());
}

void openProductPage()
{
    openDocument(productPageAddress());
}
