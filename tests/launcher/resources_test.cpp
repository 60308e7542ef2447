// The resources linked into tqVornStart.exe, read the way Windows reads them.
#include <gtest/gtest.h>

#include <vector>

#include "resources/resource_ids.h"
#include "tests/support/test_support.h"

namespace tqtest {
namespace {

class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        module = LoadLibraryExW(exe.c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module, nullptr);
    }
    void TearDown() override {
        if (module != nullptr)
            FreeLibrary(module);
    }
    std::wstring exe = ExecutableFolder() + L"\\tqVornStart.exe";
    HMODULE module = nullptr;
};

TEST_F(ResourcesTest, VersionBlock) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, (1u << 16) | 0u);
    EXPECT_EQ(fixed->dwFileVersionLS, (10u << 16) | 493u);
    EXPECT_EQ(fixed->dwProductVersionMS, (1u << 16) | 0u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);

    const struct {
        const wchar_t* key;
        const wchar_t* value;
    } strings[] = {
        {L"FileDescription", L"\u30b7\u30b9\u30c6\u30e0\u8d77\u52d5\u30fb\u81ea\u52d5\u66f4\u65b0"},
        {L"OriginalFilename", L"tqVornStart.exe"},
        {L"FileVersion", L"1.0.10.493"},
        {L"ProductVersion", L"1.0"},
    };
    for (const auto& s : strings) {
        wchar_t* value = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\041104b0\\") + s.key;
        ASSERT_TRUE(
            VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            << Narrow(s.key);
        EXPECT_EQ(std::wstring(value), s.value) << Narrow(s.key);
    }
}

TEST_F(ResourcesTest, IconsManifestAndSplashPicture) {
    EXPECT_NE(LoadIconW(module, MAKEINTRESOURCEW(IDI_APP_ICON)), nullptr);

    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(IDI_APP_GROUP), RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    const auto* header = static_cast<const WORD*>(LockResource(LoadResource(module, group)));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header[2], 3u);  // idCount: three images

    HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(module, manifest))),
                           SizeofResource(module, manifest));
    EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(
        text.find(
            "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">false"),
        std::string::npos);

    HRSRC splash = FindResourceW(module, MAKEINTRESOURCEW(IDR_SPLASH_PNG), RT_RCDATA);
    ASSERT_NE(splash, nullptr);
    const auto* png = static_cast<const unsigned char*>(LockResource(LoadResource(module, splash)));
    ASSERT_GE(SizeofResource(module, splash), 33u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(png) + 1, 3), "PNG");
    const auto be32 = [png](int at) {
        return (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
    };
    EXPECT_EQ(be32(16), 500);  // IHDR width
    EXPECT_EQ(be32(20), 396);  // IHDR height
    EXPECT_EQ(png[25], 6);     // colour type: RGBA
}

}  // namespace
}  // namespace tqtest
