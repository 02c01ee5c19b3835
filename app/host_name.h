// The machine's name, as records collected from a fleet tell their machines apart by it.
#pragma once

#include <string>

// Empty when the system does not say.
std::string HostName();
