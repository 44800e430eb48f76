// A run under a memory budget converts what a sequential run converts, byte for byte and in the
// same order, however little memory it is given.
#include "support/run_tessaline.h"
#include "support/tiff_fixtures.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

using fixtures::PageKind;

struct BudgetCase {
    const char* name;
    QStringList options;
};

void PrintTo(const BudgetCase& c, std::ostream* os)
{
    *os << c.name;
}

// Pages of 230 400 bytes decoded (320 x 240 RGB) and smaller ones, a multi-page file whose pages
// are taken one at a time, and a profile with a budget.
void writeInputFolder(const e2e::Sandbox& sandbox)
{
    const QString in = sandbox.makeFolder(QStringLiteral("in"));
    const int widths[] = {320, 80, 320, 160, 320, 40};
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(fixtures::writeTiff(in + QStringLiteral("/page-%1.tif").arg(i), PageKind::Rgb24, widths[i],
                                        widths[i] * 3 / 4));
    }
    ASSERT_TRUE(fixtures::writeTiff(in + QStringLiteral("/multi.tif"), PageKind::Grey8, 200, 150, 3));
    sandbox.writeFile(QStringLiteral("limits.ini"), "[CLI]\n--MEMORY = 1K\n");
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class BudgetedRun : public testing::TestWithParam<BudgetCase> {};

TEST_P(BudgetedRun, ConvertsEveryPageAsASequentialRunDoes)
{
    const e2e::Sandbox sandbox;
    writeInputFolder(sandbox);
    sandbox.makeFolder(QStringLiteral("out-one"));
    sandbox.makeFolder(QStringLiteral("out-budget"));
    const QStringList common =
        QStringList{QStringLiteral("-i"), QStringLiteral("in"), QStringLiteral("-d")} + GetParam().options;

    const e2e::RunResult sequential = sandbox.run(
        common + QStringList{QStringLiteral("-o"), QStringLiteral("out-one"), QStringLiteral("--threads=1")});
    const e2e::RunResult budgeted = sandbox.run(
        common + QStringList{QStringLiteral("-o"), QStringLiteral("out-budget"), QStringLiteral("--threads=4")});

    ASSERT_EQ(sequential.exitCode, 0) << sequential.err.constData();
    ASSERT_EQ(budgeted.exitCode, 0) << budgeted.err.constData();
    EXPECT_EQ(QString::fromUtf8(sequential.out).replace(QStringLiteral("out-one"), QStringLiteral("OUT")),
              QString::fromUtf8(budgeted.out).replace(QStringLiteral("out-budget"), QStringLiteral("OUT")));
    const QStringList names = sandbox.filesBelow(QStringLiteral("out-one"));
    EXPECT_EQ(names.size(), 9);
    EXPECT_EQ(names, sandbox.filesBelow(QStringLiteral("out-budget")));
    for (const QString& name : names) {
        EXPECT_EQ(contentOf(sandbox.path(QStringLiteral("out-one/") + name)),
                  contentOf(sandbox.path(QStringLiteral("out-budget/") + name)))
            << name.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Budgets, BudgetedRun,
                         testing::Values(
                             // Room for one large page (and the small ones beside it), never for two large ones.
                             BudgetCase{"OneLargePageAtATime",
                                        {QStringLiteral("-c"), QStringLiteral("png"), QStringLiteral("--memory=300K")}},
                             // Every page is larger than the budget: each runs alone, none fails.
                             BudgetCase{"EveryPageLargerThanTheBudget",
                                        {QStringLiteral("-c"), QStringLiteral("bmp"), QStringLiteral("--memory=1K")}},
                             // A file that numbers its output waits for its turn while it holds its page; the file in
                             // turn must still get in.
                             BudgetCase{"CountersWaitForTheirTurn",
                                        {QStringLiteral("-c"), QStringLiteral("png"), QStringLiteral("--memory=300K"),
                                         QStringLiteral("--filename-mask=%n%-%filename%.%ext%")}},
                             // The steps that copy the page raise what a file needs.
                             BudgetCase{"CopyingSteps",
                                        {QStringLiteral("-c"), QStringLiteral("jpg"), QStringLiteral("--memory=2M"),
                                         QStringLiteral("--rotation=30"), QStringLiteral("--width=150"),
                                         QStringLiteral("--width-unit=percent"), QStringLiteral("--height=150"),
                                         QStringLiteral("--height-unit=percent"), QStringLiteral("--fr-solid-left=5")}},
                             // A budget from a profile acts like one on the command line.
                             BudgetCase{"BudgetFromAProfile",
                                        {QStringLiteral("-c"), QStringLiteral("tiff"),
                                         QStringLiteral("--profile=limits.ini")}}),
                         [](const testing::TestParamInfo<BudgetCase>& info) { return std::string(info.param.name); });

} // namespace
