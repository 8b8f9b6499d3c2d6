#include "SerialPort.h"

#include "Debug.h"
#include "PortMap.h"
#include "Timing.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string_view>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>

namespace trelm {

namespace {

using Clock = std::chrono::steady_clock;

// Used whenever a caller passes no mode string or an empty one.
constexpr const char* kDefaultMode = "baud=9600 parity=N data=8 stop=1";
constexpr uint32_t kNoLimit = UINT32_MAX;

struct BaudRate {
    uint32_t rate;
    speed_t speed;
};

// The rates termios can name. A rate missing here cannot be set on Linux and
// fails the mode string.
constexpr BaudRate kBaudRates[] = {
    {50, B50},           {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},         {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},       {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600},     {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},
#endif
#ifdef B576000
    {576000, B576000},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
#ifdef B1152000
    {1152000, B1152000},
#endif
#ifdef B1500000
    {1500000, B1500000},
#endif
#ifdef B2000000
    {2000000, B2000000},
#endif
#ifdef B2500000
    {2500000, B2500000},
#endif
#ifdef B3000000
    {3000000, B3000000},
#endif
#ifdef B3500000
    {3500000, B3500000},
#endif
#ifdef B4000000
    {4000000, B4000000},
#endif
};

std::optional<speed_t> SpeedForRate(uint32_t rate) {
    for (const BaudRate& entry : kBaudRates) {
        if (entry.rate == rate) {
            return entry.speed;
        }
    }
    return std::nullopt;
}

uint32_t RateForSpeed(speed_t speed) {
    for (const BaudRate& entry : kBaudRates) {
        if (entry.speed == speed) {
            return entry.rate;
        }
    }
    return 0;
}

enum class Parity { None, Odd, Even, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };

// What a mode string asks for; a field left empty keeps the line's value.
struct ModeRequest {
    std::optional<uint32_t> baud;
    std::optional<Parity> parity;
    std::optional<unsigned> data;
    std::optional<StopBits> stop;
};

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<uint32_t> ParseUnsigned(std::string_view text) {
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
}

// Baud rates may be given by their first two digits, as the mode command
// has always allowed ("96" is 9600). Rates without a termios speed fail.
std::optional<uint32_t> ParseBaud(std::string_view text) {
    const auto value = ParseUnsigned(text);
    if (!value) {
        return std::nullopt;
    }
    uint32_t rate = *value;
    switch (rate) {
    case 11:
    case 15:
    case 30:
    case 60:
        rate *= 10;
        break;
    case 12:
    case 24:
    case 48:
    case 96:
        rate *= 100;
        break;
    case 19:
        rate = 19200;
        break;
    default:
        break;
    }
    if (!SpeedForRate(rate)) {
        return std::nullopt;
    }
    return rate;
}

std::optional<Parity> ParseParity(std::string_view text) {
    if (text.size() != 1) {
        return std::nullopt;
    }
    switch (Lower(text[0])) {
    case 'n':
        return Parity::None;
    case 'o':
        return Parity::Odd;
    case 'e':
        return Parity::Even;
    case 'm':
        return Parity::Mark;
    case 's':
        return Parity::Space;
    default:
        return std::nullopt;
    }
}

std::optional<unsigned> ParseDataBits(std::string_view text) {
    const auto value = ParseUnsigned(text);
    if (!value || *value < 5 || *value > 8) {
        return std::nullopt;
    }
    return *value;
}

std::optional<StopBits> ParseStopBits(std::string_view text) {
    if (text == "1") {
        return StopBits::One;
    }
    if (text == "1.5") {
        return StopBits::OneAndHalf;
    }
    if (text == "2") {
        return StopBits::Two;
    }
    return std::nullopt;
}

bool IsOneOf(std::string_view value, std::initializer_list<std::string_view> allowed) {
    return std::any_of(allowed.begin(), allowed.end(),
                       [value](std::string_view a) { return EqualsIgnoringCase(value, a); });
}

// The "baud=9600 parity=N data=8 stop=1" form: keys in any order, separated
// by blanks. The handshake keys of the mode command are understood but have
// no effect, because the port always runs without flow control.
bool ParseKeyForm(std::string_view text, ModeRequest& request) {
    while (!text.empty()) {
        const std::size_t end = std::min(text.find_first_of(" \t\r\n"), text.size());
        const std::string_view token = text.substr(0, end);
        text = Trim(text.substr(end));

        const std::size_t eq = token.find('=');
        if (eq == std::string_view::npos) {
            return false;
        }
        const std::string_view key = token.substr(0, eq);
        const std::string_view value = token.substr(eq + 1);
        if (EqualsIgnoringCase(key, "baud")) {
            if (!(request.baud = ParseBaud(value))) {
                return false;
            }
        } else if (EqualsIgnoringCase(key, "parity")) {
            if (!(request.parity = ParseParity(value))) {
                return false;
            }
        } else if (EqualsIgnoringCase(key, "data")) {
            if (!(request.data = ParseDataBits(value))) {
                return false;
            }
        } else if (EqualsIgnoringCase(key, "stop")) {
            if (!(request.stop = ParseStopBits(value))) {
                return false;
            }
        } else if (IsOneOf(key, {"to", "xon", "odsr", "octs", "idsr"})) {
            if (!IsOneOf(value, {"on", "off"})) {
                return false;
            }
        } else if (EqualsIgnoringCase(key, "dtr")) {
            if (!IsOneOf(value, {"on", "off", "hs"})) {
                return false;
            }
        } else if (EqualsIgnoringCase(key, "rts")) {
            if (!IsOneOf(value, {"on", "off", "hs", "tg"})) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

// The short "9600,n,8,1" form: fields by position, an empty field keeps the
// line's value, trailing fields may be left out. A fifth field "x" or "p"
// (software or hardware handshake) is understood and has no effect.
bool ParseShortForm(std::string_view text, ModeRequest& request) {
    std::string_view fields[5];
    std::size_t count = 0;
    for (;;) {
        if (count == 5) {
            return false;
        }
        const std::size_t comma = text.find(',');
        fields[count++] = Trim(text.substr(0, comma));
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    if (!fields[0].empty() && !(request.baud = ParseBaud(fields[0]))) {
        return false;
    }
    if (!fields[1].empty() && !(request.parity = ParseParity(fields[1]))) {
        return false;
    }
    if (!fields[2].empty() && !(request.data = ParseDataBits(fields[2]))) {
        return false;
    }
    if (!fields[3].empty() && !(request.stop = ParseStopBits(fields[3]))) {
        return false;
    }
    return fields[4].empty() || IsOneOf(fields[4], {"x", "p"});
}

// A leading device name ("COM3", "COM3:") is allowed and ignored.
std::string_view SkipDeviceName(std::string_view text) {
    if (text.size() < 4 || !EqualsIgnoringCase(text.substr(0, 3), "com") || text[3] < '0' ||
        text[3] > '9') {
        return text;
    }
    std::size_t pos = 3;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        ++pos;
    }
    if (pos < text.size() && text[pos] == ':') {
        return Trim(text.substr(pos + 1));
    }
    if (pos == text.size() || IsSpace(text[pos])) {
        return Trim(text.substr(pos));
    }
    return text;
}

bool ParseMode(const char* mode, ModeRequest& request) {
    std::string_view text = Trim(mode != nullptr ? std::string_view(mode) : std::string_view());
    if (text.empty()) {
        text = kDefaultMode;
    }
    text = SkipDeviceName(text);
    const bool ok = text.find('=') != std::string_view::npos ? ParseKeyForm(text, request)
                                                             : ParseShortForm(text, request);
    // As with the mode command, 110 baud brings two stop bits unless the
    // string names its own.
    if (ok && request.baud == 110u && !request.stop) {
        request.stop = StopBits::Two;
    }
    return ok;
}

unsigned DataBitsOf(const termios& state) {
    switch (state.c_cflag & CSIZE) {
    case CS5:
        return 5;
    case CS6:
        return 6;
    case CS7:
        return 7;
    default:
        return 8;
    }
}

tcflag_t SizeFlagFor(unsigned dataBits) {
    switch (dataBits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

// termios has one stop-bit flag. With five data bits a UART sends CSTOPB as
// one and a half stop bits, with more data bits as two; the combinations
// "5 data bits, 2 stop bits" and "6 to 8 data bits, 1.5 stop bits" are
// invalid line settings and are refused.
StopBits StopBitsOf(const termios& state) {
    if ((state.c_cflag & CSTOPB) == 0) {
        return StopBits::One;
    }
    return DataBitsOf(state) == 5 ? StopBits::OneAndHalf : StopBits::Two;
}

Parity ParityOf(const termios& state) {
    if ((state.c_cflag & PARENB) == 0) {
        return Parity::None;
    }
    const bool odd = (state.c_cflag & PARODD) != 0;
    if ((state.c_cflag & CMSPAR) != 0) {
        return odd ? Parity::Mark : Parity::Space;
    }
    return odd ? Parity::Odd : Parity::Even;
}

// Merges the request into the line settings; false for an invalid line.
bool ApplyRequest(const ModeRequest& request, termios& state) {
    const unsigned data = request.data.value_or(DataBitsOf(state));
    const StopBits stop = request.stop.value_or(StopBitsOf(state));
    if ((stop == StopBits::OneAndHalf && data != 5) || (stop == StopBits::Two && data == 5)) {
        return false;
    }
    if (request.baud) {
        const speed_t speed = *SpeedForRate(*request.baud);
        if (cfsetispeed(&state, speed) != 0 || cfsetospeed(&state, speed) != 0) {
            return false;
        }
    }
    state.c_cflag = (state.c_cflag & ~CSIZE) | SizeFlagFor(data);
    if (stop == StopBits::One) {
        state.c_cflag &= ~CSTOPB;
    } else {
        state.c_cflag |= CSTOPB;
    }
    if (request.parity) {
        state.c_cflag &= ~(PARENB | PARODD | CMSPAR);
        switch (*request.parity) {
        case Parity::None:
            break;
        case Parity::Odd:
            state.c_cflag |= PARENB | PARODD;
            break;
        case Parity::Even:
            state.c_cflag |= PARENB;
            break;
        case Parity::Mark:
            state.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case Parity::Space:
            state.c_cflag |= PARENB | CMSPAR;
            break;
        }
    }
    return true;
}

// Raw binary line: no echo, no line editing, no signals, no character
// translation, no flow control, reads that never wait inside the driver
// (the time-outs are kept here), and no hang-up on close.
void MakeRaw(termios& state) {
    state.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXON |
                       IXOFF | IXANY | IMAXBEL | INPCK);
    state.c_oflag &= ~OPOST;
    state.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN | TOSTOP);
    state.c_cflag |= CLOCAL | CREAD;
    state.c_cflag &= ~(CRTSCTS | HUPCL);
    state.c_cc[VMIN] = 0;
    state.c_cc[VTIME] = 0;
}

// A pseudo-terminal slave (Unix98 majors 136-143, legacy BSD major 3). It
// carries bytes, not characters on a wire: the kernel always reports it as
// 8 bits without parity, whatever was set.
bool IsPseudoTerminal(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
        return false;
    }
    const unsigned deviceMajor = major(info.st_rdev);
    return (deviceMajor >= 136 && deviceMajor <= 143) || deviceMajor == 3;
}

constexpr tcflag_t kFormatFlags = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR;

// tcsetattr succeeds when any part of the request was taken, so the line is
// read back to see that the speed and the character format really are in
// force (a UART driver falls back to another speed when it cannot make the
// one asked for).
bool LineTookSettings(int fd, const termios& wanted) {
    termios actual{};
    if (tcgetattr(fd, &actual) != 0) {
        return false;
    }
    if (cfgetospeed(&actual) != cfgetospeed(&wanted) ||
        cfgetispeed(&actual) != cfgetispeed(&wanted)) {
        return false;
    }
    return IsPseudoTerminal(fd) ||
           (actual.c_cflag & kFormatFlags) == (wanted.c_cflag & kFormatFlags);
}

bool ClearModemLines(int fd) {
    int lines = TIOCM_DTR | TIOCM_RTS;
    return ::ioctl(fd, TIOCMBIC, &lines) == 0;
}

// multiplier * count + constant milliseconds, as the scaled duration of the
// whole operation; nullopt when both are 0 (no total limit).
std::optional<Clock::duration> TotalLimit(uint32_t multiplier, uint32_t constant, uint32_t count) {
    if (multiplier == 0 && constant == 0) {
        return std::nullopt;
    }
    const uint64_t ms = static_cast<uint64_t>(multiplier) * count + constant;
    return timing::Scaled(static_cast<uint32_t>(std::min<uint64_t>(ms, kNoLimit)));
}

// poll() time-out for a wait until `until`, rounded up so that a wake-up
// never comes before the deadline; -1 waits without limit.
int PollMilliseconds(std::optional<Clock::time_point> until, Clock::time_point now) {
    if (!until) {
        return -1;
    }
    const auto left = *until - now;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::clamp<int64_t>(ms, 0, INT_MAX));
}

std::optional<Clock::time_point> Earliest(std::optional<Clock::time_point> a,
                                          std::optional<Clock::time_point> b) {
    if (!a) {
        return b;
    }
    if (!b) {
        return a;
    }
    return std::min(*a, *b);
}

} // namespace

SerialPort::SerialPort() = default;

SerialPort::~SerialPort() {
    SerialPort::Close();
}

bool SerialPort::Open(uint8_t portId, const char* mode) {
    Close();
    m_portId = portId;
    char name[32];
    GetPortName(name, sizeof name);

    const std::string path = DevicePathForPort(portId);
    if (path.empty()) {
        DebugPrint("SerialPort: %s names no device\n", name);
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        DebugPrint("SerialPort: cannot open %s (%s): %s\n", name, path.c_str(),
                   std::strerror(errno));
        return false;
    }
    // No sharing: an advisory lock that every cooperating program honours,
    // and the tty's exclusive mode against everyone else.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        DebugPrint("SerialPort: %s (%s) is in use or not a tty: %s\n", name, path.c_str(),
                   std::strerror(errno));
        ::close(fd);
        return false;
    }
    // The kernel raised DTR and RTS during open(); drop them at once. A pty
    // has no modem lines; the settings step reports that.
    ClearModemLines(fd);
    m_handle = fd;
    return ApplySettings(mode);
}

