// The platform's part of saving: finding the file a path names and replacing it atomically
// with a new file written beside it, so that a failure never leaves it half-written.
#pragma once

#include <memory>
#include <string>

// The line end of text files on this platform: a line feed, or a carriage return and a
// line feed on Windows. The reader accepts both.
extern const char TextLineEnd[];

class CFileReplacement {
  public:
    CFileReplacement();
    CFileReplacement(const CFileReplacement&) = delete;
    CFileReplacement& operator=(const CFileReplacement&) = delete;
    // Removes the new file unless it has replaced the target.
    ~CFileReplacement();

    // Follows links to the file the path names, refuses a target that may not be replaced
    // (read-only, not a plain file, a planted link) and creates the new file beside it.
    bool Prepare(const std::string& path);
    // Writes the data to the new file, puts it on disk and puts it in the target's place,
    // with the target's permissions. False leaves the target as it was.
    bool Commit(const std::string& data);

  private:
    struct State;
    std::unique_ptr<State> Data;
};
