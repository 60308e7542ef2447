#include <gtest/gtest.h>

#include <d2d1.h>
#include <dwrite.h>
#include <wincodec.h>

#include <string>
#include <thread>
#include <vector>

#include "launcher/app_context.h"
#include "resources/resource_ids.h"
#include "tests/diag/log_fixture.h"
#include "ui/graphics_context.h"
#include "ui/text_style.h"

namespace {

using ncGraphics::GetTextStyle;

constexpr std::uint16_t kSecondImageId = 20003;  // see ui_tests.rc.in

struct StyleCase {
    std::uint32_t index;
    const wchar_t* family;
    float size;
    int weight;
    int stretch;
};

TEST(TextStyles, TableEntriesAndOutOfRangeIndex) {
    const StyleCase cases[] = {
        {0, L"Yu Gothic UI", 13.5f, 400, 5},    {4, L"Yu Gothic UI", 18, 600, 5},
        {9, L"Yu Gothic UI", 12, 400, 5},       {11, L"Yu Gothic UI", 12.5f, 700, 9},
        {14, L"Yu Gothic UI", 13, 700, 7},      {17, L"MS Gothic", 12, 400, 5},
        {22, L"MS Gothic", 10, 400, 5},         {23, L"Yu Gothic UI", 13.5f, 400, 5},
        {1000, L"Yu Gothic UI", 13.5f, 400, 5},
    };
    for (const StyleCase& c : cases) {
        const ncGraphics::TextStyle& style = GetTextStyle(c.index);
        EXPECT_EQ(style.family, c.family) << c.index;
        EXPECT_FLOAT_EQ(style.size, c.size) << c.index;
        EXPECT_EQ(style.weight, c.weight) << c.index;
        EXPECT_EQ(style.stretch, c.stretch) << c.index;
        EXPECT_EQ(style.style, 0) << c.index;
        EXPECT_EQ(style.locale, L"ja-jp") << c.index;
    }
    EXPECT_EQ(&GetTextStyle(23), &GetTextStyle(0));
}

TEST(TextStyles, GdiFontIsMadeOnceFromTheStyle) {
    HFONT font = ncGraphics::GetGdiFont(0);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(ncGraphics::GetGdiFont(0), font);
    LOGFONTW described{};
    ASSERT_NE(GetObjectW(font, sizeof(described), &described), 0);
    EXPECT_EQ(described.lfHeight, -14);
    EXPECT_EQ(described.lfWeight, 400);
    EXPECT_EQ(std::wstring(described.lfFaceName), L"Yu Gothic UI");
}

TEST(TextStyles, LogFontRoundsSizeAndTruncatesFamily) {
    ncGraphics::TextStyle style;
    style.family = std::wstring(40, L'F');
    style.size = 0.2f;
    style.style = 2;
    LOGFONTW font = ncGraphics::LogFontForStyle(style);
    EXPECT_EQ(font.lfHeight, -1);
    EXPECT_EQ(font.lfItalic, 1);
    EXPECT_EQ(std::wstring(font.lfFaceName), std::wstring(31, L'F'));
    style.size = 12.5f;
    EXPECT_EQ(ncGraphics::LogFontForStyle(style).lfHeight, -13);
}

TEST(ImageResource, DecodesTheSplashAsPremultipliedBgra) {
    IWICBitmapSource* source = nullptr;
    ASSERT_EQ(ncGraphics::LoadImageResource(IDR_SPLASH_PNG, &source), S_OK);
    ASSERT_NE(source, nullptr);
    UINT width = 0, height = 0;
    source->GetSize(&width, &height);
    EXPECT_EQ(width, 500u);
    EXPECT_EQ(height, 396u);
    WICPixelFormatGUID format{};
    source->GetPixelFormat(&format);
    EXPECT_TRUE(IsEqualGUID(format, GUID_WICPixelFormat32bppPBGRA));
    // The unused corner of the bottom rows is transparent, the background opaque.
    BYTE pixel[4] = {};
    WICRect corner{480, 390, 1, 1};
    ASSERT_EQ(source->CopyPixels(&corner, 4, 4, pixel), S_OK);
    EXPECT_EQ(pixel[3], 0);
    WICRect background{250, 100, 1, 1};
    ASSERT_EQ(source->CopyPixels(&background, 4, 4, pixel), S_OK);
    EXPECT_EQ(pixel[3], 255);
    source->Release();
}

TEST(ImageResource, BadRequestsAnswerTheirErrors) {
    IWICBitmapSource* source = reinterpret_cast<IWICBitmapSource*>(1);
    EXPECT_EQ(ncGraphics::LoadImageResource(IDR_SPLASH_PNG, nullptr), E_INVALIDARG);
    EXPECT_EQ(ncGraphics::LoadImageResource(0, &source), E_INVALIDARG);

    // What FindResourceW leaves for an id the program does not carry.
    SetLastError(0);
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(777), MAKEINTRESOURCEW(10)), nullptr);
    const DWORD notFound = GetLastError();
    ASSERT_NE(notFound, 0u);
    EXPECT_EQ(ncGraphics::LoadImageResource(777, &source), HRESULT_FROM_WIN32(notFound));
    EXPECT_EQ(source, nullptr);

    IWICImagingFactory* factory = ncApp::Context().wicFactory;
    ncApp::Context().wicFactory = nullptr;
    EXPECT_EQ(ncGraphics::LoadImageResource(IDR_SPLASH_PNG, &source), E_UNEXPECTED);
    ncApp::Context().wicFactory = factory;
}

