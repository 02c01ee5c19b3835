#include "msr/shown_text.h"

#include <cstdio>

namespace {

// The length of the valid UTF-8 sequence at `at`, 0 when there is none.
std::size_t SequenceLength(std::string_view s, std::size_t at, char32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = lead < 0x80                    ? 1
                         : lead >= 0xC2 && lead <= 0xDF ? 2
                         : lead >= 0xE0 && lead <= 0xEF ? 3
                         : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                        : 0;
    if (length == 0 || at + length > s.size())
        return 0;
    code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

// Characters a terminal acts on instead of showing, or that reorder what follows.
bool Acts(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

std::string ShownText(std::string_view bytes) {
    std::string shown;
    shown.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        char32_t code = 0;
        std::size_t length = SequenceLength(bytes, at, code);
        if (length > 0 && !Acts(code)) {
            shown.append(bytes.substr(at, length));
            at += length;
            continue;
        }
        const char* named = code == '\n' ? "\\n" : code == '\r' ? "\\r" : code == '\t' ? "\\t" : "";
        if (length == 1 && *named) {
            shown += named;
        } else {
            for (std::size_t i = 0; i < (length ? length : 1); ++i) {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02x",
                              static_cast<unsigned char>(bytes[at + i]));
                shown += hex;
            }
        }
        at += length ? length : 1;
    }
    return shown;
}

bool IsShownAsIs(std::string_view bytes) {
    return ShownText(bytes) == bytes;
}

std::string ShellWord(std::string_view text) {
    if (!text.empty() &&
        text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                               "0123456789_./:+,=@-") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}
