#include "cli/cli_values.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(CliValues, ValuesThatWouldBecomeZeroAreRefused) {
    EXPECT_FALSE(cli::positiveFloat(1e-50));  // --speed 1e-50
    EXPECT_FALSE(cli::positiveFloat(1e-46));  // --fps-override 1e-46
    EXPECT_FALSE(cli::positiveFloat(0));
    EXPECT_FALSE(cli::positiveFloat(-1));
    EXPECT_FALSE(cli::positiveFloat(1e300));
    EXPECT_FALSE(cli::positiveFloat(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(cli::positiveFloat(0.5), 0.5f);
    EXPECT_GT(*cli::positiveFloat(1e-40), 0.0f);  // a denormal float is still above 0

    EXPECT_FALSE(cli::bitsPerSecond(0.0001));  // 0.1 bit/s
    EXPECT_FALSE(cli::bitsPerSecond(0));
    EXPECT_FALSE(cli::bitsPerSecond(1e300));
    EXPECT_EQ(cli::bitsPerSecond(0.001), 1);
    EXPECT_EQ(cli::bitsPerSecond(2500), 2500000);
}

}  // namespace
