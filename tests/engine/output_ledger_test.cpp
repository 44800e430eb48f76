#include "engine/run/output_ledger.h"
#include "engine/write/temp_file_claims.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class OutputLedgerTest : public testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        QDir().mkpath(path(QStringLiteral("in/sub")));
        QDir().mkpath(path(QStringLiteral("out")));
        ASSERT_TRUE(QFile::link(path(QStringLiteral("in")), path(QStringLiteral("alias"))));
        for (const QString& name : {QStringLiteral("in/a.tif"), QStringLiteral("in/sub/b.tif")}) {
            write(name, "input");
            inputs.insert(path(name), {});
        }
    }

    QString path(const QString& relative) const { return root.path() + u'/' + relative; }

    void write(const QString& relative, const QByteArray& bytes) const
    {
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray read(const QString& relative) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir root;
    InputFileList inputs;
};

// However the name is spelled, an input file is never an output of its own run.
TEST_F(OutputLedgerTest, RefusesEverySpellingOfAnInput)
{
    const OutputLedger ledger(inputs);
    for (const QString& spelling :
         {QStringLiteral("in/a.tif"), QStringLiteral("in/sub/../a.tif"), QStringLiteral("./in/./sub/b.tif"),
          QStringLiteral("alias/a.tif"), QStringLiteral("alias/sub/b.tif")}) {
        EXPECT_EQ(ledger.check(path(spelling), path(QStringLiteral("in/a.tif"))).kind,
                  FileFailureKind::WouldOverwriteInput)
            << spelling.toStdString();
    }
    EXPECT_FALSE(ledger.check(path(QStringLiteral("in/a.png")), path(QStringLiteral("in/a.tif"))));
}

TEST_F(OutputLedgerTest, ANameIsTakenByTheFirstInputOnly)
{
    OutputLedger ledger(inputs);
    const QString first = path(QStringLiteral("in/a.tif"));
    const QString second = path(QStringLiteral("in/sub/b.tif"));
    write(QStringLiteral("out/.t1"), "first");
    ASSERT_FALSE(ledger.commit(path(QStringLiteral("out/.t1")), path(QStringLiteral("out/x.png")), first));

    // The same file may write its name again (a page of its own); another file may not, however
    // the folder is spelled, and its temporary file is removed.
    write(QStringLiteral("out/.t2"), "second");
    const FileFailure refused =
        ledger.commit(path(QStringLiteral("out/.t2")), path(QStringLiteral("in/../out/x.png")), second);
    EXPECT_EQ(refused.kind, FileFailureKind::OutputNameUsed);
    EXPECT_EQ(refused.detail, first);
    EXPECT_EQ(describeFailure(refused), QStringLiteral("output name already used by ") + first);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("out/.t2"))));
    EXPECT_EQ(read(QStringLiteral("out/x.png")), QByteArray("first"));

    write(QStringLiteral("out/.t3"), "again");
    EXPECT_FALSE(ledger.commit(path(QStringLiteral("out/.t3")), path(QStringLiteral("out/x.png")), first));
    EXPECT_EQ(read(QStringLiteral("out/x.png")), QByteArray("again"));
}

TEST_F(OutputLedgerTest, AFailedRenameIsNamed)
{
    OutputLedger ledger(inputs);
    write(QStringLiteral("out/.t"), "data");
    const FileFailure failure = ledger.commit(path(QStringLiteral("out/.t")), path(QStringLiteral("gone/x.png")),
                                              path(QStringLiteral("in/a.tif")));
    EXPECT_EQ(failure.kind, FileFailureKind::RenameFailed);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("out/.t"))));
}

// What a process that must end at once does from its signal handler. In a child process, since
// the removal is for good.
TEST(TempFileClaims, RemovesTheFilesInHandOnly)
{
    QTemporaryDir root;
    const QString held = root.path() + QStringLiteral("/.held.tmp");
    const QString released = root.path() + QStringLiteral("/.released.tmp");
    for (const QString& name : {held, released}) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_EXIT(
        {
            const TempFileClaim claim(held);
            {
                const TempFileClaim done(released);
            }
            removeClaimedTempFiles();
            std::exit(claim.recorded() && !QFileInfo::exists(held) && QFileInfo::exists(released) ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
