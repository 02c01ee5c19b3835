#include "tools/msr_sim/msr_simulator.h"

#include "msr/msr_protocol.h"
#include "msr/text_conversion.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::uint8_t HexByte(const std::string& text, std::size_t index) {
    return static_cast<std::uint8_t>(ConvertHexField(std::string_view(text).substr(index, 2)));
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

CMsrSimulator::CMsrSimulator(MsrSimSettings settings) : Settings(std::move(settings)) {
    Settings.Firmware.resize(8, ' ');
    CurrentConfig = CommittedConfig = Settings.Configuration;
}

CMsrSimulator::~CMsrSimulator() {
    Unplug();
    for (int& fd : StopPipe)
        if (fd >= 0)
            close(fd), fd = -1;
}

std::string CMsrSimulator::LinkPath() const {
    return Settings.PortDir + "/" + Settings.PortName;
}

bool CMsrSimulator::Start(std::string& error) {
    LoadState();
    if (pipe2(StopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = "cannot create a pipe";
        return false;
    }
    Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0) {
        error = "cannot open a pseudo-terminal";
        return false;
    }
    Device = ptsname(Master);
    // Raw from the start, so nothing is echoed or translated before the program sets the line.
    termios tio;
    if (tcgetattr(Master, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(Master, TCSANOW, &tio);
    }
    KeepAlive = open(Device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (KeepAlive < 0) {
        error = "cannot open " + Device;
        return false;
    }
    const std::string link = LinkPath();
    unlink(link.c_str());
    if (symlink(Device.c_str(), link.c_str()) != 0) {
        error = "cannot create the link " + link;
        return false;
    }
    return true;
}

void CMsrSimulator::Stop() {
    if (StopPipe[1] >= 0) {
        char c = 1;
        [[maybe_unused]] ssize_t n = write(StopPipe[1], &c, 1);
    }
}

void CMsrSimulator::Unplug() {
    if (Master < 0)
        return;
    // Remove the link only if it is still ours; another simulator may have taken the name.
    char target[4096];
    const std::string link = LinkPath();
    ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == Device)
        unlink(link.c_str());
    close(KeepAlive);
    close(Master);
    KeepAlive = Master = -1;
}

void CMsrSimulator::Run() {
    using Clock = std::chrono::steady_clock;
    const std::chrono::milliseconds drip(Settings.DripMs);
    auto nextDrip = Clock::now() + drip;
    while (Master >= 0) {
        pollfd fds[2] = {{Master, POLLIN, 0}, {StopPipe[0], POLLIN, 0}};
        int timeout = -1;
        if (drip.count() > 0) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(nextDrip - Clock::now());
            timeout = static_cast<int>(std::max<long long>(0, left.count()));
        }
        int ready = poll(fds, 2, timeout);
        if (ready < 0 && errno == EINTR)
            continue;
        if (drip.count() > 0 && Clock::now() >= nextDrip) {
            Send("~", true);
            nextDrip += drip;
        }
        if (ready == 0)
            continue;
        if (ready < 0 || (fds[1].revents & POLLIN))
            break;
        if (!(fds[0].revents & POLLIN))
            continue;
        char chunk[256];
        ssize_t n = read(Master, chunk, sizeof chunk);
        if (n <= 0)
            continue;
        Pending.append(chunk, static_cast<std::size_t>(n));

        // Frame records: ":" count(2) address(4) type(2) data(2N) checksum(2).
        for (;;) {
            std::size_t start = std::min(Pending.find(':'), Pending.size());
            if (start > 0) {
                Record(true, Pending.substr(0, start)); // bytes outside any record
                Pending.erase(0, start);
            }
            if (Pending.size() < 3)
                break;
            if (!IsHexDigit(Pending[1]) || !IsHexDigit(Pending[2])) {
                Record(true, Pending.substr(0, 1));
                Pending.erase(0, 1);
                continue;
            }
            std::size_t length = 11 + 2u * HexByte(Pending, 1);
            if (Pending.size() < length)
                break;
            std::string record = Pending.substr(0, length);
            Pending.erase(0, length);
            Record(true, record);
            {
                std::lock_guard<std::mutex> guard(Lock);
                Records.push_back(record);
            }
            // Unplugged while the program waits for the answer to this record.
            if (RecordsAnswered == Settings.UnplugAfterRecords ||
                RecordsAnswered == Settings.VanishAfterRecords) {
                // A hang-up flushes what the program has not read yet: let it arrive first.
                if (RecordsAnswered == Settings.VanishAfterRecords) {
                    Send(record.substr(0, record.size() / 2));
                    PauseMs(200);
                }
                Unplug();
                return;
            }
            HandleRecord(record);
            if (Master < 0)
                return;
        }
    }
}

