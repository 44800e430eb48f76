#include "cli/option_reference.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// The README's option reference is made from the option table. When they differ, the test fails
// and prints the text to put between the markers; with TESSALINE_UPDATE_README=1 it writes it.
TEST(Readme, OptionReferenceMatchesTheOptionTable)
{
    const QString path = QStringLiteral(TESSALINE_SOURCE_DIR "/README.md");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString readme = QString::fromUtf8(file.readAll());
    file.close();

    const QString begin = QString::fromUtf8(optionReferenceBegin) + u'\n';
    const QString end = QString::fromUtf8(optionReferenceEnd);
    const qsizetype from = readme.indexOf(begin);
    const qsizetype to = readme.indexOf(end);
    ASSERT_GE(from, 0) << "README.md lacks " << optionReferenceBegin;
    ASSERT_GT(to, from) << "README.md lacks " << optionReferenceEnd;

    const QString expected = optionReference();
    const QString actual = readme.mid(from + begin.size(), to - from - begin.size());
    if (actual != expected && qEnvironmentVariableIntValue("TESSALINE_UPDATE_README") == 1) {
        readme.replace(from + begin.size(), to - from - begin.size(), expected);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(readme.toUtf8());
        return;
    }
    EXPECT_EQ(actual.toStdString(), expected.toStdString());
}

} // namespace
