// Reads a file in binary mode, one LF-terminated line at a time, through a
// fixed buffer. Internal to the manifest parser.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "http/file_handle.h"

namespace ncUpdate {

class LineReader {
public:
    // False when the file cannot be opened for reading.
    bool Open(const std::wstring& path);
    // The next line without its LF; false at the end of the file or on a read
    // error (error() tells which).
    bool Next(std::string& line);
    bool error() const { return error_; }

private:
    bool Fill();

    ncHttp::FileHandle file_;
    std::vector<char> buffer_;
    size_t position_ = 0;
    size_t filled_ = 0;
    bool end_ = false;
    bool error_ = false;
};

}  // namespace ncUpdate
