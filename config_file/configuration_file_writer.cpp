#include "config_file/configuration_file.h"

#include "config_file/file_replacement.h"

#include <cstdio>

namespace {

// Line 2 ends at its first line feed, and a carriage return right before a line feed is
// dropped on reading. Sentinels that would come back as something else are not stored.
bool Storable(const ConfigFileContent& content) {
    const auto& s = content.Sentinels;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char first = s[i].empty() ? '\0' : s[i].front();
        const char next = i + 1 < s.size() ? (s[i + 1].empty() ? '\0' : s[i + 1].front()) : '\n';
        if (first == '\r' && next == '\n')
            return false;
        // A line feed ends the line: only empty sentinels may follow it.
        if (first == '\n')
            for (std::size_t j = i + 1; j < s.size(); ++j)
                if (!s[j].empty())
                    return false;
    }
    return true;
}

} // namespace

std::string FormatConfigurationFile(const ConfigFileContent& content) {
    char flags[3];
    std::snprintf(flags, sizeof flags, "%02x", content.Flags);
    std::string text = std::string(ConfigFileHeader) + TextLineEnd + flags;
    for (const std::string& sentinel : content.Sentinels)
        text += sentinel.empty() ? '\0' : sentinel.front();
    return text + TextLineEnd;
}

ConfigFileResult
WriteConfigurationFile(const std::string& path,
                       const std::function<std::optional<ConfigFileContent>()>& supply) {
    CFileReplacement replacement;
    if (!replacement.Prepare(path))
        return ConfigFileResult::CannotOpen;
    const std::optional<ConfigFileContent> content = supply();
    if (!content)
        return ConfigFileResult::Withdrawn;
    if (!Storable(*content) || !replacement.Commit(FormatConfigurationFile(*content)))
        return ConfigFileResult::CannotWrite;
    return ConfigFileResult::Ok;
}
