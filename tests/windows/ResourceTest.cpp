// The window's resources as Windows reads them from QK4410ConfTool.exe: the version
// resource, whose values come from VersionInfo.h, and icon 128.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "GbkCodec.h"
#include "VersionInfo.h"

namespace qk {
namespace {

const wchar_t* const kProgram = L"" QK_PROGRAM_PATH;

std::string Utf8(const wchar_t* wide, int length) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, length, text.data(), size, nullptr, nullptr);
    return text;
}

std::string FromGbk(std::string_view gbk) {
    std::string utf8;
    DecodeGbk(
        gbk, [&](std::string_view text) { utf8 += text; }, [](unsigned char) {});
    return utf8;
}

TEST(ResourceTest, VersionResourceHoldsTheVersionData) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(kProgram, &ignored);
    ASSERT_GT(size, 0u) << "no version resource, error " << GetLastError();
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(kProgram, 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const auto packed = [](const std::array<int, 4>& v) {
        return std::pair<DWORD, DWORD>(MAKELONG(v[1], v[0]), MAKELONG(v[3], v[2]));
    };
    EXPECT_EQ(std::pair(fixed->dwFileVersionMS, fixed->dwFileVersionLS), packed(res::kFileVersion));
    EXPECT_EQ(std::pair(fixed->dwProductVersionMS, fixed->dwProductVersionLS),
              packed(res::kProductVersion));
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, 4u);
    EXPECT_EQ(fixed->dwFileType, 1u);
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
    EXPECT_EQ(fixed->dwFileDateMS | fixed->dwFileDateLS, 0u);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], res::kVersionLanguage);
    EXPECT_EQ(translation[1], res::kVersionCodePage);

    for (const auto& [key, value] : res::kVersionStrings) {
        const std::wstring query =
            L"\\StringFileInfo\\080404b0\\" + std::wstring(key.begin(), key.end());
        wchar_t* text = nullptr;
        const bool found =
            VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&text), &length);
        const std::string got = found && length > 0 ? Utf8(text, static_cast<int>(length) - 1) : "";
        EXPECT_EQ(got, FromGbk(value)) << key;
    }
}

TEST(ResourceTest, Icon128HoldsA32And16PixelImageOf16Colours) {
    const HMODULE program = LoadLibraryExW(kProgram, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program, nullptr) << "error " << GetLastError();
    const HRSRC group = FindResourceW(program, MAKEINTRESOURCEW(128), MAKEINTRESOURCEW(14));
    ASSERT_NE(group, nullptr);  // 14: RT_GROUP_ICON
    const auto* directory = static_cast<const BYTE*>(LockResource(LoadResource(program, group)));
    ASSERT_NE(directory, nullptr);
    const auto word = [&](std::size_t at) { return directory[at] | directory[at + 1] << 8; };
    ASSERT_EQ(word(4), 2);  // images
    std::vector<std::string> images;
    for (std::size_t entry = 6; entry < 6 + 2 * 14; entry += 14) {
        const int id = word(entry + 12);
        images.push_back(std::to_string(directory[entry]) + "x" +
                         std::to_string(directory[entry + 1]) + ", " +
                         std::to_string(directory[entry + 2]) + " colours, " +
                         std::to_string(word(entry + 6)) + " bits");
        const HRSRC image = FindResourceW(program, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3));
        ASSERT_NE(image, nullptr);  // 3: RT_ICON
        const HICON icon =
            CreateIconFromResourceEx(static_cast<BYTE*>(LockResource(LoadResource(program, image))),
                                     SizeofResource(program, image), TRUE, 0x00030000, 0, 0, 0);
        EXPECT_NE(icon, nullptr) << images.back();
        DestroyIcon(icon);
    }
    EXPECT_THAT(images,
                testing::ElementsAre("32x32, 16 colours, 4 bits", "16x16, 16 colours, 4 bits"));
    FreeLibrary(program);
}

}  // namespace
}  // namespace qk
