#include "tools/msr_sim/sim_settings.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

bool IsSimConfiguration(const std::string& text) {
    return text.size() == 10 && std::all_of(text.begin(), text.end(), [](unsigned char digit) {
               return std::isxdigit(digit);
           });
}

std::vector<std::string> SimArguments(const MsrSimSettings& s) {
    std::vector<std::string> args = {
        "--port",     s.PortName, "--config",       s.Configuration,
        "--firmware", s.Firmware, "--commit-delay", std::to_string(s.CommitDelayMs)};
    auto option = [&](const char* name, const std::string& value) {
        if (!value.empty())
            args.insert(args.end(), {name, value});
    };
    auto number = [&](const char* name, int value, int unset) {
        if (value != unset)
            option(name, std::to_string(value));
    };
    option("--port-dir", s.PortDir);
    option("--state", s.StateFile);
    option("--prefix", s.Prefix);
    option("--query-damage", s.QueryDamage);
    number("--char-delay", s.CharDelayMs, 0);
    number("--garbage", s.GarbageBytes, 0);
    number("--drip", s.DripMs, 0);
    number("--unplug-after", s.UnplugAfterRecords, -1);
    number("--vanish-after", s.VanishAfterRecords, -1);
    const std::pair<bool, const char*> flags[] = {{s.Raw, "--raw"},
                                                  {s.Silent, "--silent"},
                                                  {s.NoCommandMode, "--no-command-mode"},
                                                  {s.QueryNotAcknowledged, "--query-nak"},
                                                  {s.QuerySilent, "--query-silent"},
                                                  {s.SetRejected, "--set-reject"},
                                                  {s.SetIgnored, "--set-ignored"},
                                                  {s.CommitNeverAcknowledged, "--commit-never"}};
    for (auto [set, name] : flags)
        if (set)
            args.push_back(name);
    return args;
}

std::string EscapeBytes(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char esc[5];
            std::snprintf(esc, sizeof esc, "\\x%02X", c);
            out += esc;
        }
    }
    return out;
}

std::string UnescapeBytes(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\\x") == 0 && i + 4 <= text.size()) {
            out += static_cast<char>(std::strtol(text.substr(i + 2, 2).c_str(), nullptr, 16));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}
