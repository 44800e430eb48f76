#pragma once

#include <QDesktopServices>
#include <QObject>
#include <QStringList>
#include <QUrl>

// Stands in for the desktop's "open" action while it lives: every address that QDesktopServices
// would hand on (web, mail and file addresses) is recorded instead.
class UrlCatcher : public QObject {
    Q_OBJECT

  public:
    UrlCatcher()
    {
        for (const char* scheme : schemes) {
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
        }
    }
    ~UrlCatcher() override
    {
        for (const char* scheme : schemes) {
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
        }
    }

    QList<QUrl> opened;

  public slots:
    void open(const QUrl& url) { opened << url; }

  private:
    static constexpr const char* schemes[] = {"http", "https", "mailto", "file"};
};
