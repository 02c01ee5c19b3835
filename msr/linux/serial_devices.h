// What /dev and sysfs tell of the serial devices that could be a reader, without opening
// any: which they are, the USB adapter above each, and the stable names that lead to them.
#pragma once

#include <string>
#include <vector>

struct CPortInfo;

// The names in a folder, "." and ".." included; none when it cannot be read.
std::vector<std::string> FolderEntries(const std::string& folder);

// The path with every link followed; empty when it leads nowhere.
std::string RealPath(const std::string& path);

// A character device that could be a reader's line, told from its device number.
bool IsReaderLineDevice(const std::string& path);

// /dev/ttyUSB* and /dev/ttyACM* that could be a reader's line, as real paths, in natural order.
std::vector<std::string> UsbSerialDevices();

// The USB device above a tty in sysfs: maker, product and serial number for a person; its
// ids (four hex digits) and serial number into `identity`, when given.
std::string UsbDetails(const std::string& device, CPortInfo* identity = nullptr);

// The /dev/serial/by-id/ links that lead to `device`, as full paths, sorted; they stay the
// same whatever order readers are plugged in.
std::vector<std::string> StableNames(const std::string& device);
