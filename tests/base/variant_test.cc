#include "base/variant.h"

#include <gtest/gtest.h>

#include "base/platform_error.h"
#include "base/tick.h"

namespace qm {
namespace {

TEST(VariantToInt32Test, ReadsNumbersAndNumericTextsTheWayThePlatformConverts) {
    struct Case {
        Variant in;
        std::int32_t out;
    };
    const Case cases[] = {
        {Variant(468), 468},
        {Variant("468"), 468},
        {Variant(" 60 "), 60},
        {Variant("+7"), 7},
        {Variant("-3"), -3},
        {Variant("2.5"), 2},
        {Variant("3.5"), 4},
        {Variant(-2.5), -2},
        {Variant(".5"), 0},
        {Variant("1e3"), 1000},
        {Variant(true), -1},
        {Variant(false), 0},
        {Variant(2147483647.4), 2147483647},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VariantToInt32(c.in), c.out) << VariantToText(c.in);
    }
}

TEST(VariantToInt32Test, RefusesTextsThatAreNotNumbersAndValuesOutOfRange) {
    for (const Variant& v :
         {Variant("100%"), Variant(""), Variant("  "), Variant("12px"), Variant("inf"), Variant("nan"),
          Variant("0x10"), Variant(), Variant(2147483648.0), Variant("-2147483649")}) {
        EXPECT_THROW(VariantToInt32(v), PlatformError) << VariantToText(v);
    }
}

TEST(VariantIsTrueTest, AcceptsTheBooleanAndItsTextOnly) {
    EXPECT_TRUE(VariantIsTrue(Variant(true)));
    EXPECT_TRUE(VariantIsTrue(Variant("true")));
    EXPECT_TRUE(VariantIsTrue(Variant("TRUE")));
    EXPECT_FALSE(VariantIsTrue(Variant(false)));
    EXPECT_FALSE(VariantIsTrue(Variant("1")));
    EXPECT_FALSE(VariantIsTrue(Variant(1)));
    EXPECT_FALSE(VariantIsTrue(Variant()));
}

TEST(TickTest, DifferencesAndOrderHoldAcrossTheWrap) {
    constexpr Tick kMax = 2147483647;
    constexpr Tick kMin = -2147483647 - 1;
    static_assert(TickDiff(kMin, kMax) == 1);
    static_assert(TickDiff(kMax, kMin) == -1);
    static_assert(TickAfter(kMin + 500, kMax - 500));
    static_assert(!TickAfter(kMax - 500, kMin + 500));
    static_assert(TickAtOrAfter(5, 5));
    static_assert(TickDiff(-1, 0) == -1);
    static_assert(TickDiff(0, -1) == 1);
    SUCCEED();
}

}  // namespace
}  // namespace qm
