#include "config_file/configuration_file.h"

#include "config_file/file_source.h"
#include "msr/text_conversion.h"

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

    content.Flags = static_cast<std::uint8_t>(ConvertHexField(std::string_view(line).substr(0, 2)));
    for (std::size_t i = 0; i < content.Sentinels.size(); ++i) {
        std::size_t position = 2 + i;
        // Positions past what was read are not part of the line: they yield empty texts.
        bool present = position < line.size() && line[position] != '\0';
        content.Sentinels[i] = present ? std::string(1, line[position]) : std::string();
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
