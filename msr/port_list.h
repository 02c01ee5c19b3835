// The COM names this machine defines beyond the fixed COM1..COM11, where each name leads,
// and (POSIX) the serial devices that no name leads to yet: for the window's port list
// and for --list-ports.
#pragma once

#include "msr/access_problem.h"

#include <string>
#include <vector>

struct CPortInfo {
    std::string Name;       // "COM12"; empty for a device that has no name yet
    std::string Device;     // what it opens now; empty when it leads to no device
    std::string Details;    // USB maker, product and serial number, where the system knows them
    std::string StableName; // POSIX: the device's /dev/serial/by-id/ link, where there is one
    std::string Folder;     // POSIX: the port folder that names it; empty for a built-in name
    std::string Problem;    // why this user may not open the device (AccessProblem)
    // A USB adapter's identity, where the system knows it: ids as four hex digits.
    std::string VendorId, ProductId, Serial;
};

// The port list's names: COM1..COM11, then the further names.
std::vector<std::string> PortListNames();

// Further COM names, in natural order (COM12 before COM100), each at most 9 characters:
// POSIX, the port folder's other COM<suffix> entries; Windows, the ports the system lists.
std::vector<std::string> FurtherPortNames();

CPortInfo DescribePort(const std::string& name);

// For a person: the device and what the system knows of it, or "no device".
std::string DeviceText(const CPortInfo& port);

// POSIX: the ttyUSB and ttyACM devices that no entry of the port folder leads to.
std::vector<CPortInfo> UnnamedSerialDevices();

// A name the list may offer after COM1..COM11: COM and a suffix, at most 9 characters.
bool IsFurtherPortName(const std::string& name);

// The words a port folder entry binds a reader of these ids with ("vendor=0403 product=6001",
// and " serial=..." when given), or empty when the ids are not four hex digits each or the
// serial number could not be typed as shown.
std::string IdentityWords(const std::string& vendorId, const std::string& productId,
                          const std::string& serial = std::string());

// "COM9" < "COM10": runs of digits compare as numbers.
bool NaturalLess(const std::string& a, const std::string& b);
