#include "ui/text_style.h"

#include <dwrite.h>

#include <cmath>

#include "launcher/app_context.h"

namespace ncGraphics {

namespace {

TextStyle Style(const wchar_t* family, float size, std::int32_t weight, std::int32_t stretch) {
    TextStyle style;
    style.family = family;
    style.size = size;
    style.weight = weight;
    style.stretch = stretch;
    return style;
}

}  // namespace

const std::array<TextStyle, kTextStyleCount>& BuiltInTextStyles() {
    // A function-local static: built once, thread-safe by the language.
    static const std::array<TextStyle, kTextStyleCount> styles = {
        Style(L"Yu Gothic UI", 13.5f, 400, 5),  // 0: tooltips
        Style(L"Yu Gothic UI", 12.0f, 400, 5),
        Style(L"Yu Gothic UI", 13.5f, 400, 5),
        Style(L"Yu Gothic UI", 10.0f, 400, 5),
        Style(L"Yu Gothic UI", 18.0f, 600, 5),
        Style(L"Yu Gothic UI", 16.0f, 400, 5),
        Style(L"Yu Gothic UI", 9.0f, 400, 5),
        Style(L"Yu Gothic UI", 10.0f, 400, 5),
        Style(L"Yu Gothic UI", 11.0f, 400, 5),
        Style(L"Yu Gothic UI", 12.0f, 400, 5),  // 9: progress status text
        Style(L"Yu Gothic UI", 12.0f, 700, 5),
        Style(L"Yu Gothic UI", 12.5f, 700, 9),
        Style(L"Yu Gothic UI", 13.0f, 400, 5),
        Style(L"Yu Gothic UI", 13.0f, 700, 5),
        Style(L"Yu Gothic UI", 13.0f, 700, 7),
        Style(L"Yu Gothic UI", 13.5f, 400, 5),
        Style(L"Yu Gothic UI", 16.0f, 700, 5),
        Style(L"MS Gothic", 12.0f, 400, 5),  // 17: progress percentage text
        Style(L"MS Gothic", 13.0f, 400, 5),
        Style(L"Yu Gothic UI", 14.0f, 400, 5),
        Style(L"Yu Gothic UI", 16.0f, 400, 5),
        Style(L"MS Gothic", 11.0f, 400, 5),
        Style(L"MS Gothic", 10.0f, 400, 5),
    };
    return styles;
}

void ReleaseTextStyleSlots(TextStyleTable& table) {
    for (std::uint32_t i = 0; i < kTextStyleCount; ++i) {
        if (table.textFormats[i] != nullptr) {
            table.textFormats[i]->Release();
            table.textFormats[i] = nullptr;
        }
        if (table.gdiFonts[i] != nullptr) {
            DeleteObject(table.gdiFonts[i]);
            table.gdiFonts[i] = nullptr;
        }
    }
}

const TextStyle& GetTextStyle(std::uint32_t index) {
    if (index >= kTextStyleCount) {
        index = 0;
    }
    const TextStyleTable* table = ncApp::Context().textStyles;
    return table != nullptr ? table->entries[index] : BuiltInTextStyles()[index];
}

LOGFONTW LogFontForStyle(const TextStyle& style) {
    LOGFONTW font{};
    long height = std::lroundf(style.size);
    font.lfHeight = height > 0 ? -height : -1;
    font.lfWeight = style.weight;
    font.lfItalic = style.style == 2 ? 1 : 0;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_TT_PRECIS;
    font.lfClipPrecision = 0;
    font.lfQuality = CLEARTYPE_QUALITY;
    font.lfPitchAndFamily = 0;
    size_t length = style.family.size() < LF_FACESIZE - 1 ? style.family.size() : LF_FACESIZE - 1;
    style.family.copy(font.lfFaceName, length);
    font.lfFaceName[length] = L'\0';
    return font;
}

HFONT GetGdiFont(std::uint32_t index) {
    if (index >= kTextStyleCount) {
        index = 0;
    }
    TextStyleTable* table = ncApp::Context().textStyles;
    if (table == nullptr) {
        return nullptr;
    }
    if (table->gdiFonts[index] != nullptr) {
        return table->gdiFonts[index];
    }
    const TextStyle& style = table->entries[index];
    if (style.family.empty() || !(style.size > 0.0f)) {
        return nullptr;
    }
    LOGFONTW font = LogFontForStyle(style);
    table->gdiFonts[index] = CreateFontIndirectW(&font);
    return table->gdiFonts[index];
}

}  // namespace ncGraphics
