#include "app/settings.h"
#include "cli/profile.h"
#include "cli/profile_writer.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class Profiles : public testing::Test {
  protected:
    void SetUp() override { resetToDefaults(settings, true); }

    QString write(const QByteArray& bytes)
    {
        const QString path = dir.filePath(QStringLiteral("profile%1.ini").arg(++count));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    // True when the profile was read without an error.
    bool load(const QString& path) { return loadProfile(path, settings, limits).isEmpty(); }

    QTemporaryDir dir;
    Settings settings;
    RunLimits limits;
    int count = 0;
};

TEST_F(Profiles, KeysAreLongOptionNamesOfTheCliGroup)
{
    const QString path = write("; comment\r\n"
                               "[Output]\r\n--JPG-QUALITY = 10\r\n"
                               "[cli]\r\n"
                               "  --jpg-quality=90\r\n"
                               "--JPG-CHROMA =  medium  \r\n"
                               "--FLIP-HORIZONTAL = 0\r\n"
                               "--WM-SOLID-OPACITY = 40\r\n"
                               "--FR-SOLID-OPACITY = 99\r\n"
                               "--FILENAME-MASK = \" %filename%-x.%ext% \"\r\n"
                               "--WM-TEXT =  hello world  \r\n"
                               "--WIDTH\r\n"
                               "-I = elsewhere.tif\r\n"
                               "--NOT-AN-OPTION = 1\r\n"
                               "[Other]\r\n--JPG-QUALITY = 20\r\n"
                               "[CLI]\r\n--JPG-QUALITY = 30\r\n");
    ASSERT_TRUE(load(path));
    EXPECT_EQ(settings.output.jpgQuality, 90) << "only the first [CLI] group counts";
    EXPECT_EQ(settings.output.jpgChroma, 2) << "keywords are stripped of blanks";
    EXPECT_EQ(settings.transform.doImageFlipHorizontal, 1) << "a switch acts when present";
    EXPECT_EQ(settings.frame.solidOpacity, 40) << "the frame opacity key is --WM-SOLID-OPACITY";
    EXPECT_EQ(settings.advanced.filenameMask, QStringLiteral(" %filename%-x.%ext% "));
    EXPECT_EQ(settings.watermark.text, QStringLiteral("hello world"));
    EXPECT_EQ(settings.watermark.doWatermark, 1);
    EXPECT_EQ(settings.transform.doImageResize, 1) << "a key without '=' has an empty value";
    EXPECT_EQ(settings.transform.imageWidth, 0);
}

TEST_F(Profiles, FilesWithoutTheGroupSucceedAndChangeNothing)
{
    Settings before;
    resetToDefaults(before, true);
    for (const QByteArray& bytes : {QByteArray(), QByteArray("[Output]\n--JPG-QUALITY=1\n"), QByteArray("[CLI]\n")}) {
        ASSERT_TRUE(load(write(bytes)));
        EXPECT_EQ(settings.output.jpgQuality, before.output.jpgQuality);
    }
}

TEST_F(Profiles, RandomBytesAreReadWithoutHarm)
{
    QRandomGenerator random(12345);
    for (int round = 0; round < 20; ++round) {
        QByteArray bytes(64 * 1024, '\0');
        random.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        if (round % 2 == 1) {
            bytes.prepend("[CLI]\n--JPG-QUALITY=");
        }
        EXPECT_TRUE(load(write(bytes)));
    }
}

TEST_F(Profiles, MissingFilesAndFoldersFail)
{
    EXPECT_FALSE(load(dir.filePath(QStringLiteral("missing.ini"))));
    EXPECT_FALSE(load(dir.path()));
    EXPECT_FALSE(load(QString()));
}

TEST_F(Profiles, TextIsUtf8WithOrWithoutMarkAndLatin1Otherwise)
{
    ASSERT_TRUE(load(write("[CLI]\n--WM-TEXT=\xC2\xA9 Anna\n")));
    EXPECT_EQ(settings.watermark.text, QStringLiteral("\u00A9 Anna"));
    ASSERT_TRUE(load(write("\xEF\xBB\xBF[CLI]\n--WM-TEXT=\xC3\xA9t\xC3\xA9\n")));
    EXPECT_EQ(settings.watermark.text, QStringLiteral("\u00E9t\u00E9"));
    ASSERT_TRUE(load(write("[CLI]\n--WM-TEXT=\xE9t\xE9\n")));
    EXPECT_EQ(settings.watermark.text, QStringLiteral("\u00E9t\u00E9"));
}

TEST_F(Profiles, LaterKeysOverrideEarlierOnes)
{
    ASSERT_TRUE(load(write("[CLI]\n--WM-TEXT=a\n--WM-IMAGE=b.png\n--JPG-QUALITY=5\n--JPG-QUALITY=6\n")));
    EXPECT_EQ(settings.watermark.doWatermark, 2);
    EXPECT_EQ(settings.output.jpgQuality, 6);
}

// --threads and --memory are console values, not settings, but a profile sets them all the same; a
// bad value is the same error as on the command line.
TEST_F(Profiles, RunLimitsAreKeysToo)
{
    ASSERT_TRUE(load(write("[CLI]\n--THREADS = 3\n--MEMORY = 1.5G \n")));
    EXPECT_EQ(limits.threads, 3);
    EXPECT_EQ(limits.memoryBudget, 3ULL << 29);
    EXPECT_EQ(loadProfile(write("[CLI]\n--MEMORY = lots\n--JPG-QUALITY=7\n"), settings, limits).text,
              QStringLiteral("Invalid memory value"));
    EXPECT_NE(settings.output.jpgQuality, 7) << "reading ends at the bad value";
    EXPECT_EQ(loadProfile(write("[CLI]\n--THREADS = 0\n"), settings, limits).text,
              QStringLiteral("Invalid threads value"));
    EXPECT_EQ(loadProfile(dir.filePath(QStringLiteral("missing.ini")), settings, limits).text,
              QStringLiteral("Invalid profile file"));
}

// What the window writes as a profile or a command carries the custom time only when the timestamp
// setting uses it (the window's custom time defaults to the moment it first started), and reads
// back to the same settings.
TEST_F(Profiles, TheCustomTimeIsWrittenOnlyWhereTheTimestampSettingUsesIt)
{
    struct Case {
        std::int8_t fileTimestamp;
        bool carriesCustomTime;
    };
    for (const Case c : {Case{0, false}, Case{1, false}, Case{2, true}}) {
        Settings window;
        resetToDefaults(window, false);
        window.advanced.fileTimestamp = c.fileTimestamp;
        window.advanced.customTimestamp = 1765400000;
        const QByteArray profile = profileText(window);
        const QString command = consoleCommandLine(QStringLiteral("tessaline"), QStringLiteral("in"),
                                                   QStringLiteral("out"), QStringLiteral("png"), window);
        EXPECT_EQ(profile.contains("--FILE-TIMESTAMP-CUSTOM = 1765400000\r\n"), c.carriesCustomTime) << profile.data();
        EXPECT_EQ(command.contains(QStringLiteral("--file-timestamp-custom=1765400000")), c.carriesCustomTime)
            << command.toStdString();

        const QString path = write(profile);
        ASSERT_TRUE(load(path));
        EXPECT_EQ(settings.advanced.fileTimestamp, c.fileTimestamp);
        if (c.carriesCustomTime) {
            EXPECT_EQ(settings.advanced.customTimestamp, 1765400000);
        }
    }
}

} // namespace
