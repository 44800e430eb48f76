#include "cli/option_reference.h"

#include <QFile>

#include <gtest/gtest.h>

#include <functional>

namespace {

// A document that carries the option reference between the markers, in its own form.
struct ReferencedDocument {
    const char* path; // below the source folder
    std::function<QString()> reference;
};

void PrintTo(const ReferencedDocument& document, std::ostream* out)
{
    *out << document.path;
}

class DocumentReference : public testing::TestWithParam<ReferencedDocument> {};

// The option references of the README and the user manual are made from the option table. When
// one differs, the test fails and prints the text to put between the markers; with
// TESSALINE_UPDATE_DOCS=1 it writes it.
TEST_P(DocumentReference, OptionReferenceMatchesTheOptionTable)
{
    const QString path = QStringLiteral(TESSALINE_SOURCE_DIR "/") + QString::fromUtf8(GetParam().path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QString document = QString::fromUtf8(file.readAll());
    file.close();

    const QString begin = QString::fromUtf8(optionReferenceBegin) + u'\n';
    const QString end = QString::fromUtf8(optionReferenceEnd);
    const qsizetype from = document.indexOf(begin);
    const qsizetype to = document.indexOf(end);
    ASSERT_GE(from, 0) << GetParam().path << " lacks " << optionReferenceBegin;
    ASSERT_GT(to, from) << GetParam().path << " lacks " << optionReferenceEnd;

    const QString expected = GetParam().reference();
    const QString actual = document.mid(from + begin.size(), to - from - begin.size());
    if (actual != expected && qEnvironmentVariableIntValue("TESSALINE_UPDATE_DOCS") == 1) {
        document.replace(from + begin.size(), to - from - begin.size(), expected);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(document.toUtf8());
        return;
    }
    EXPECT_EQ(actual.toStdString(), expected.toStdString());
}

INSTANTIATE_TEST_SUITE_P(Documents, DocumentReference,
                         testing::Values(ReferencedDocument{"README.md", optionReference},
                                         ReferencedDocument{"docs/tessaline.html", optionReferenceHtml}));

} // namespace
