// The platform's part of saving: finding the file a path names and putting new content in
// its place. A new file is written beside it and renamed over it once it is all on disk, so
// that a crash or failure never leaves it half-written. Where the new file could not carry
// what the old one has (POSIX: its owner and group, extended attributes and ACLs, its other
// hard links; or the folder may not be written), the old file is rewritten in place instead.
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

    // Follows links to the file the path names (a link in a sticky, world-writable folder only
    // when this user or the folder's owner owns it, as the kernel would), refuses a target
    // that may not be replaced (read-only, not a plain file, a planted link) and creates the
    // new file beside it.
    bool Prepare(const std::string& path);
    // Writes the data to the new file, puts it on disk and puts it in the target's place,
    // with the target's permissions. False leaves the target as it was.
    bool Commit(const std::string& data);

  private:
    struct State;
    std::unique_ptr<State> Data;
};
