// The one process-wide record of where the program lives and how start-up went.
// Filled once on the main thread during start-up, read-only afterwards, so
// other threads may read it without a lock.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct ID2D1Factory;
struct IDWriteFactory;
struct IWICImagingFactory;

namespace ncGraphics {
struct TextStyleTable;
}

namespace ncApp {

struct AppContext {
    HINSTANCE instance = nullptr;
    HICON appIcon = nullptr;
    std::wstring exeStem;        // executable's file name without its extension
    std::wstring exeFolder;      // installation folder, no trailing backslash
    std::wstring logFolder;      // exeFolder\UserData\Common\Log
    std::wstring settingFolder;  // exeFolder\UserData\Common\Setting
    std::wstring tempFolder;     // exeFolder\UserData\Common\Temp
    std::uint32_t startupError = 0;

    // Graphics context: created by InitGraphics, released by ShutdownGraphics,
    // used on the main thread only.
    ID2D1Factory* d2dFactory = nullptr;
    IDWriteFactory* dwriteFactory = nullptr;
    IWICImagingFactory* wicFactory = nullptr;
    ncGraphics::TextStyleTable* textStyles = nullptr;
};

AppContext& Context();

}  // namespace ncApp
