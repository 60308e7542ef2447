#include "bench/http/bare_reference.h"

namespace ncBench {

BareSha256::BareSha256() : block_(kBlockSize) {
    if (BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0) {
        algorithm_ = nullptr;
    }
}

BareSha256::~BareSha256() {
    Finish();
    if (algorithm_ != nullptr) {
        BCryptCloseAlgorithmProvider(algorithm_, 0);
    }
}

bool BareSha256::Begin() {
    Finish();
    if (algorithm_ == nullptr ||
        BCryptCreateHash(algorithm_, &hash_, nullptr, 0, nullptr, 0, 0) < 0) {
        hash_ = nullptr;
        return false;
    }
    return true;
}

bool BareSha256::Update(const unsigned char* data, DWORD size) {
    return hash_ != nullptr && BCryptHashData(hash_, const_cast<PUCHAR>(data), size, 0) >= 0;
}

bool BareSha256::Finish() {
    if (hash_ == nullptr) {
        return false;
    }
    unsigned char digest[32];
    const bool ok = BCryptFinishHash(hash_, digest, sizeof(digest), 0) >= 0;
    BCryptDestroyHash(hash_);
    hash_ = nullptr;
    return ok;
}

bool BareFetch(HINTERNET connection, const std::wstring& path, BareSha256& sha,
               std::uint64_t& total, HANDLE sink) {
    total = 0;
    HINTERNET request =
        WinHttpOpenRequest(connection, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                           WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE);
    if (request == nullptr) {
        return false;
    }
    DWORD status = 0;
    DWORD size = sizeof(status);
    bool ok = sha.Begin() &&
              WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0, 0) &&
              WinHttpReceiveResponse(request, nullptr) &&
              WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                  WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                                  WINHTTP_NO_HEADER_INDEX) &&
              status == 200;
    while (ok) {
        DWORD read = 0;
        ok = WinHttpReadData(request, sha.block(), BareSha256::kBlockSize, &read);
        if (!ok || read == 0) {
            break;
        }
        DWORD written = read;
        if (sink != INVALID_HANDLE_VALUE) {
            ok = WriteFile(sink, sha.block(), read, &written, nullptr) != 0;
        }
        ok = ok && written == read && sha.Update(sha.block(), read);
        total += read;
    }
    ok = sha.Finish() && ok;
    WinHttpCloseHandle(request);
    return ok;
}

bool BareHashFile(const std::wstring& path, BareSha256& sha) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool ok = sha.Begin();
    DWORD read = 0;
    while (ok && (ok = ReadFile(file, sha.block(), BareSha256::kBlockSize, &read, nullptr) != 0) &&
           read != 0) {
        ok = sha.Update(sha.block(), read);
    }
    ok = sha.Finish() && ok;
    CloseHandle(file);
    return ok;
}

}  // namespace ncBench
