#include "base/text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace qm {
namespace {

using namespace std::string_literals;

struct CaseCase {
    const char* what;
    std::string text;
    std::string upper;
    std::string lower;
};

class TextCaseTest : public ::testing::TestWithParam<CaseCase> {};

TEST_P(TextCaseTest, ChangesTheCaseOfAsciiLettersAndOfNothingElse) {
    const CaseCase& c = GetParam();
    EXPECT_EQ(ToUpperAscii(c.text), c.upper) << c.what;
    EXPECT_EQ(ToLowerAscii(c.text), c.lower) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    TextCaseTest,
    ::testing::Values(
        CaseCase{"empty", "", "", ""},
        CaseCase{"letters", "iframe", "IFRAME", "iframe"},
        CaseCase{"mixed, with digits and signs", "Hello, World 42!", "HELLO, WORLD 42!", "hello, world 42!"},
        // The neighbours of the letter ranges: @ [ ` { are not letters.
        CaseCase{"range edges", "@AZ[`az{", "@AZ[`AZ{", "@az[`az{"},
        // UTF-8 letters outside ASCII stay exactly as they are, byte for byte.
        CaseCase{"UTF-8",
                 "stra\xc3\x9f"
                 "e \xc3\xa9t\xc3\x89",
                 "STRA\xc3\x9f"
                 "E \xc3\xa9T\xc3\x89",
                 "stra\xc3\x9f"
                 "e \xc3\xa9t\xc3\x89"},
        CaseCase{"bytes above 0x7F", "\x80\xc1\xe1\xff", "\x80\xc1\xe1\xff", "\x80\xc1\xe1\xff"},
        // A NUL inside the text neither ends it nor changes.
        CaseCase{"NUL inside", "a\0b"s, "A\0B"s, "a\0b"s}),
    [](const ::testing::TestParamInfo<CaseCase>& param) { return "Case" + std::to_string(param.index); });

struct TrimCase {
    std::string text;
    std::string whitespaceTrimmed;  // TrimAsciiWhitespace
    std::string spacesTrimmed;      // TrimSpaces
};

class TextTrimTest : public ::testing::TestWithParam<TrimCase> {};

TEST_P(TextTrimTest, DropsWhiteSpaceAtTheEndsOnly) {
    const TrimCase& c = GetParam();
    EXPECT_EQ(TrimAsciiWhitespace(c.text), c.whitespaceTrimmed);
    EXPECT_EQ(TrimSpaces(c.text), c.spacesTrimmed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    TextTrimTest,
    ::testing::Values(TrimCase{"", "", ""},
                      TrimCase{" ", "", ""},
                      TrimCase{" \t\n\r\f\v", "", "\n\r\f\v"},
                      TrimCase{"x", "x", "x"},
                      TrimCase{"  display : none ;  ", "display : none ;", "display : none ;"},
                      TrimCase{"\r\n\tcolor: red\f\v\n", "color: red", "\r\n\tcolor: red\f\v\n"},
                      TrimCase{" \ta b\t ", "a b", "a b"},
                      // White space inside stays, however much of it there is.
                      TrimCase{"a \n\n b", "a \n\n b", "a \n\n b"},
                      // A no-break space (UTF-8 C2 A0) and a NUL are not ASCII white space.
                      TrimCase{"\xc2\xa0x\xc2\xa0", "\xc2\xa0x\xc2\xa0", "\xc2\xa0x\xc2\xa0"},
                      TrimCase{" \0x\0 "s, "\0x\0"s, "\0x\0"s}));

TEST(TextTest, TrimmingGivesAViewIntoTheTextItself) {
    // Callers keep the trimmed view as long as they keep the text; it must not point anywhere else.
    const std::string text = "\t value \n";
    const std::string_view trimmed = TrimAsciiWhitespace(text);
    EXPECT_EQ(trimmed.data(), text.data() + 2);
    EXPECT_EQ(trimmed.size(), 5u);
}

struct EqualCase {
    const char* a;
    const char* b;
    bool equal;
};

class TextEqualTest : public ::testing::TestWithParam<EqualCase> {};

TEST_P(TextEqualTest, ComparesAsciiLettersWithoutRegardToCase) {
    const EqualCase& c = GetParam();
    EXPECT_EQ(EqualsIgnoreAsciiCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
    EXPECT_EQ(EqualsIgnoreAsciiCase(c.b, c.a), c.equal) << "either way round";
}

INSTANTIATE_TEST_SUITE_P(Cases,
                         TextEqualTest,
                         ::testing::Values(EqualCase{"", "", true},
                                           EqualCase{"IFRAME", "iframe", true},
                                           EqualCase{"iExplore.EXE", "IEXPLORE.exe", true},
                                           EqualCase{"abc", "abd", false},
                                           EqualCase{"abc", "ab", false},
                                           EqualCase{"", "a", false},
                                           // Signs one case bit apart from each other are not letters.
                                           EqualCase{"@", "`", false},
                                           EqualCase{"[", "{", false},
                                           EqualCase{"^", "~", false},
                                           // Letters outside ASCII are compared as they are.
                                           EqualCase{"\xc3\xa9", "\xc3\x89", false},
                                           EqualCase{"\xc3\xa9", "\xc3\xa9", true}));

struct EscapeCase {
    const char* what;
    const char* text;
    const char* attribute;
    const char* content;
};

class TextEscapeTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(TextEscapeTest, EscapesWhatWouldEndTheValueOrStartMarkup) {
    const EscapeCase& c = GetParam();
    EXPECT_EQ(EscapeHtmlAttribute(c.text), c.attribute) << c.what;
    EXPECT_EQ(EscapeHtmlText(c.text), c.content) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    TextEscapeTest,
    ::testing::Values(EscapeCase{"nothing to escape", "http://a.example/x?y=1", "http://a.example/x?y=1",
                                 "http://a.example/x?y=1"},
                      EscapeCase{"empty", "", "", ""},
                      EscapeCase{"every sign", "a&b\"c<d>e'f", "a&amp;b&quot;c&lt;d&gt;e'f",
                                 "a&amp;b\"c&lt;d&gt;e'f"},
                      // What looks escaped already is escaped again: the text is taken as it is.
                      EscapeCase{"an entity in the text", "&amp;", "&amp;amp;", "&amp;amp;"},
                      EscapeCase{"a tag in a link's address", "\"><script>", "&quot;&gt;&lt;script&gt;",
                                 "\"&gt;&lt;script&gt;"},
                      EscapeCase{"UTF-8 passes through", "caf\xc3\xa9 \xe2\x82\xac",
                                 "caf\xc3\xa9 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x82\xac"}));

TEST(TextTest, DigitsAreTheTenAsciiDigitsOnly) {
    for (char c = '0'; c <= '9'; ++c) {
        EXPECT_TRUE(IsAsciiDigit(c)) << c;
    }
    for (const char c : {'/', ':', 'a', ' ', '\0', '\xb2' /* superscript two in Latin-1 */}) {
        EXPECT_FALSE(IsAsciiDigit(c)) << static_cast<int>(c);
    }
}

TEST(TextTest, ContainsFindsAPartAnywhere) {
    EXPECT_TRUE(Contains("doubleclick.net/ad", "click"));
    EXPECT_TRUE(Contains("abc", "abc"));
    EXPECT_TRUE(Contains("abc", ""));
    EXPECT_FALSE(Contains("ab", "abc"));
    EXPECT_FALSE(Contains("ABC", "b")) << "case counts";
    EXPECT_TRUE(Contains("a\0b"s, "\0b"s));
}

}  // namespace
}  // namespace qm