void CMsrSimulator::HandleRecord(const std::string& record) {
    if (Settings.Silent || Settings.DripMs > 0)
        return;
    if (Settings.GarbageBytes > 0) {
        std::string noise;
        for (int i = 0; i < Settings.GarbageBytes; ++i) {
            NoiseState = NoiseState * 1103515245u + 12345u;
            char c = static_cast<char>((NoiseState >> 16) & 0xFF);
            noise += c == '.' ? ',' : c; // never an acknowledgement by chance
        }
        Send(noise);
    } else {
        unsigned sum = 0;
        std::vector<std::uint8_t> data;
        for (std::size_t i = 1; i + 1 < record.size(); i += 2) {
            std::uint8_t byte = HexByte(record, i);
            sum += byte;
            if (i >= 9 && i + 2 < record.size())
                data.push_back(byte);
        }
        const bool valid = (sum & 0xFF) == 0 && record.substr(3, 6) == "000011" && !data.empty();
        const std::uint8_t command = valid ? data[0] : 0xFF;
        std::string answer = "?";
        bool commit = false;

        if (command == 0x10 && data.size() == 1) {
            if (Settings.NoCommandMode) {
                CountAnswered();
                return;
            }
            answer = ".";
            CommandMode = true;
        } else if (command == 0x11 && data.size() == 1) {
            answer = ".";
            CommandMode = false;
        } else if (command == 0x02 && data.size() == 2 && CommandMode &&
                   !Settings.QueryNotAcknowledged) {
            CMsrConfiguration current = Current();
            std::vector<std::uint8_t> body = {0x02,
                                              EncodeDeviceFlags(current),
                                              current.Track1StartSentinel,
                                              current.Track2StartSentinel,
                                              current.Track3StartSentinel,
                                              current.EndSentinel};
            for (char c : Settings.Firmware)
                body.push_back(static_cast<std::uint8_t>(c));
            std::string framed = BuildCommandRecord(body);
            for (char& c : framed)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            answer = "." + framed;
        } else if (command == MSR_SET_CONFIGURATION && data.size() == 6 && CommandMode &&
                   !Settings.SetRejected) {
            std::string fields = record.substr(11, 10);
            CMsrConfiguration applied;
            ParseSimConfiguration(fields, applied);
            std::lock_guard<std::mutex> guard(Lock);
            if (!Settings.SetIgnored)
                CurrentConfig = applied;
            answer = ".";
        } else if (command == 0x09 && data.size() == 1 && CommandMode) {
            commit = true;
        }

        Send(Settings.Prefix + record + (commit ? "" : answer));
        if (commit && !Settings.CommitNeverAcknowledged) {
            if (!PauseMs(Settings.CommitDelayMs))
                return;
            {
                std::lock_guard<std::mutex> guard(Lock);
                CommittedConfig = CurrentConfig;
                ++Commits;
            }
            SaveState();
            Send(".");
        }
    }
    CountAnswered();
}

void CMsrSimulator::CountAnswered() {
    ++RecordsAnswered;
}

void CMsrSimulator::Send(const std::string& bytes, bool mayDrop) {
    if (Master < 0 || bytes.empty())
        return;
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(Master, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            if (mayDrop)
                break;
            // Nobody reads the terminal just now: wait, but stay stoppable.
            pollfd fds[2] = {{Master, POLLOUT, 0}, {StopPipe[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN))
                break;
            continue;
        }
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    if (done > 0)
        Record(false, bytes.substr(0, done));
}

bool CMsrSimulator::PauseMs(int ms) {
    pollfd stop{StopPipe[0], POLLIN, 0};
    return poll(&stop, 1, ms) == 0;
}

void CMsrSimulator::Record(bool fromProgram, const std::string& bytes) {
    MsrSimEvent event{fromProgram, bytes};
    {
        std::lock_guard<std::mutex> guard(Lock);
        EventLog.push_back(event);
    }
    if (OnEvent)
        OnEvent(event);
}

void CMsrSimulator::LoadState() {
    if (Settings.StateFile.empty())
        return;
    std::ifstream in(Settings.StateFile);
    std::string line;
    CMsrConfiguration stored;
    if (std::getline(in, line) && ParseSimConfiguration(line, stored))
        CurrentConfig = CommittedConfig = stored;
}

void CMsrSimulator::SaveState() {
    if (Settings.StateFile.empty())
        return;
    const std::string temporary = Settings.StateFile + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << ConfigurationHex(Committed()) << '\n';
        if (!out)
            return;
    }
    std::rename(temporary.c_str(), Settings.StateFile.c_str());
}

std::vector<MsrSimEvent> CMsrSimulator::Events() const {
    std::lock_guard<std::mutex> guard(Lock);
    return EventLog;
}

std::vector<std::string> CMsrSimulator::ReceivedRecords() const {
    std::lock_guard<std::mutex> guard(Lock);
    return Records;
}

CMsrConfiguration CMsrSimulator::Current() const {
    std::lock_guard<std::mutex> guard(Lock);
    return CurrentConfig;
}

CMsrConfiguration CMsrSimulator::Committed() const {
    std::lock_guard<std::mutex> guard(Lock);
    return CommittedConfig;
}

int CMsrSimulator::CommitCount() const {
    std::lock_guard<std::mutex> guard(Lock);
    return Commits;
}
