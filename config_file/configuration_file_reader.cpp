#include "config_file/configuration_file.h"

#include "config_file/file_source.h"
#include "msr/text_conversion.h"

#include <cctype>
#include <cstring>
#include <string_view>

namespace {

// Room for 79 characters and a terminator, as the file's lines were always read.
constexpr std::size_t LineReadLimit = 79;

// Reads a file as a text stream: a carriage return right before a line feed is dropped.
class TextReader {
  public:
    explicit TextReader(CFileSource& file) : File(file) {}

    // Like fgets: at most `limit` characters, stopping after a line feed. False when the
    // stream ended (or failed) before any character.
    bool ReadLine(std::string& line, std::size_t limit) {
        line.clear();
        int c;
        while (line.size() < limit && (c = Next()) >= 0) {
            line += static_cast<char>(c);
            if (c == '\n')
                break;
        }
        return !line.empty();
    }

  private:
    int Next() {
        int c = Raw();
        if (c == '\r') {
            int after = Raw();
            if (after == '\n')
                return '\n';
            Pushed = after;
        }
        return c;
    }

    int Raw() {
        if (Pushed != NoByte) {
            int c = Pushed;
            Pushed = NoByte;
            return c;
        }
        if (Position == Filled) {
            Filled = File.Read(Buffer, sizeof Buffer);
            Position = 0;
            if (Filled == 0)
                return -1;
        }
        return static_cast<unsigned char>(Buffer[Position++]);
    }

    static constexpr int NoByte = -2;
    CFileSource& File;
    int Pushed = NoByte;
    char Buffer[256];
    std::size_t Position = 0, Filled = 0;
};

bool ContainsHeader(const std::string& line) {
    // The line was searched as C text: whatever follows a zero byte is not looked at.
    std::string_view text(line.c_str());
    return text.find(ConfigFileHeader) != std::string_view::npos;
}

ConfigFileResult ReadOpened(CFileSource& file, ConfigFileContent& content) {
    TextReader reader(file);
    std::string line;
    if (!reader.ReadLine(line, LineReadLimit) || !ContainsHeader(line))
        return ConfigFileResult::BadHeader;
    if (!reader.ReadLine(line, LineReadLimit))
        return ConfigFileResult::NoDataLine;

    // Only a whole line is used, as the writer stores it: two hex digits and four sentinel
    // bytes, then the line end (or the end of the file). A short line would give the line
    // end as a sentinel, a stray character would shift them.
    if (!line.empty() && line.back() == '\n')
        line.pop_back();
    const auto isHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    if (line.size() != 6 || !isHex(line[0]) || !isHex(line[1]) ||
        line.find_first_of("\r\n", 2) != std::string::npos)
        return ConfigFileResult::NoDataLine;
    content.Flags = static_cast<std::uint8_t>(ConvertHexField(std::string_view(line).substr(0, 2)));
    for (std::size_t i = 0; i < content.Sentinels.size(); ++i) {
        const char sentinel = line[2 + i];
        content.Sentinels[i] = sentinel != '\0' ? std::string(1, sentinel) : std::string();
    }
    return ConfigFileResult::Ok;
}

} // namespace

ConfigFileResult ReadConfigurationFile(const std::string& path, ConfigFileContent& content) {
    CFileSource file;
    if (!file.Open(path))
        return ConfigFileResult::CannotOpen;
    return ReadOpened(file, content);
}