bool SerialPort::ApplySettings(const char* mode) {
    if (!IsOpen()) {
        return false;
    }
    // Steps up to writing the line settings: any failure closes the port.
    ModeRequest request;
    termios wanted{};
    if (tcgetattr(m_handle, &wanted) != 0) {
        DebugPrint("SerialPort: cannot read the line settings: %s\n", std::strerror(errno));
        Close();
        return false;
    }
    if (m_formatApplied && IsPseudoTerminal(m_handle)) {
        wanted.c_cflag = (wanted.c_cflag & ~kFormatFlags) | (m_dcb.c_cflag & kFormatFlags);
    }
    m_dcb = wanted;
    if (!ParseMode(mode, request) || !ApplyRequest(request, wanted)) {
        DebugPrint("SerialPort: bad mode string '%s'\n", mode != nullptr ? mode : "");
        Close();
        return false;
    }
    MakeRaw(wanted);
    if (tcsetattr(m_handle, TCSANOW, &wanted) != 0 || !LineTookSettings(m_handle, wanted)) {
        DebugPrint("SerialPort: the line does not accept '%s'\n", mode != nullptr ? mode : "");
        Close();
        return false;
    }
    m_dcb = wanted;
    m_formatApplied = true;

    // Flow control off and DTR/RTS held inactive, starting from the settings
    // the line has just taken (on a pseudo-terminal: the ones asked for, as
    // it has no character format of its own). A failure from here on is
    // reported but leaves the port open.
    m_dcb.c_cflag &= ~(CRTSCTS | HUPCL);
    m_dcb.c_iflag &= ~(IXON | IXOFF | IXANY);
    m_dcb.c_cc[VSTART] = 0;
    m_dcb.c_cc[VSTOP] = 0;
    if (tcsetattr(m_handle, TCSANOW, &m_dcb) != 0) {
        DebugPrint("SerialPort: cannot switch flow control off: %s\n", std::strerror(errno));
        return false;
    }
    if (!ClearModemLines(m_handle)) {
        DebugPrint("SerialPort: cannot clear DTR/RTS: %s\n", std::strerror(errno));
        return false;
    }
    return true;
}

