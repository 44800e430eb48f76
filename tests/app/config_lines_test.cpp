#include "app/config_lines.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

// Each line read, as "group|key|value"; "-" for a null group (before the first header).
QStringList linesOf(const QString& text)
{
    QStringList lines;
    readConfigLines(text, [&lines](const ConfigLine& line) {
        const QString group = line.group.isNull() ? QStringLiteral("-") : line.group.toString();
        lines << group + u'|' + line.key.toString() + u'|' + line.value.toString();
    });
    return lines;
}

struct LinesCase {
    const char* name;
    const char* text;
    QStringList expected;
};

class ConfigLinesTest : public ::testing::TestWithParam<LinesCase> {};

TEST_P(ConfigLinesTest, ReadsTheSyntaxBothReadersShare)
{
    EXPECT_EQ(linesOf(QString::fromUtf8(GetParam().text)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ConfigLinesTest,
    ::testing::Values(
        LinesCase{"LineEnds", "[A]\r\nx=1\ny=2\rz=3", {"A|x|1", "A|y|2", "A|z|3"}},
        LinesCase{"BlanksAroundKeyAndValue", "[A]\n \t key \t=\t value \n", {"A|key|value "}},
        LinesCase{"CommentsAndBlankLines", "; top\n\n[A]\n  ; note\nk=v\n", {"A|k|v"}},
        LinesCase{"LineWithoutEquals", "[A]\nlonely key\n", {"A|lonely key|"}},
        LinesCase{"OnlyTheFirstEqualsSplits", "[A]\nk==v=w\n", {"A|k|=v=w"}},
        LinesCase{"BeforeTheFirstGroup", "k=v\n[A]\nl=w\n", {"-|k|v", "A|l|w"}},
        LinesCase{"RepeatedGroupIsSkipped", "[Cli]\na=1\n[B]\nb=2\n[cLI]\nc=3\n[B]\nd=4\n", {"Cli|a|1", "B|b|2"}},
        LinesCase{"UnclosedHeader", "[Open\nk=v\n", {"Open|k|v"}},
        LinesCase{"RepeatedKeysAllReported", "[A]\nk=1\nk=2\n", {"A|k|1", "A|k|2"}}),
    [](const ::testing::TestParamInfo<LinesCase>& info) { return std::string(info.param.name); });

TEST(AsciiFolded, FoldsOnlyAsciiLetters)
{
    EXPECT_EQ(asciiFolded(QStringLiteral("Save Window POSITION")), QStringLiteral("save window position"));
    EXPECT_EQ(asciiFolded(QStringLiteral("ÄÖÜ Kelvin\u212A")), QStringLiteral("ÄÖÜ kelvin\u212A"));
}

} // namespace
