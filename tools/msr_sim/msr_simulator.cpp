#include "tools/msr_sim/msr_simulator.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

// The reader's side of the wire. A record is ":", then count, address 0000, type 11, the
// data bytes and a checksum, each byte two hex digits; the sum of all its bytes is 0 modulo
// 256. The reader echoes a record, acknowledges it with "." and may answer with a record of
// its own. Its configuration is five bytes: the device flags byte and the four sentinels.
namespace {

int HexValue(char digit) {
    const auto c = static_cast<unsigned char>(digit);
    return std::isdigit(c) ? c - '0' : std::isxdigit(c) ? std::toupper(c) - 'A' + 10 : -1;
}

// The bytes of a record, count, address and type first, checksum last; none when it is no
// well-formed record of type 0x11.
std::vector<int> RecordBytes(const std::string& record) {
    std::vector<int> bytes;
    int sum = 0;
    for (std::size_t i = 1; i + 1 < record.size(); i += 2) {
        const int high = HexValue(record[i]), low = HexValue(record[i + 1]);
        if (high < 0 || low < 0)
            return {};
        bytes.push_back(high * 16 + low);
        sum += bytes.back();
    }
    if (bytes.size() < 5 || sum % 256 != 0 || bytes[1] != 0 || bytes[2] != 0 || bytes[3] != 0x11 ||
        static_cast<std::size_t>(bytes[0]) != bytes.size() - 5)
        return {};
    return bytes;
}

// A record of the reader's own, in upper-case hex as readers send them.
std::string Frame(const std::vector<int>& data) {
    std::vector<int> bytes = {static_cast<int>(data.size()), 0, 0, 0x11};
    bytes.insert(bytes.end(), data.begin(), data.end());
    int sum = 0;
    for (int byte : bytes)
        sum += byte;
    bytes.push_back((256 - sum % 256) % 256);
    std::string record = ":";
    for (int byte : bytes) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", byte);
        record += hex;
    }
    return record;
}

std::vector<int> ConfigurationBytes(const std::string& hex) {
    std::vector<int> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(HexValue(hex[i]) * 16 + HexValue(hex[i + 1]));
    return bytes;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

} // namespace

