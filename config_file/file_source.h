// The platform's part of loading: a regular file opened for reading, read in chunks.
// Pipes and devices are refused, since they may never deliver or never end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CFileSource {
  public:
    CFileSource() = default;
    CFileSource(const CFileSource&) = delete;
    CFileSource& operator=(const CFileSource&) = delete;
    ~CFileSource();

    bool Open(const std::string& path);
    // Bytes read into buffer; 0 at the end of the file or on an error.
    std::size_t Read(char* buffer, std::size_t size);

  private:
    std::intptr_t Handle = -1;
};