bool SerialPort::Close() {
    if (!IsOpen()) {
        return false;
    }
    tcflush(m_handle, TCIOFLUSH);
    ::ioctl(m_handle, TIOCNXCL);
    ::close(m_handle); // also drops the lock
    m_handle = -1;
    m_formatApplied = false;
    return true;
}

bool SerialPort::GetPortName(char* buffer, std::size_t size) const {
    char name[32];
    if (m_portId == 0) {
        std::snprintf(name, sizeof name, "<Bad m_portId>");
    } else if (m_portId < 10) {
        std::snprintf(name, sizeof name, "COM%u", static_cast<unsigned>(m_portId));
    } else {
        std::snprintf(name, sizeof name, "\\\\.\\COM%u", static_cast<unsigned>(m_portId));
    }
    if (buffer == nullptr || size == 0) {
        return false;
    }
    const int written = std::snprintf(buffer, size, "%s", name);
    if (written < 0 || static_cast<std::size_t>(written) >= size) {
        return false;
    }
    return m_portId != 0;
}

const char* SerialPort::GetSettingsString() {
    if (!IsOpen()) {
        return nullptr;
    }
    char parity = 'N';
    switch (ParityOf(m_dcb)) {
    case Parity::None:
        parity = 'N';
        break;
    case Parity::Odd:
        parity = 'O';
        break;
    case Parity::Even:
        parity = 'E';
        break;
    case Parity::Mark:
        parity = 'M';
        break;
    case Parity::Space:
        parity = 'S';
        break;
    }
    const char* stop = "1";
    switch (StopBitsOf(m_dcb)) {
    case StopBits::One:
        stop = "1";
        break;
    case StopBits::OneAndHalf:
        stop = "1.5";
        break;
    case StopBits::Two:
        stop = "2";
        break;
    }
    char text[96];
    std::snprintf(text, sizeof text, "baud=%lu parity=%c data=%u stop=%s",
                  static_cast<unsigned long>(RateForSpeed(cfgetospeed(&m_dcb))), parity,
                  DataBitsOf(m_dcb), stop);
    m_settingsText = text;
    return m_settingsText.c_str();
}

