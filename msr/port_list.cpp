#include "msr/port_list.h"

#include "msr/shown_text.h"

#include <algorithm>
#include <cctype>

std::vector<std::string> PortListNames() {
    std::vector<std::string> names;
    for (int i = 1; i <= 11; ++i)
        names.push_back("COM" + std::to_string(i));
    for (const std::string& further : FurtherPortNames())
        names.push_back(further);
    return names;
}

std::string DeviceText(const CPortInfo& port) {
    if (port.Device.empty())
        return "no device";
    return ShownText(port.Device) + (port.Details.empty() ? "" : "  " + ShownText(port.Details));
}

bool NaturalLess(const std::string& a, const std::string& b) {
    auto digit = [](const std::string& s, std::size_t k) {
        return k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]));
    };
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (digit(a, i) && digit(b, j)) {
            std::size_t endA = i, endB = j;
            while (digit(a, endA))
                ++endA;
            while (digit(b, endB))
                ++endB;
            if (endA - i != endB - j) // the longer number is the larger
                return endA - i < endB - j;
            if (const int order = a.compare(i, endA - i, b, j, endB - j))
                return order < 0;
            i = endA, j = endB;
        } else if (a[i] != b[j]) {
            return a[i] < b[j];
        } else {
            ++i, ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

bool IsFurtherPortName(const std::string& name) {
    if (name.size() <= 3 || name.size() > 9 || name.compare(0, 3, "COM") != 0)
        return false;
    const std::string suffix = name.substr(3);
    const bool number = suffix.find_first_not_of("0123456789") == std::string::npos;
    return !number || suffix[0] == '0' || std::stoi(suffix) > 11;
}

std::string IdentityWords(const std::string& vendorId, const std::string& productId,
                          const std::string& serial) {
    const auto hex = [](const std::string& id) {
        return id.size() == 4 && std::all_of(id.begin(), id.end(),
                                             [](unsigned char c) { return std::isxdigit(c) != 0; });
    };
    const auto plain = [](unsigned char c) {
        return std::isalnum(c) || c == '-' || c == '_' || c == '.';
    };
    if (!hex(vendorId) || !hex(productId) || !std::all_of(serial.begin(), serial.end(), plain))
        return std::string();
    std::string words = "vendor=" + vendorId + " product=" + productId;
    std::transform(words.begin(), words.end(), words.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return serial.empty() ? words : words + " serial=" + serial;
}
