#include "watch/ad_url.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"

namespace qm {
namespace {

struct AdUrlCase {
    std::string url;
    bool isAd;
    const char* why;
};

std::ostream& operator<<(std::ostream& out, const AdUrlCase& c) {
    return out << '"' << c.url << "\" (" << c.why << ')';
}

class AdUrlTest : public ::testing::TestWithParam<AdUrlCase> {};

TEST_P(AdUrlTest, JudgesTheAddress) {
    EXPECT_EQ(IsAdUrl(GetParam().url), GetParam().isAd);
}

// "\xE2\x84\xAA" is the Kelvin sign and "\xC4\xB0" the capital I with a dot above: their lower case is an
// ASCII letter, but only ASCII letters are lower-cased, so here they are non-letters like any other
// non-ASCII character.
INSTANTIATE_TEST_SUITE_P(
    Addresses,
    AdUrlTest,
    ::testing::Values(AdUrlCase{"w.abc.com/download/ads/x.gif", false, "load beats ads"},
                      AdUrlCase{"w.abc.com/advice/banner.gif", false, "advi"},
                      AdUrlCase{"adserver.abc.com/x.gif", true, "ads"},
                      AdUrlCase{"w.abc.com/adv/x.gif", true, "adv"},
                      AdUrlCase{"w.abc.com/x.gif?ref=9", true, "?ref"},
                      AdUrlCase{"w.abc.com/ad/468x60.gif", true, "ad between slashes"},
                      AdUrlCase{"w.abc.com/AD_1.GIF", true, "upper case, slash and underscore around"},
                      AdUrlCase{"w.abc.com/shadow.png", false, "letter before ad"},
                      AdUrlCase{"w.abc.com/head.gif", false, "letter before the only ad"},
                      AdUrlCase{"w.abc.com/head/ad.gif", true, "second ad stands alone"},
                      AdUrlCase{"w.abc.com/bad", true, "ad closes the text"},
                      AdUrlCase{"adx.abc.com", true, "ad opens the text"},
                      AdUrlCase{"", false, "empty"},
                      AdUrlCase{"a", false, "one character"},
                      AdUrlCase{"d", false, "one character"},
                      AdUrlCase{"ad", true, "ad is the whole text"},
                      AdUrlCase{"AD", true, "ad is the whole text, upper case"},
                      AdUrlCase{"xadx", false, "letters on both sides"},
                      AdUrlCase{"xad1", false, "letter before only"},
                      AdUrlCase{"1adx", false, "letter after only"},
                      AdUrlCase{"1ad1", true, "digits on both sides"},
                      AdUrlCase{"w.abc.com/Xadz/i.gif", false, "upper-case letter counts as a letter"},
                      AdUrlCase{"w.abc.com/[ad]/i.gif", true,
                                "brackets sort between the cases but are no letters"},
                      AdUrlCase{"w.abc.com/{ad}/i.gif", true, "braces sort above z"},
                      AdUrlCase{"w.abc.com/@ad`/i.gif", true, "characters just outside a to z"},
                      AdUrlCase{"w.abc.com/\xC3\xA9"
                                "ad\xC3\xA9/i.gif",
                                true, "non-ASCII letters on both sides"},
                      AdUrlCase{"w.abc.com/\xE2\x84\xAA"
                                "ad/i.gif",
                                true, "Kelvin sign is no letter"},
                      AdUrlCase{"w.abc.com/ADV\xC4\xB0"
                                "CE/x.gif",
                                true, "dotted capital I does not make advi"},
                      AdUrlCase{"w.abc.com/shadow/heading/ad", true, "repeated ad, the last closes the text"},
                      AdUrlCase{"w.abc.com/shadow/heading/adding", false, "repeated ad, none alone"},
                      AdUrlCase{"w.abc.com/header/loader/ad.gif", false, "load beats a standalone ad"},
                      AdUrlCase{"ads.abc.com/DOWNLOAD", false, "exclusion after the ad word"},
                      AdUrlCase{"w.abc.com/sponsor/advisor.gif", false, "advi beats sponsor"},
                      AdUrlCase{"w.abc.com/PROMOTION?REF=1&load=2", false, "load beats promot and ?ref"},
                      AdUrlCase{"w.abc.com/Sponsored/x.gif", true, "sponsor in any case"},
                      AdUrlCase{"w.abc.com/promo/x.gif", false, "promo is not promot"},
                      AdUrlCase{"w.abc.com/x.gif?referrer", true, "?ref inside a longer word"},
                      AdUrlCase{"w.abc.com/x.gif&ref=1", false, "ref without the question mark"},
                      AdUrlCase{"w.abc.com/lo-ad/x.gif", true, "lo-ad is not load"},
                      AdUrlCase{"w.abc.com/sponso", false, "ad word cut off at the end"},
                      AdUrlCase{"w.abc.com/lOaD", false, "exclusion in mixed case"}));

// The rule read literally, as an independent check on the one-pass scan: a lower-cased copy, the substring
// searches in their order, then the walk from one "ad" to the next.
bool LiteralIsAd(std::string_view url) {
    const std::string s = ToLowerAscii(url);
    if (Contains(s, "load") || Contains(s, "advi")) {
        return false;
    }
    for (const char* word : {"ads", "adv", "sponsor", "promot", "?ref"}) {
        if (Contains(s, word)) {
            return true;
        }
    }
    const auto isLetter = [](char c) { return c >= 'a' && c <= 'z'; };
    for (std::size_t p = s.find("ad"); p != std::string::npos; p = s.find("ad", p + 1)) {
        if (p == 0 || p + 2 == s.size() || (!isLetter(s[p - 1]) && !isLetter(s[p + 2]))) {
            return true;
        }
    }
    return false;
}

// The scan on a copy of `url` in a buffer of exactly its size, so that the address sanitizer catches any
// read past its end.
bool ScanExact(const std::string& url) {
    const std::vector<char> exact(url.begin(), url.end());
    return IsAdUrl(std::string_view(exact.data(), exact.size()));
}

// Each word at every place of texts of several lengths (around the shortest that the scan reads in blocks,
// and longer), so that it opens, straddles and closes the blocks that the scan reads at once, with letters
// or non-letters on either side.
TEST(AdUrlScanTest, FindsEachWordAtEveryPlace) {
    const std::string fillers = "x/X\xE9";
    for (const std::string word : {"load", "LoAd", "advi", "ads", "adv", "ad", "Ad", "sponsor", "SPONSOR",
                                   "promot", "?ref", "?REF", "spo", "pro", "?re", "a", "d"}) {
        for (const char before : fillers) {
            for (const char after : fillers) {
                for (std::size_t length : {18u, 19u, 20u, 35u, 53u}) {
                    for (std::size_t at = 0; at + word.size() <= length; ++at) {
                        const std::string url =
                            std::string(at, before) + word + std::string(length - at - word.size(), after);
                        ASSERT_EQ(ScanExact(url), LiteralIsAd(url)) << '"' << url << '"';
                    }
                }
            }
        }
    }
}

// Texts pieced together at random from parts of the words, their upper case and their possible
// neighbours, with plain letters and separators weighted so that most texts hold no more than a word or
// two.
TEST(AdUrlScanTest, AgreesWithTheLiteralRuleOnRandomTexts) {
    const std::string_view parts[] = {"x",  "x",  "x", "q",  "/",  "/",        "/",    "9",  ".",
                                      "_",  "-",  "[", "`",  "{",  "\xC3\xA9", "\x1F", "ad", "AD",
                                      "aD", "a",  "d", "lo", "LO", "v",        "i",    "s",  "sp",
                                      "pr", "?r", "?", "e",  "o",  "nsor",     "mot",  "f"};
    std::uint64_t state = 0x5EED;
    const auto next = [&state](std::size_t below) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::size_t>(state >> 33) % below;
    };
    int ads = 0;
    constexpr int kRounds = 30000;
    for (int round = 0; round < kRounds; ++round) {
        std::string url;
        for (std::size_t count = next(40); count > 0; --count) {
            url += parts[next(std::size(parts))];
        }
        const bool expected = LiteralIsAd(url);
        ASSERT_EQ(ScanExact(url), expected) << '"' << url << '"';
        ads += expected ? 1 : 0;
    }
    // Both answers come up often enough for the comparison to mean something.
    EXPECT_GT(ads, kRounds / 5);
    EXPECT_LT(ads, kRounds * 4 / 5);
}

}  // namespace
}  // namespace qm
