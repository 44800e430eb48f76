#include "online/web_addresses.h"

#include "app/endpoints.h"
#include "app/program_info.h"

namespace {

// The configured site address without a trailing "/", so that the paths below can start with one.
QString siteRoot()
{
    QString site = QString::fromUtf8(makerWebSite);
    while (site.endsWith(u'/')) {
        site.chop(1);
    }
    return site;
}

} // namespace

QString makerWebSiteAddress()
{
    return QString::fromUtf8(makerWebSite);
}

QString productPageAddress()
{
    return siteRoot() + QStringLiteral("/tessaline/");
}

QString uninstallPageAddress()
{
    return siteRoot() + QStringLiteral("/tessaline/uninstall.html");
}

QString converterFinderAddress(const QString& sourceExtension, const QString& targetExtension)
{
    return siteRoot() + QStringLiteral("/find/") + sourceExtension + u'-' + targetExtension + u'/';
}

QString supportMailAddress()
{
    return QStringLiteral("mailto:") + QString::fromUtf8(supportEmail);
}

QString feedbackMailAddress()
{
    return supportMailAddress() + QStringLiteral("?subject=") + programTitle() + QStringLiteral(" Feedback");
}