bool SerialPort::SetTimeouts(uint32_t interval, uint32_t readMultiplier, uint32_t readConstant,
                             uint32_t writeMultiplier, uint32_t writeConstant) {
    if (!IsOpen()) {
        return false;
    }
    m_timeouts = Timeouts{interval, readMultiplier, readConstant, writeMultiplier, writeConstant};
    return true;
}

bool SerialPort::GetTimeouts(Timeouts& saved) const {
    if (!IsOpen()) {
        return false;
    }
    saved = m_timeouts;
    return true;
}

bool SerialPort::RestoreTimeouts(const Timeouts& saved) {
    return SetTimeouts(saved.interval, saved.readMultiplier, saved.readConstant,
                       saved.writeMultiplier, saved.writeConstant);
}

bool SerialPort::Read(void* buffer, uint32_t count, uint32_t& transferred) {
    transferred = 0;
    if (!IsOpen() || (buffer == nullptr && count > 0)) {
        return false;
    }
    if (count == 0) {
        return true;
    }
    auto* bytes = static_cast<uint8_t*>(buffer);
    const Timeouts t = m_timeouts;
    // Interval "no limit" with no total: hand back what is already there.
    const bool returnAtOnce =
        t.interval == kNoLimit && t.readMultiplier == 0 && t.readConstant == 0;
    // Interval and multiplier "no limit" with a constant: wait up to the
    // constant for the first byte, then hand back what is there.
    const bool firstByteOnly = t.interval == kNoLimit && t.readMultiplier == kNoLimit &&
                               t.readConstant != 0 && t.readConstant != kNoLimit;

    const Clock::time_point start = Clock::now();
    std::optional<Clock::time_point> deadline;
    std::optional<Clock::duration> gapLimit;
    if (firstByteOnly) {
        deadline = start + timing::Scaled(t.readConstant);
    } else {
        if (const auto total = TotalLimit(t.readMultiplier, t.readConstant, count)) {
            deadline = start + *total;
        }
        if (t.interval != 0 && t.interval != kNoLimit) {
            gapLimit = timing::Scaled(t.interval);
        }
    }

    uint32_t got = 0;
    Clock::time_point lastByte = start;
    // With VMIN = VTIME = 0 an empty tty reads 0 bytes; only right after
    // poll() reported it readable does 0 mean that the other end is gone.
    bool pollSaidReadable = false;
    while (got < count) {
        const ssize_t n = ::read(m_handle, bytes + got, count - got);
        const bool afterReadable = std::exchange(pollSaidReadable, false);
        if (n > 0) {
            got += static_cast<uint32_t>(n);
            lastByte = Clock::now();
            if (returnAtOnce || firstByteOnly) {
                break;
            }
            continue;
        }
        if (n == 0 && afterReadable) {
            DebugPrint("SerialPort: the line hung up during a read\n");
            break;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            DebugPrint("SerialPort: read failed: %s\n", std::strerror(errno));
            break;
        }
        if (returnAtOnce) {
            break;
        }
        std::optional<Clock::time_point> gapEnd;
        if (got > 0 && gapLimit) {
            gapEnd = lastByte + *gapLimit;
        }
        const auto wakeUp = Earliest(deadline, gapEnd);
        const Clock::time_point now = Clock::now();
        if (wakeUp && now >= *wakeUp) {
            break; // time-out: total or between two bytes
        }
        pollfd entry{m_handle, POLLIN, 0};
        const int ready = ::poll(&entry, 1, PollMilliseconds(wakeUp, now));
        if (ready < 0) {
            if (errno == EINTR) {
                continue; // the deadline is recomputed from the clock
            }
            DebugPrint("SerialPort: poll failed: %s\n", std::strerror(errno));
            break;
        }
        if (ready > 0 && (entry.revents & POLLIN) != 0) {
            pollSaidReadable = true;
        } else if (ready > 0 && (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            DebugPrint("SerialPort: the line is gone (poll events 0x%x)\n",
                       static_cast<unsigned>(entry.revents));
            break;
        }
    }
    transferred = got;
    return got == count;
}

bool SerialPort::Write(const void* buffer, uint32_t count, uint32_t& transferred) {
    transferred = 0;
    if (!IsOpen() || (buffer == nullptr && count > 0)) {
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    std::optional<Clock::time_point> deadline;
    if (const auto total =
            TotalLimit(m_timeouts.writeMultiplier, m_timeouts.writeConstant, count)) {
        deadline = Clock::now() + *total;
    }
    uint32_t sent = 0;
    while (sent < count) {
        const ssize_t n = ::write(m_handle, bytes + sent, count - sent);
        if (n > 0) {
            sent += static_cast<uint32_t>(n); // a short write goes on with the rest
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            DebugPrint("SerialPort: write failed: %s\n",
                       n == 0 ? "nothing written" : std::strerror(errno));
            break;
        }
        const Clock::time_point now = Clock::now();
        if (deadline && now >= *deadline) {
            break;
        }
        pollfd entry{m_handle, POLLOUT, 0};
        const int ready = ::poll(&entry, 1, PollMilliseconds(deadline, now));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            DebugPrint("SerialPort: poll failed: %s\n", std::strerror(errno));
            break;
        }
        if (ready > 0 && (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            DebugPrint("SerialPort: the line is gone (poll events 0x%x)\n",
                       static_cast<unsigned>(entry.revents));
            break;
        }
    }
    transferred = sent;
    return sent == count;
}

bool SerialPort::Purge() {
    if (!IsOpen()) {
        return false;
    }
    return tcflush(m_handle, TCIOFLUSH) == 0;
}

uint32_t SerialPort::BytesWaiting() {
    if (!IsOpen()) {
        return 0;
    }
    int waiting = 0;
    if (::ioctl(m_handle, FIONREAD, &waiting) != 0 || waiting < 0) {
        return 0;
    }
    return static_cast<uint32_t>(waiting);
}

bool SerialPort::IsOpen() const {
    return m_handle >= 0;
}

} // namespace trelm
