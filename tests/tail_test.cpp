#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tail.h"

namespace {

// Places `text` and its NUL flush against a PAGE_NOACCESS page, so that a scan
// reading one code unit past the terminator faults.
class GuardedText {
public:
    explicit GuardedText(const std::wstring &text)
    {
        SYSTEM_INFO si;
        GetSystemInfo(&si);
        size_t bytes = (text.size() + 1) * sizeof(wchar_t);
        size_t pages = (bytes + si.dwPageSize - 1) / si.dwPageSize;
        size_t size = pages * si.dwPageSize;
        base_ = static_cast<char *>(VirtualAlloc(nullptr, size + si.dwPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(base_ + size, si.dwPageSize, PAGE_NOACCESS, &old);
        text_ = reinterpret_cast<wchar_t *>(base_ + size - bytes);
        std::memcpy(text_, text.c_str(), bytes);
    }
    ~GuardedText() { VirtualFree(base_, 0, MEM_RELEASE); }
    GuardedText(const GuardedText &) = delete;
    GuardedText &operator=(const GuardedText &) = delete;

    const wchar_t *get() const { return text_; }

private:
    char *base_;
    wchar_t *text_;
};

struct TailCase {
    const char *name;
    std::wstring line;
    std::wstring tail;
};

void PrintTo(const TailCase &c, std::ostream *os) { *os << c.name; }

class CommandTail : public testing::TestWithParam<TailCase> {};

TEST_P(CommandTail, FindsTheTailInPlace)
{
    const TailCase &c = GetParam();
    GuardedText line(c.line);
    const wchar_t *tail = command_tail(line.get());
    ASSERT_GE(tail, line.get());
    ASSERT_LE(tail, line.get() + c.line.size());
    EXPECT_EQ(std::wstring(tail), c.tail);
    EXPECT_EQ(static_cast<size_t>(tail - line.get()), c.line.size() - c.tail.size());
}

const TailCase cases[] = {
    {"QuotedNameWithBlank", L"\"C:\\Pkg Dir\\run.exe\" --x \"a b\"", L"--x \"a b\""},
    {"NameAlone", L"run.exe", L""},
    {"NameAndBlanksAndTabs", L"run.exe  \t \t", L""},
    {"TabsSeparate", L"run.exe\t\tfoo", L"foo"},
    {"QuotedBlankInsideName", L"a\"b c\"d e", L"e"},
    {"ClosingQuoteDoesNotEndName", L"\"x y\"z w", L"w"},
    {"BackslashEscapesNothing", L"a\\\"b c", L""},
    {"UnclosedQuote", L"\"C:\\Pkg Dir\\run.exe x", L""},
    {"UnclosedQuoteWithTabAndNewline", L"\"run.exe\"\"x\ty\nz", L""},
    {"TrailingBlanksKept", L"run.exe  a  ", L"a  "},
    {"QuotesAndBackslashesInTailKept", L"run.exe \"a b\" \\\"c\\\" d", L"\"a b\" \\\"c\\\" d"},
    {"LeadingBlankMeansEmptyName", L" run.exe a", L"run.exe a"},
    {"LeadingBlankBeforeQuotedName", L" \"C:\\Pkg Dir\\run.exe\" x", L"\"C:\\Pkg Dir\\run.exe\" x"},
    {"LeadingTab", L"\trun.exe", L"run.exe"},
    {"Code01Separates", L"run.exe\x01" L"foo", L"foo"},
    {"Code1FSeparates", L"run.exe\x1f" L"foo", L"foo"},
    {"NewlineAndReturnSeparate", L"run.exe\r\n\x0b\x0c" L"foo", L"foo"},
    {"EveryControlCodeSkipped",
     L"run.exe\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f"
     L"\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f\x20" L"foo",
     L"foo"},
    {"Code7FIsPartOfName", L"run.exe\x7f" L"foo", L""},
    {"Code7FAfterBlankStartsTail", L"run.exe \x7f" L"foo", L"\x7f" L"foo"},
    {"NoBreakSpaceIsPartOfName", L"run.exe\x00a0" L"foo", L""},
    {"NoBreakSpaceAfterBlankStartsTail", L"run.exe \x00a0" L"foo", L"\x00a0" L"foo"},
    {"IdeographicSpaceIsPartOfName", L"run.exe\x3000" L"foo", L""},
    {"IdeographicSpaceAfterBlankStartsTail", L"run.exe \x3000" L"foo", L"\x3000" L"foo"},
    {"SurrogatesAndLoneSurrogates", L"\xd834\xdd1e.exe \xd800 \xdd1e", L"\xd800 \xdd1e"},
    {"QuotedControlCodesInName", L"\"a\x01" L"b\tc\" d", L"d"},
    {"EmptyLine", L"", L""},
    {"OnlyBlanks", L"   ", L""},
};

INSTANTIATE_TEST_SUITE_P(Rule, CommandTail, testing::ValuesIn(cases),
                         [](const testing::TestParamInfo<TailCase> &info) { return std::string(info.param.name); });

TEST(CommandTailAbsent, IsTheEmptyText)
{
    const wchar_t *tail = command_tail(nullptr);
    ASSERT_NE(tail, nullptr);
    EXPECT_EQ(*tail, L'\0');
}

} // namespace
