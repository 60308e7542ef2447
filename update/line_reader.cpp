#include "update/line_reader.h"

namespace ncUpdate {

bool LineReader::Open(const std::wstring& path) {
    file_.Reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    buffer_.assign(65536, '\0');
    position_ = filled_ = 0;
    end_ = error_ = false;
    return file_.valid();
}

bool LineReader::Fill() {
    DWORD read = 0;
    if (!ReadFile(file_.get(), buffer_.data(), static_cast<DWORD>(buffer_.size()), &read,
                  nullptr)) {
        error_ = true;
        end_ = true;
        return false;
    }
    position_ = 0;
    filled_ = read;
    end_ = read == 0;
    return !end_;
}

bool LineReader::Next(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        if (position_ == filled_ && (end_ || !Fill())) {
            return any && !error_;
        }
        any = true;
        const char* begin = buffer_.data() + position_;
        const char* stop = buffer_.data() + filled_;
        for (const char* p = begin; p != stop; ++p) {
            if (*p == '\n') {
                line.append(begin, p);
                position_ += static_cast<size_t>(p - begin) + 1;
                return true;
            }
        }
        line.append(begin, stop);
        position_ = filled_;
    }
}

}  // namespace ncUpdate
