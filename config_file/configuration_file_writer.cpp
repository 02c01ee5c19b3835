#include "config_file/configuration_file.h"

#include "config_file/file_replacement.h"

#include <cstdio>

namespace {

// The reader takes neither a line feed nor a carriage return for a sentinel: such a
// configuration is not stored rather than stored as something that does not load.
bool Storable(const ConfigFileContent& content) {
    for (const std::string& sentinel : content.Sentinels)
        if (!sentinel.empty() && (sentinel.front() == '\r' || sentinel.front() == '\n'))
            return false;
    return true;
}

} // namespace

std::optional<std::string> FormatConfigurationFile(const ConfigFileContent& content) {
    if (!Storable(content))
        return std::nullopt;
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
    const std::optional<std::string> text = FormatConfigurationFile(*content);
    if (!text || !replacement.Commit(*text))
        return ConfigFileResult::CannotWrite;
    return ConfigFileResult::Ok;
}