CMsrSimulator::CMsrSimulator(MsrSimSettings settings) : Settings(std::move(settings)) {
    Settings.Firmware.resize(8, ' ');
    Current = Committed = Upper(Settings.Configuration);
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
    // A new terminal starts as a real port does, echoing and editing lines, unless asked:
    // setting the line is the program's work.
    termios tio;
    if (Settings.Raw && tcgetattr(Master, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(Master, TCSANOW, &tio);
    }
    KeepAlive = open(Device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (KeepAlive < 0) {
        error = "cannot open " + Device;
        return false;
    }
    // Who else holds the line: a released port hears nothing, as a closed serial port.
    Watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (Watch < 0 || inotify_add_watch(Watch, Device.c_str(), IN_OPEN | IN_CLOSE) < 0) {
        error = "cannot watch " + Device;
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

void CMsrSimulator::CountHolders() {
    alignas(inotify_event) char events[4096];
    ssize_t n;
    while ((n = read(Watch, events, sizeof events)) > 0)
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            if (event->mask & IN_OPEN)
                ++Holders;
            else if ((event->mask & IN_CLOSE) && Holders > 0)
                --Holders;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
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
    close(Watch);
    KeepAlive = Master = Watch = -1;
}

void CMsrSimulator::Run() {
    using Clock = std::chrono::steady_clock;
    const std::chrono::milliseconds drip(Settings.DripMs);
    auto nextDrip = Clock::now() + drip;
    while (Master >= 0) {
        pollfd fds[3] = {{Master, POLLIN, 0}, {StopPipe[0], POLLIN, 0}, {Watch, POLLIN, 0}};
        int timeout = -1;
        if (drip.count() > 0) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(nextDrip - Clock::now());
            timeout = static_cast<int>(std::max<long long>(0, left.count()));
        }
        int ready = poll(fds, 3, timeout);
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
        if (fds[2].revents & POLLIN)
            CountHolders();
        if (!(fds[0].revents & POLLIN))
            continue;
        char chunk[256];
        ssize_t n = read(Master, chunk, sizeof chunk);
        // Restored to echo on release, the line sends a late answer back while we hold it.
        if (n <= 0 || Holders == 0)
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
            if (HexValue(Pending[1]) < 0 || HexValue(Pending[2]) < 0) {
                Record(true, Pending.substr(0, 1));
                Pending.erase(0, 1);
                continue;
            }
            const std::size_t length = 11 + 2u * (HexValue(Pending[1]) * 16 + HexValue(Pending[2]));
            if (Pending.size() < length)
                break;
            std::string record = Pending.substr(0, length);
            Pending.erase(0, length);
            Record(true, record);
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
    if (Settings.GarbageBytes > 0) { // noise instead of an answer
        std::string noise;
        for (int i = 0; i < Settings.GarbageBytes; ++i) {
            NoiseState = NoiseState * 1103515245u + 12345u;
            char c = static_cast<char>((NoiseState >> 16) & 0xFF);
            noise += c == '.' ? ',' : c; // never an acknowledgement by chance
        }
        Send(noise);
    } else {
        const std::vector<int> bytes = RecordBytes(record);
        const std::vector<int> data(bytes.size() > 5 ? bytes.begin() + 4 : bytes.end(),
                                    bytes.size() > 5 ? bytes.end() - 1 : bytes.end());
        const int command = data.empty() ? -1 : data[0];
        std::string answer = "?";
        bool commit = false;

        if (command == 0x10 && data.size() == 1) { // enter command mode
            if (Settings.NoCommandMode) {
                ++RecordsAnswered;
                return;
            }
            answer = ".";
            CommandMode = true;
        } else if (command == 0x11 && data.size() == 1) { // back to functional mode
            answer = ".";
            CommandMode = false;
        } else if (command == 0x02 && data.size() == 2 && data[1] == 0 && CommandMode &&
                   !Settings.QueryNotAcknowledged) { // the configuration and the firmware
            if (Settings.QuerySilent) {
                ++RecordsAnswered;
                return;
            }
            std::vector<int> reply = ConfigurationBytes(Current);
            reply.insert(reply.begin(), 0x02);
            for (char c : Settings.Firmware)
                reply.push_back(static_cast<unsigned char>(c));
            answer = Frame(reply);
            if (Settings.QueryDamage == "short")
                answer.resize(answer.size() - 6);
            else if (Settings.QueryDamage == "corrupt")
                answer[12] = answer[12] == '0' ? '1' : '0'; // the flags byte's low digit
            else if (Settings.QueryDamage == "odd")
                answer += "0";
            answer = "." + answer;
        } else if (command == 0x01 && data.size() == 6 && CommandMode && !Settings.SetRejected) {
            if (!Settings.SetIgnored)
                Current = Upper(record.substr(11, 10));
            answer = ".";
        } else if (command == 0x09 && data.size() == 1 && CommandMode) { // into the flash
            commit = true;
        }

        Send(Settings.Prefix + record + (commit ? "" : answer));
        if (commit && !Settings.CommitNeverAcknowledged) {
            if (!PauseMs(Settings.CommitDelayMs))
                return;
            Committed = Current;
            SaveState();
            Send(".");
        }
    }
    ++RecordsAnswered;
}

void CMsrSimulator::Send(const std::string& bytes, bool mayDrop) {
    if (Master < 0 || bytes.empty())
        return;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const bool slow = Settings.CharDelayMs > 0 && !mayDrop;
        if (slow && done > 0 && !PauseMs(Settings.CharDelayMs))
            break;
        ssize_t n = write(Master, bytes.data() + done, slow ? 1 : bytes.size() - done);
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
    if (OnEvent)
        OnEvent(MsrSimEvent{fromProgram, bytes});
}

void CMsrSimulator::LoadState() {
    if (Settings.StateFile.empty())
        return;
    std::ifstream in(Settings.StateFile);
    std::string line;
    if (std::getline(in, line) && IsSimConfiguration(line))
        Current = Committed = Upper(line);
}

void CMsrSimulator::SaveState() {
    if (Settings.StateFile.empty())
        return;
    const std::string temporary = Settings.StateFile + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << Committed << '\n';
        if (!out)
            return;
    }
    std::rename(temporary.c_str(), Settings.StateFile.c_str());
}
