#include "launcher/message_catalogue.h"

#include <windows.h>

#include <array>
#include <cwchar>

#include "diag/input_trace.h"
#include "diag/trace.h"

namespace ncApp {
namespace {

constexpr std::uint32_t kModuleMessageBox = 36;

constexpr std::uint32_t kStyleError = 0x40010;  // MB_OK | MB_ICONERROR | MB_TOPMOST
constexpr std::uint32_t kStyleInfo = 0x40040;   // MB_OK | MB_ICONINFORMATION | MB_TOPMOST

// The suite's catalogue holds more entries than these; this program carries
// only the ones it or its main application shows. Others answer entry 0.
struct NumberedEntry {
    std::uint32_t id;
    MessageEntry entry;
};

constexpr std::array kCatalogue{
    NumberedEntry{kMsgNone, {kStyleInfo, L"メッセージはありません@1@"}},
    NumberedEntry{kMsgWindowFailed,
                  {kStyleError, L"ウィンドウの作成に失敗しました。@1@\n\nプログラムを終了します"}},
    NumberedEntry{
        kMsgAppInitFailed,
        {kStyleError, L"アプリケーションの初期化に失敗しました@1@\n\nプログラムを終了します"}},
    NumberedEntry{kMsgLogInitFailed,
                  {kStyleError, L"ログの初期化に失敗しました。@1@\n\nプログラムを終了します"}},
    NumberedEntry{kMsgAlreadyRunning, {kStyleError, L"２重起動はできません！！"}},
    NumberedEntry{kMsgBadStartArgument,
                  {kStyleError, L"起動引数が不正です。\n\ntqVornStart.exe から起動してください。"}},
    NumberedEntry{
        kMsgTokenRejected,
        {kStyleError,
         L"起動トークンの確認に失敗しました。\n\ntqVornStart.exe から起動し直してください。"}},
};

bool IsQuestionStyle(std::uint32_t style) {
    return style == 0x40121 || style == 0x40124 || style == 0x40223;
}

std::uint8_t TraceLevelOf(std::uint32_t style) {
    switch (style & 0xF0) {
        case MB_ICONERROR:
            return 4;
        case MB_ICONWARNING:
            return 3;
        default:
            return 2;
    }
}

}  // namespace

const MessageEntry& CatalogueEntry(std::uint32_t id) {
    for (const NumberedEntry& numbered : kCatalogue) {
        if (numbered.id == id) {
            return numbered.entry;
        }
    }
    return kCatalogue[0].entry;
}

std::wstring MessageCode(std::uint32_t id) {
    wchar_t code[16];
    std::swprintf(code, 16, L"C%07u", static_cast<unsigned>(id));
    return code;
}

void ReplaceAll(std::wstring& text, std::wstring_view placeholder, std::wstring_view replacement) {
    if (placeholder.empty()) {
        return;
    }
    size_t at = text.find(placeholder);
    while (at != std::wstring::npos) {
        text.replace(at, placeholder.size(), replacement);
        at = text.find(placeholder, at + replacement.size());
    }
}

std::uint64_t NumericMessageCode(std::wstring_view code) {
    std::uint64_t base = 90'000'000;
    if (!code.empty()) {
        switch (code.front()) {
            case L'C':
                base = 10'000'000;
                break;
            case L'M':
                base = 20'000'000;
                break;
            case L'U':
                base = 30'000'000;
                break;
            default:
                break;
        }
    }
    std::uint64_t digits = 0;
    for (const wchar_t c : code) {
        if (c >= L'0' && c <= L'9') {
            digits = digits * 10 + static_cast<std::uint64_t>(c - L'0');
        }
    }
    return base + digits;
}

std::wstring ComposeMessageText(const MessageEntry& entry, std::optional<std::wstring_view> extra) {
    std::wstring text(entry.text);
    ReplaceAll(text, L"@1@", extra.value_or(std::wstring_view{}));
    ReplaceAll(text, L"@2@", {});
    ReplaceAll(text, L"@3@", {});
    return text;
}

int ShowCodedMessage(std::wstring_view code, const MessageEntry& entry,
                     std::optional<std::wstring_view> extra) {
    const std::wstring text = ComposeMessageText(entry, extra);
    const std::wstring caption(code);
    const std::uint64_t numeric = NumericMessageCode(code);
    ncDiag::TraceEvent(TraceLevelOf(entry.style), kModuleMessageBox, 1, 1,
                       static_cast<std::int64_t>(numeric));

    MSGBOXPARAMSW params{};
    params.cbSize = sizeof params;
    params.hwndOwner = nullptr;
    params.hInstance = GetModuleHandleW(nullptr);
    params.lpszText = text.c_str();
    params.lpszCaption = caption.c_str();
    params.dwStyle = entry.style;
    const int answer = MessageBoxIndirectW(&params);

    ncDiag::TraceInput(static_cast<std::uint32_t>(answer), nullptr,
                       static_cast<std::int64_t>(numeric), ncDiag::kInputCommand, 0);
    if (IsQuestionStyle(entry.style)) {
        ncDiag::TraceData(2, kModuleMessageBox, 1, 1, L'U', false, std::to_wstring(answer));
    }
    return answer;
}

}  // namespace ncApp
