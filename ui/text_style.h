// Text styles of the drawing framework: a fixed table of 23 font
// descriptions with their GDI fonts. Filled by InitGraphics before any window
// exists and read on the main thread only.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

struct IDWriteTextFormat;

namespace ncGraphics {

inline constexpr std::uint32_t kTextStyleCount = 23;

struct TextStyle {
    std::wstring family;
    float size = 14.0f;         // device-independent units, equal to pixels
    std::int32_t weight = 400;  // DWRITE_FONT_WEIGHT
    std::int32_t style = 0;     // DWRITE_FONT_STYLE, 2 is italic
    std::int32_t stretch = 5;   // DWRITE_FONT_STRETCH
    std::wstring locale = L"ja-jp";
};

// The table owns every text format and font in its slots; ReleaseTextStyleTable
// frees them. No operation of this program fills the text-format slots.
struct TextStyleTable {
    std::array<TextStyle, kTextStyleCount> entries;
    std::array<IDWriteTextFormat*, kTextStyleCount> textFormats{};
    std::array<HFONT, kTextStyleCount> gdiFonts{};
};

// The built-in styles, built once per process.
const std::array<TextStyle, kTextStyleCount>& BuiltInTextStyles();

// Releases the formats and deletes the fonts of a table, in index order.
void ReleaseTextStyleSlots(TextStyleTable& table);

// Style of an index of the current table; an index above 22 gives style 0.
// Before InitGraphics (no table) the built-in entry is answered.
const TextStyle& GetTextStyle(std::uint32_t index);

// The GDI font of a style, created on first use and kept in the table; null
// when there is no table, the style is empty or the font cannot be made.
HFONT GetGdiFont(std::uint32_t index);

// The LOGFONTW GetGdiFont creates a style's font from.
LOGFONTW LogFontForStyle(const TextStyle& style);

}  // namespace ncGraphics
