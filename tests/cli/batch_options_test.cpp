#include "cli/batch_options.h"

#include <gtest/gtest.h>

namespace {

TEST(Shard, ReadsKOfNAndRefusesEverythingElse)
{
    struct Case {
        const char* value;
        std::optional<int> index; // 0-based
        int count;
    };
    const Case cases[] = {
        {"1/1", 0, 1},
        {"3/4", 2, 4},
        {" 2 / 5 ", 1, 5},
        {"7/7", 6, 7},
        {"0/4", std::nullopt, 0},
        {"5/4", std::nullopt, 0},
        {"1/0", std::nullopt, 0},
        {"-1/2", std::nullopt, 0},
        {"1/2/3", std::nullopt, 0},
        {"", std::nullopt, 0},
        {"1", std::nullopt, 0},
        {"a/b", std::nullopt, 0},
        {"99999999999/99999999999", std::nullopt, 0},
    };
    for (const Case& c : cases) {
        const std::optional<ShardSelection> shard = readShard(QString::fromUtf8(c.value));
        ASSERT_EQ(shard.has_value(), c.index.has_value()) << c.value;
        if (shard) {
            EXPECT_EQ(shard->index, *c.index) << c.value;
            EXPECT_EQ(shard->count, c.count) << c.value;
        }
    }
}

TEST(Shard, EveryPositionBelongsToExactlyOneShard)
{
    for (int count = 1; count <= 6; ++count) {
        for (int position = 0; position < 50; ++position) {
            int owners = 0;
            for (int k = 1; k <= count; ++k) {
                owners += readShard(QStringLiteral("%1/%2").arg(k).arg(count))->takes(position) ? 1 : 0;
            }
            EXPECT_EQ(owners, 1) << position << " of " << count << " shards";
        }
    }
}

} // namespace
