// The launcher's version resource, read as Windows reads it: through
// GetFileVersionInfoW and VerQueryValueW. None unless the build asked for one.
#include "harness.h"

#include <string>
#include <vector>

namespace {

TEST(VersionResource, HoldsWhatTheBuildWasGiven)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(launcher_exe.c_str(), &handle);
    if (read_setting(L"version_info") != L"ON") {
        EXPECT_EQ(size, 0u) << "a version resource the build did not ask for";
        return;
    }
    ASSERT_NE(size, 0u) << "no version resource: error " << GetLastError();
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(launcher_exe.c_str(), 0, size, info.data()));

    void *value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(static_cast<WORD *>(value)[0], 0x0409) << "U.S. English";
    EXPECT_EQ(static_cast<WORD *>(value)[1], 1200) << "Unicode";

    std::wstring name = read_setting(L"name");
    std::wstring version = read_setting(L"version");
    struct {
        const wchar_t *key;
        std::wstring expected; // empty: left out
    } strings[] = {
        {L"ProductName", read_setting(L"product")},
        {L"FileDescription", read_setting(L"description")},
        {L"CompanyName", read_setting(L"company")},
        {L"LegalCopyright", read_setting(L"copyright")},
        {L"FileVersion", version},
        {L"ProductVersion", version},
        {L"OriginalFilename", name + L".exe"},
        {L"InternalName", name},
    };
    for (auto &s : strings) {
        std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + s.key;
        bool found = VerQueryValueW(info.data(), path.c_str(), &value, &length) && length > 0;
        if (s.expected.empty()) {
            EXPECT_FALSE(found) << testing::PrintToString(std::wstring(s.key)) << " is there";
        } else {
            ASSERT_TRUE(found) << testing::PrintToString(std::wstring(s.key)) << " is missing";
            EXPECT_EQ(std::wstring(static_cast<wchar_t *>(value)), s.expected);
        }
    }

    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    auto *fixed = static_cast<VS_FIXEDFILEINFO *>(value);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    WORD numbers[4] = {};
    swscanf(version.c_str(), L"%hu.%hu.%hu.%hu", &numbers[0], &numbers[1], &numbers[2], &numbers[3]);
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(numbers[1], numbers[0])));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(numbers[3], numbers[2])));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileFlags, 0u);
}

} // namespace
