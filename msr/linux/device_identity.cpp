#include "msr/linux/device_identity.h"

#include "msr/linux/serial_devices.h"
#include "msr/port_list.h"
#include "msr/shown_text.h"

#include <algorithm>
#include <cctype>
#include <fnmatch.h>
#include <fstream>
#include <sstream>

namespace {

// Far more than any identity needs; a larger entry is no identity file.
constexpr std::streamsize MaxEntrySize = 4096;

struct CIdentity {
    std::string Vendor, Product, Serial, ById;
};

bool IsUsbId(const std::string& text) {
    return text.size() == 4 && std::all_of(text.begin(), text.end(),
                                           [](unsigned char c) { return std::isxdigit(c) != 0; });
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// False with the word that is not understood; `#` starts a comment to the line's end.
bool ParseIdentity(const std::string& text, CIdentity& identity, std::string& wrong) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line.substr(0, line.find('#')));
        for (std::string word; words >> word;) {
            const std::size_t equals = word.find('=');
            const std::string key = word.substr(0, equals),
                              value = equals == std::string::npos ? "" : word.substr(equals + 1);
            std::string* field = key == "vendor"    ? &identity.Vendor
                                 : key == "product" ? &identity.Product
                                 : key == "serial"  ? &identity.Serial
                                 : key == "by-id"   ? &identity.ById
                                                    : nullptr;
            const bool id = key == "vendor" || key == "product";
            if (!field || value.empty() || !field->empty() || (id && !IsUsbId(value)) ||
                (key == "by-id" && value.find('/') != std::string::npos)) {
                wrong = word;
                return false;
            }
            *field = id ? Lower(value) : value;
        }
    }
    wrong.clear();
    return !identity.Vendor.empty() || !identity.Product.empty() || !identity.Serial.empty() ||
           !identity.ById.empty();
}

bool Answers(const std::string& device, const CIdentity& identity) {
    CPortInfo found{};
    UsbDetails(device, &found);
    if ((!identity.Vendor.empty() && Lower(found.VendorId) != identity.Vendor) ||
        (!identity.Product.empty() && Lower(found.ProductId) != identity.Product) ||
        (!identity.Serial.empty() && found.Serial != identity.Serial))
        return false;
    if (identity.ById.empty())
        return true;
    const std::vector<std::string> links = StableNames(device);
    return std::any_of(links.begin(), links.end(), [&](const std::string& link) {
        return fnmatch(identity.ById.c_str(), link.substr(link.rfind('/') + 1).c_str(), 0) == 0;
    });
}

} // namespace

CPortTarget BoundDevice(const std::string& entry, CPortTarget target) {
    std::ifstream file(entry, std::ios::binary);
    std::string text(MaxEntrySize + 1, '\0');
    file.read(text.data(), MaxEntrySize + 1);
    text.resize(static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    const std::string shownEntry = ShownText(entry);
    CIdentity identity;
    std::string wrong;
    if (!file.eof() || !ParseIdentity(text, identity, wrong)) {
        target.Cause = ClaimCause::NoDevice;
        target.Problem =
            shownEntry + " names no reader: " +
            (wrong.empty() ? std::string("it holds no vendor=, product=, serial= or by-id= word")
                           : "\"" + ShownText(wrong) +
                                 "\" is no vendor=, product=, serial= or "
                                 "by-id= word it understands");
        return target;
    }
    std::string words;
    for (const auto& [key, value] : {std::pair{"vendor", identity.Vendor},
                                     {"product", identity.Product},
                                     {"serial", identity.Serial},
                                     {"by-id", identity.ById}})
        if (!value.empty())
            words += std::string(words.empty() ? "" : " ") + key + "=" + value;
    std::vector<std::string> matches;
    for (const std::string& device : UsbSerialDevices())
        if (Answers(device, identity))
            matches.push_back(device);
    if (matches.size() == 1) {
        target.Device = matches.front();
        target.Cause = ClaimCause::None;
        target.Problem.clear();
        return target;
    }
    if (matches.empty()) {
        target.Cause = ClaimCause::NoDevice;
        target.Problem = "no serial device is " + ShownText(words) + ", as " + shownEntry + " asks";
        return target;
    }
    std::string list;
    for (std::size_t i = 0; i < matches.size(); ++i)
        list += (i == 0 ? "" : i + 1 == matches.size() ? " and " : ", ") + ShownText(matches[i]);
    target.Cause = ClaimCause::Ambiguous;
    target.Problem = list + " are all " + ShownText(words) + ", as " + shownEntry +
                     " asks; add serial= or by-id= to tell them apart";
    return target;
}
