// A port folder entry that names a reader by what it is rather than where it is plugged in:
// a small text file of words such as "vendor=0403 product=6001", which the one USB serial
// device that answers to all of them fulfils.
#pragma once

#include "msr/port_name.h"

#include <string>

// Reads the identity in the entry and finds its device: the target with Device set, or
// with the cause and problem when the entry is not understood, or no device or more than
// one answers to it.
CPortTarget BoundDevice(const std::string& entry, CPortTarget target);
