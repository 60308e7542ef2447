// Error texts and the UTF-8 boundary of the transport.
#include <string>

#include "http/http_client.h"

namespace ncHttp {

std::wstring FormatWinHttpError(std::wstring_view prefix, std::uint32_t error) {
    std::wstring text(prefix);
    text += L" [";
    text += std::to_wstring(error);
    text += L"]";
    // Only WinHTTP's own message table is asked, so Win32 numbers get no text.
    HMODULE module = GetModuleHandleW(L"winhttp.dll");
    if (module == nullptr) {
        return text;
    }
    wchar_t* message = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       module, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                       reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    if (length != 0 && message != nullptr) {
        text += L' ';
        text.append(message, length);
    }
    if (message != nullptr) {
        LocalFree(message);
    }
    return text;
}

std::wstring Utf8ToWide(std::string_view text) {
    if (text.empty() || text.size() > 0x7FFFFFFF) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    if (needed <= 0) {
        return {};
    }
    std::wstring wide(static_cast<size_t>(needed), L'\0');
    if (MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), needed) != needed) {
        return {};
    }
    return wide;
}

}  // namespace ncHttp
