// The text a box shows of what an app wrote last: from the start of a line,
// at most the characters shown, decoded as UTF-8 or else in the ANSI code page.
#include "last_words.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring words(const std::string &bytes, bool cut)
{
    static wchar_t text[last_words_shown + 1];
    last_words(bytes.data(), bytes.size(), cut, text, last_words_shown + 1);
    return text;
}

std::string ansi(const std::wstring &text)
{
    std::string bytes(text.size() * 2, '\0');
    BOOL lossy = FALSE;
    bytes.resize(WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                                     static_cast<int>(bytes.size()), nullptr, &lossy));
    return lossy ? std::string() : bytes;
}

struct WordsCase {
    const char *name;
    std::string bytes;
    bool cut;
    std::wstring text;
};

void PrintTo(const WordsCase &c, std::ostream *os) { *os << c.name; }

class LastWords : public testing::TestWithParam<WordsCase> {};

TEST_P(LastWords, AreTheEndOfWhatWasWritten)
{
    EXPECT_EQ(words(GetParam().bytes, GetParam().cut), GetParam().text);
}

const std::string traceback = "Traceback (most recent call last):\r\n"
                              "  File \"C:\\Pkg\\app\\m\xc3\xa4in.py\", line 3, in <module>\r\n"
                              "ValueError: Gr\xc3\xb6\xc3\x9f" "e \xe2\x89\xa0 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9d\x84\x9e\r\n";
const std::wstring traceback_text = L"Traceback (most recent call last):\r\n"
                                    L"  File \"C:\\Pkg\\app\\m\x00e4in.py\", line 3, in <module>\r\n"
                                    L"ValueError: Gr\x00f6\x00df" L"e \x2260 \x65e5\x672c \xd834\xdd1e";

const WordsCase cases[] = {
    {"WholeUtf8TextWithoutItsClosingLineBreaks", traceback + "\r\n\n", false, traceback_text},
    {"NothingButLineBreaks", "\r\n\r\n", false, L""},
    {"CutStartsAfterTheFirstLineBreak", "st line\r\nnext\r\nlast", true, L"next\r\nlast"},
    {"CutInsideAUtf8SequenceStartsAtTheNextLine", "\x97\xa5 rest\nGr\xc3\xb6\xc3\x9f" "e", true,
     L"Gr\x00f6\x00df" L"e"},
    {"CutEndlessLineSkipsTheHalfCharacter", "\x9c\xac\xe6\x97\xa5 tail", true, L"\x65e5 tail"},
    {"NulShownAsReplacement", std::string("a\0b", 3), false, L"a\xfffd" L"b"},
};

INSTANTIATE_TEST_SUITE_P(Cases, LastWords, testing::ValuesIn(cases),
                         [](const testing::TestParamInfo<WordsCase> &info) { return std::string(info.param.name); });

TEST(LastWordsDecoding, FallsBackToTheAnsiCodePageForTextThatIsNotUtf8)
{
    const std::wstring text = L"Gr\x00f6\x00df" L"e ung\x00fcltig: caf\x00e9";
    std::string bytes = ansi(text);
    if (GetACP() == CP_UTF8 || bytes.empty())
        GTEST_SKIP() << "the ANSI code page " << GetACP() << " cannot show the difference";
    EXPECT_EQ(words(bytes, false), text);
}

TEST(LastWordsLength, IsAtMostTheShownCharactersFromALineStart)
{
    // Lines of 10 characters with their line break, numbered; the last is 9999.
    std::string bytes;
    for (int i = 0; i < 10000; ++i) {
        char number[16];
        snprintf(number, sizeof number, "line %04d\n", i);
        bytes += number;
    }
    std::string kept = bytes.substr(bytes.size() - last_words_kept);
    std::wstring text = words(kept, true);
    EXPECT_LE(text.size(), last_words_shown);
    EXPECT_GT(text.size(), last_words_shown - 10);
    EXPECT_EQ(text.substr(0, 5), L"line ") << "not from the start of a line";
    EXPECT_EQ(text.substr(text.size() - 9), L"line 9999");
}

TEST(LastWordsLength, NeverStartsInsideASurrogatePair)
{
    // One endless line of characters outside the BMP, two UTF-16 units each.
    std::string bytes;
    while (bytes.size() + 4 <= last_words_kept - 1)
        bytes += "\xf0\x9d\x84\x9e";
    bytes += "x"; // an odd count: the shown part would begin in a pair's middle
    std::wstring text = words(bytes, false);
    ASSERT_FALSE(text.empty());
    EXPECT_FALSE(IS_LOW_SURROGATE(text[0]));
    EXPECT_LE(text.size(), last_words_shown);
}

TEST(LastWordsLength, StaysWithinTheCallersCapacity)
{
    wchar_t text[8];
    last_words("0123456789", 10, false, text, 8);
    EXPECT_STREQ(text, L"0123456");
}

} // namespace
