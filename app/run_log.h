// The run log: each run that names one appends its JSON record as a line (JSON Lines), so
// that a run started by a deployment tool leaves more behind than its exit status.
#pragma once

#include <string>

// Appends the line to the regular file at `path`, making it and its folders where missing,
// in one write, so that the lines of runs at the same time stay whole. False with the
// reason, for a person, in `error`.
bool AppendRunLog(const std::string& path, const std::string& line, std::string& error);
