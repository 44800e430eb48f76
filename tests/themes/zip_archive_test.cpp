#include "themes/zip_archive.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

class ZipArchiveTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(root_.isValid()); }

    QString path() const { return root_.filePath("pack.zip"); }

    QTemporaryDir root_;
};

TEST_F(ZipArchiveTest, IndexesEntriesWithContentByExactName)
{
    ASSERT_EQ(writeZipArchive(path(), {{"theme.cfg", "[Theme]\r\n"}, {"Icons/New.png", "png"}, {"empty.png", ""}}),
              std::nullopt);
    const std::optional<ZipArchive> zip = ZipArchive::open(path());
    ASSERT_TRUE(zip);
    const QHash<QString, qint64> expected{{"theme.cfg", 9}, {"Icons/New.png", 3}};
    EXPECT_EQ(zip->index(), expected);
    EXPECT_EQ(zip->read("Icons/New.png"), "png");
    EXPECT_TRUE(zip->read("icons/new.png").isEmpty()); // letter case matters
    EXPECT_TRUE(zip->read("empty.png").isEmpty());
    EXPECT_EQ(zip->read("theme.cfg", 4), "[The");
    const QHash<QString, QByteArray> both = zip->read(QSet<QString>{"theme.cfg", "Icons/New.png", "absent"});
    EXPECT_EQ(both.size(), 2);
}

// An entry may claim any size and deflate to almost nothing; such entries are never unpacked.
TEST_F(ZipArchiveTest, LeavesOversizedEntriesPacked)
{
    const QByteArray huge(ZipArchive::maxEntryBytes + 1, '\0');
    ASSERT_EQ(writeZipArchive(path(), {{"huge.png", huge}, {"small.png", "ok"}}), std::nullopt);
    const std::optional<ZipArchive> zip = ZipArchive::open(path());
    ASSERT_TRUE(zip);
    EXPECT_EQ(zip->index().value("huge.png"), huge.size());
    EXPECT_TRUE(zip->read("huge.png").isEmpty());
    EXPECT_EQ(zip->read("small.png"), "ok");
}

TEST_F(ZipArchiveTest, RefusesWhatIsNoArchive)
{
    EXPECT_FALSE(ZipArchive::open(root_.filePath("absent.zip")));
    EXPECT_FALSE(ZipArchive::open(root_.path())); // a folder
    QFile text(path());
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("just words");
    text.close();
    EXPECT_FALSE(ZipArchive::open(path()));
}

TEST_F(ZipArchiveTest, WritingIntoAMissingFolderFailsWithAMessage)
{
    const std::optional<QString> error = writeZipArchive(root_.filePath("no/such/folder/pack.zip"), {{"a", "b"}});
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->isEmpty());
}

} // namespace
