// Why this user may not open a serial device, with what to do about it (Linux: the group to
// join and the command that joins it), for the claim's cause and for the port list.
#pragma once

#include <string>

// Empty when the user may open it, or when that cannot be told beforehand (Windows).
std::string AccessProblem(const std::string& device);
