#include "gui/screenshot_mode.h"

#include "app/message_catalogue.h"
#include "app/program_info.h"
#include "gui/desktop_records.h"
#include "gui/display_check.h"
#include "gui/file_list_model.h"
#include "gui/main_window.h"
#include "gui/theme_icons.h"
#include "online/web_addresses.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <cmath>
#include <cstdio>

namespace {

constexpr QPoint windowPosition(400, 400);
constexpr QSize windowSize(510, 330);
constexpr int settleMilliseconds = 500;
constexpr int jpegQuality = 90; // 9 on a scale of 0 to 10
constexpr int thumbnailWidth = 180;

// Sample names: the stems are fixed, the extension is an input format ("tiff", the only one).
const char* const sampleStems[] = {"pic0102", "picture_a", "picture_b", "morvane", "layout-haus", "summer", "winter"};
constexpr const char* sampleFolder = "/images/";
constexpr const char* sampleOutputFolder = "/converted/";

// The folder the pictures go to, with a trailing "/"; empty when it is not an existing folder.
QString screenshotFolder(const QString& folderText)
{
    const QString folder = folderText.isEmpty() ? programFolder() : QFileInfo(folderText).absoluteFilePath();
    if (!QFileInfo(folder).isDir()) {
        return QString();
    }
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

// The records of a first start: default settings, the built-in pictures and the installed theme.
void loadFirstStartRecords(DesktopRecords& records)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    resetToDefaults(records.settings, false, screen != nullptr ? screen->size() : QSize());
    loadMessageCatalogue();
    records.gfxFolder = programDataFolder() + QStringLiteral("gfx/");
    loadBuiltInImages(records.images);
    records.themes = discoverThemes(records.gfxFolder);
    loadThemeImages(records.images, records.settings, records.themes, records.gfxFolder, {});
    records.job.mode = QStringLiteral("T");
}

void fillWithSamples(MainWindow& window, const ImageSets& images)
{
    for (const char* stem : sampleStems) {
        window.fileRows().appendRow(QLatin1StringView(sampleFolder) + QLatin1StringView(stem) +
                                    QStringLiteral(".tiff"));
    }
    window.fileList().scrollTo(window.fileRows().index(5));
    QComboBox& folders = window.outputFolderChooser();
    folders.addItem(themeIcon(images, ImageSet::Icons, QStringLiteral("FavFolder"), builtInIconPixels),
                    QString::fromLatin1(sampleOutputFolder));
    folders.setCurrentIndex(folders.count() - 1);
    window.outputFormatChooser().setFocus();
    window.outputFolderChooser().setFocus();
    window.convertButton().setFocus();
}

// Lets the window settle (drawn, placed by the window manager) for a moment or until it is closed.
void settle()
{
    QEventLoop loop;
    QTimer::singleShot(settleMilliseconds, &loop, &QEventLoop::quit);
    QObject::connect(qApp, &QGuiApplication::lastWindowClosed, &loop, &QEventLoop::quit);
    loop.exec();
}

// The whole window rectangle, frame included, as the screen shows it; the window's own drawing
// where the platform cannot read the screen back.
QImage captureWithFrame(QWidget& window)
{
    const QRect frame = window.frameGeometry();
    if (QScreen* screen = window.screen()) {
        const QImage grabbed = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).toImage();
        if (!grabbed.isNull() && grabbed.size() == frame.size()) {
            return grabbed;
        }
    }
    return window.grab().toImage();
}

} // namespace

QImage signedScreenshot(const QImage& capture)
{
    QImage image = capture.convertToFormat(QImage::Format_RGB32);
    const QString address = QUrl(makerWebSiteAddress()).host();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QFontMetrics metrics(font);
    const int x = image.width() - metrics.horizontalAdvance(address) - 35;
    const int y = image.height() - 26;
    painter.drawText(QPoint(x, y + metrics.ascent()), address);
    return image;
}

QImage thumbnailOf(const QImage& screenshot)
{
    const int height =
        static_cast<int>(std::lround(double(thumbnailWidth) * screenshot.height() / std::max(1, screenshot.width())));
    return screenshot.scaled(thumbnailWidth, std::max(1, height), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

bool saveScreenshotJpeg(const QImage& image, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    QImageWriter writer(&file, "jpg");
    writer.setQuality(jpegQuality);
    return writer.write(image) && file.commit();
}

int runScreenshotMode(int& argc, char** argv, const QString& folderText)
{
    const QString folder = screenshotFolder(folderText);
    if (folder.isEmpty()) {
        return 0;
    }
    if (!displayAvailableOrReported()) {
        return 1;
    }
    QApplication application(argc, argv);
    DesktopRecords records;
    loadFirstStartRecords(records);
    MainWindow window(records);
    window.move(windowPosition);
    window.resize(windowSize);
    window.activateWindow();
    window.completeWindowedStart();
    fillWithSamples(window, records.images);
    settle();

    const QImage screenshot = signedScreenshot(captureWithFrame(window));
    for (const auto& [image, name] : {std::pair{screenshot, QStringLiteral("tessaline1.jpg")},
                                      std::pair{thumbnailOf(screenshot), QStringLiteral("tessaline1x.jpg")}}) {
        if (!saveScreenshotJpeg(image, folder + name)) {
            std::fprintf(stderr, "Error: Cannot write %s\n", qUtf8Printable(folder + name));
            return 1;
        }
    }
    return 0;
}
