// Configuration files of any bytes: reading never fails in an unexpected way, and whatever
// loads can be saved and loads back exactly the same.
#include "config_file/configuration_file.h"

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

std::string Folder() {
    static std::string folder = [] {
        std::string pattern = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                              std::string("/msrconfig-fuzz-XXXXXX");
        if (!mkdtemp(pattern.data()))
            std::abort();
        return pattern;
    }();
    return folder;
}

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || write(fd, data, size) != static_cast<ssize_t>(size))
        std::abort();
    close(fd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = Folder() + "/input.txt";
    const std::string output = Folder() + "/output.txt";
    WriteFile(input, data, size);

    ConfigFileContent loaded;
    ConfigFileResult result = ReadConfigurationFile(input, loaded);
    if (result == ConfigFileResult::CannotOpen || result == ConfigFileResult::CannotWrite)
        std::abort();
    if (result != ConfigFileResult::Ok)
        return 0;
    for (const std::string& sentinel : loaded.Sentinels)
        if (sentinel.size() > 1 || (sentinel.size() == 1 && sentinel[0] == '\0'))
            std::abort();

    result = WriteConfigurationFile(output, [&] { return loaded; });
    if (result == ConfigFileResult::CannotWrite) {
        // Refused only for line ends inside the data line.
        for (const std::string& sentinel : loaded.Sentinels)
            if (sentinel == "\n" || sentinel == "\r")
                return 0;
        std::abort();
    }
    ConfigFileContent again;
    if (result != ConfigFileResult::Ok ||
        ReadConfigurationFile(output, again) != ConfigFileResult::Ok)
        std::abort();
    if (again.Flags != loaded.Flags || again.Sentinels != loaded.Sentinels)
        std::abort();
    return 0;
}
