#include "engine/run/output_ledger.h"
#include "engine/write/temp_file_claims.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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

// A temporary file killed runs left in the output folder goes with the first commit there; the
// file a live run holds and every file that only looks like ours stay.
TEST_F(OutputLedgerTest, FirstCommitIntoAFolderRemovesStaleTemporaryFilesOnly)
{
    const QStringList stale{QStringLiteral("out/.a.png.tessaline-abcdef.tmp"),
                            QStringLiteral("out/.b c.png.tessaline-zzzzzz.tmp")};
    const QStringList lookalikes{QStringLiteral("out/.a.png.tessaline-abcdef.tmp.bak"),
                                 QStringLiteral("out/.a.png.tessaline-ABCDEF.tmp"),
                                 QStringLiteral("out/a.png.tessaline-abcdef.tmp"),
                                 QStringLiteral("out/.a.png.tessaline-abcdefg.tmp"), QStringLiteral("out/notes.tmp")};
    for (const QString& name : stale + lookalikes) {
        write(name, "left over");
    }
    ASSERT_TRUE(QFile::link(path(QStringLiteral("in/a.tif")), path(QStringLiteral("out/.l.png.tessaline-linked.tmp"))));
    const TempFileClaim live = TempFileClaim::create(path(QStringLiteral("out/live.png")));
    ASSERT_TRUE(live.locked());
    write(QStringLiteral("out/.t"), "new");

    OutputLedger ledger(inputs);
    ASSERT_FALSE(ledger.commit(path(QStringLiteral("out/.t")), path(QStringLiteral("out/x.png")),
                               path(QStringLiteral("in/a.tif"))));
    for (const QString& name : stale) {
        EXPECT_FALSE(QFileInfo::exists(path(name))) << name.toStdString();
    }
    for (const QString& name : lookalikes + QStringList{QStringLiteral("out/.l.png.tessaline-linked.tmp")}) {
        EXPECT_TRUE(QFileInfo(path(name)).isFile()) << name.toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(live.path()));
    EXPECT_EQ(read(QStringLiteral("in/a.tif")), "input");

    // Only the first commit into the folder sweeps it.
    write(stale.front(), "left over later");
    write(QStringLiteral("out/.u"), "new");
    ASSERT_FALSE(ledger.commit(path(QStringLiteral("out/.u")), path(QStringLiteral("out/y.png")),
                               path(QStringLiteral("in/sub/b.tif"))));
    EXPECT_TRUE(QFileInfo::exists(path(stale.front())));
}

// A claim is a fresh hidden file beside the output, locked until the claim ends.
TEST(TempFileClaims, CreateMakesAFreshLockedFileBesideTheOutput)
{
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("page.png"));
    const auto lockedByOthers = [](const QString& file) {
        const int fd = open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
        const bool locked = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0;
        close(fd);
        return locked;
    };
    QString firstPath;
    {
        const TempFileClaim first = TempFileClaim::create(output);
        const TempFileClaim second = TempFileClaim::create(output);
        firstPath = first.path();
        EXPECT_NE(first.path(), second.path());
        for (const TempFileClaim* claim : {&first, &second}) {
            const QFileInfo info(claim->path());
            EXPECT_EQ(info.absolutePath(), QFileInfo(output).absolutePath());
            EXPECT_TRUE(isTempFileName(info.fileName())) << claim->path().toStdString();
            EXPECT_TRUE(info.fileName().startsWith(QStringLiteral(".page.png.tessaline-")));
            EXPECT_TRUE(info.isFile());
            EXPECT_TRUE(claim->recorded());
            EXPECT_TRUE(lockedByOthers(claim->path()));
        }
    }
    EXPECT_FALSE(lockedByOthers(firstPath));

    const TempFileClaim nowhere = TempFileClaim::create(dir.filePath(QStringLiteral("missing/page.png")));
    EXPECT_TRUE(nowhere.path().isEmpty());
    EXPECT_EQ(errno, ENOENT);
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