TEST(ImageResource, CacheSharesOneSourceAndRemembersNoFailure) {
    IWICBitmapSource* first = ncGraphics::GetCachedImageSource(IDR_SPLASH_PNG);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(ncGraphics::GetCachedImageSource(IDR_SPLASH_PNG), first);
    EXPECT_EQ(ncGraphics::GetCachedImageSource(778), nullptr);

    // A lookup that failed for want of the factory leaves no entry: the next
    // one loads (kSecondImageId is a second copy of the picture, not yet cached).
    IWICImagingFactory* factory = ncApp::Context().wicFactory;
    ncApp::Context().wicFactory = nullptr;
    EXPECT_EQ(ncGraphics::GetCachedImageSource(kSecondImageId), nullptr);
    ncApp::Context().wicFactory = factory;
    IWICBitmapSource* second = ncGraphics::GetCachedImageSource(kSecondImageId);
    EXPECT_NE(second, nullptr);
    EXPECT_NE(second, first);
}

// InitGraphics on a thread whose COM apartment is already multi-threaded:
// CoInitializeEx refuses, and nothing else is created.
class GraphicsInitFailure : public tqtest::RunLogTest {};

TEST_F(GraphicsInitFailure, ComRefusalReportsThirtyAndShutdownSkipsNullObjects) {
    ncApp::AppContext saved = ncApp::Context();
    ncApp::Context().d2dFactory = nullptr;
    ncApp::Context().dwriteFactory = nullptr;
    ncApp::Context().wicFactory = nullptr;
    ncApp::Context().textStyles = nullptr;
    ncApp::Context().startupError = 0;
    Open();

    bool initialised = true;
    std::uint32_t error = 0;
    bool anythingCreated = true;
    std::thread worker([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        initialised = ncGraphics::InitGraphics();
        error = ncApp::Context().startupError;
        anythingCreated =
            ncApp::Context().d2dFactory != nullptr || ncApp::Context().dwriteFactory != nullptr ||
            ncApp::Context().wicFactory != nullptr || ncApp::Context().textStyles != nullptr;
        ncGraphics::ShutdownGraphics();  // its CoUninitialize balances ours
    });
    worker.join();
    std::vector<std::string> lines = CloseAndReadBody();
    ncApp::Context() = saved;

    EXPECT_FALSE(initialised);
    EXPECT_EQ(error, ncGraphics::kErrorComInit);
    EXPECT_FALSE(anythingCreated);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_THAT(lines[0], tqtest::FullyMatches("R,\\d+,2,6,3,1,0"));
    EXPECT_THAT(lines[1], tqtest::FullyMatches("R,\\d+,4,6,3,2,2"));
    EXPECT_THAT(lines[2], tqtest::FullyMatches("R,\\d+,2,6,4,1,0"));
}

}  // namespace
