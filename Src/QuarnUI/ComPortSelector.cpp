#include "ComPortSelector.h"

#include "DebugLog.h"
#include "DeviceLink.h"
#include "LanguageReader.h"
#include "MainWindowMessages.h"
#include "PortDescriptions.h"
#include "PortPermission.h"
#include "TextKeys.h"
#include "TextTemplate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int NO_COM_PORTS = 1130;
constexpr int MAX_PORT_NUMBER = 255;

// Device folders of the fixed table, 32 numbers each, from COM1 on.
struct TableBlock {
    const char* nodePrefix;
    int firstPort;
};
constexpr TableBlock FIXED_TABLE[] = {{"ttyS", 1}, {"ttyUSB", 33}, {"ttyACM", 65}};
constexpr int BLOCK_SIZE = 32;

// The number of a port map entry: "com" (any letter case) followed by
// decimal digits only, greater than 0. Numbers beyond 255 cannot be opened
// by number and are left out. Answers 0 for any other name.
int PortNumberOfName(const QString& name) {
    if (name.size() <= 3 || !name.startsWith(QLatin1String("com"), Qt::CaseInsensitive)) {
        return 0;
    }
    int number = 0;
    for (qsizetype i = 3; i < name.size(); ++i) {
        const QChar digit = name.at(i);
        if (digit < QLatin1Char('0') || digit > QLatin1Char('9')) {
            return 0;
        }
        number = number * 10 + (digit.unicode() - '0');
        if (number > MAX_PORT_NUMBER) {
            return 0;
        }
    }
    return number;
}

// The device behind a port map entry: links resolved, or the entry itself
// when it cannot be resolved.
QString ResolvedPath(const QString& path) {
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}

} // namespace

ComPortSelector::ComPortSelector(MainWindowMessages& mainWindow, QWidget* parent)
    : SortedComboBox(parent), mainWindow(mainWindow) {}

ComPortSelector::~ComPortSelector() = default;

void ComPortSelector::SetSystemRoots(const QString& sysfs, const QString& dev) {
    sysfsRoot = sysfs;
    devRoot = dev;
}

bool ComPortSelector::FillPorts() {
    const QList<Candidate> candidates = FindCandidates();
    QList<bool> present;
    for (const Candidate& candidate : candidates) {
        present.append(ProbePort(candidate.devicePath));
    }
    return AddProbed(candidates, present);
}

void ComPortSelector::FillPortsLater(std::function<void(bool)> done) {
    DeviceLink* link = mainWindow.Device();
    if (link == nullptr) {
        done(FillPorts());
        return;
    }
    const QList<Candidate> candidates = FindCandidates();
    QStringList paths;
    for (const Candidate& candidate : candidates) {
        paths.append(candidate.devicePath);
    }
    link->ProbePorts(paths, this,
                     [this, candidates, done = std::move(done)](const QList<bool>& present) {
                         done(AddProbed(candidates, present));
                     });
}

QString ComPortSelector::DevicePathOf(int port) {
    const QString portDir = qEnvironmentVariable("TRELM_PORTS");
    QString path;
    if (!portDir.isEmpty() && QFileInfo(portDir).isDir()) {
        path = portDir + QStringLiteral("/com%1").arg(port);
    } else {
        for (const TableBlock& block : FIXED_TABLE) {
            if (port >= block.firstPort && port < block.firstPort + BLOCK_SIZE) {
                path = QStringLiteral("/dev/") + QLatin1String(block.nodePrefix) +
                       QString::number(port - block.firstPort);
            }
        }
    }
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        return QString();
    }
    return ResolvedPath(path);
}

QString ComPortSelector::EntryText(int number, const QString& devicePath, const QString& adapter,
                                   const QString& serialNumber, bool denied) const {
    const LanguageReader& texts = mainWindow.LangReader();
    // Language files older than these texts get the English forms.
    const auto text = [&texts](const char* key, const char* english) {
        const QString name = QLatin1String(key);
        const QString found = texts.GetText(name);
        return found == name ? QString::fromUtf8(english) : found;
    };
    QStringList details;
    if (!adapter.isEmpty()) {
        details << adapter;
    }
    if (!serialNumber.isEmpty()) {
        details << TextTemplate::Fill(text(TextKeys::LBL_COMPORT_SERIAL, "serial %s"),
                                      {serialNumber});
    }
    if (denied) {
        details << text(TextKeys::LBL_COMPORT_NO_PERMISSION, "no permission");
    }
    const QString port = QString::number(number);
    if (details.isEmpty()) {
        return TextTemplate::Fill(text(TextKeys::LBL_COMPORT_ENTRY, "COM %d \u2014 %s"),
                                  {port, devicePath});
    }
    return TextTemplate::Fill(text(TextKeys::LBL_COMPORT_ENTRY_INFO, "COM %d \u2014 %s (%s)"),
                              {port, devicePath, details.join(QStringLiteral(", "))});
}

bool ComPortSelector::AddProbed(const QList<Candidate>& candidates, const QList<bool>& present) {
    const QList<PortDescriptions::Record> descriptions = PortDescriptions::List();
    int added = 0;
    int usable = 0;
    QStringList denied;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        const Candidate& candidate = candidates.at(i);
        const QString device = ResolvedPath(candidate.devicePath);
        const bool deniedHere = PortPermission::IsDenied(device);
        if (deniedHere) {
            denied << device;
        }
        if (i >= present.size() || !present.at(i)) {
            quarnDebug("COM%d (%s) did not answer the probe\n", candidate.number,
                       qPrintable(candidate.devicePath));
            continue;
        }
        const PortDescriptions::Record record = PortDescriptions::Find(descriptions, device);
        const int index =
            AddSorted(EntryText(candidate.number, device, PortDescriptions::AdapterText(record),
                                record.serialNumber, deniedHere),
                      candidate.number);
        setItemData(index, candidate.devicePath, Qt::ToolTipRole);
        ++added;
        if (!deniedHere) {
            ++usable;
        }
    }
    if (added == 0) {
        mainWindow.ProgramError(NO_COM_PORTS);
    }
    // Ports this user may not open, and none that it may: the user learns
    // why and how to get the permission.
    if (usable == 0 && !denied.isEmpty()) {
        mainWindow.PortAccessDenied(denied);
    }
    return added > 0;
}

int ComPortSelector::GetSelectedPort() const {
    if (currentIndex() < 0) {
        return -1;
    }
    return currentData().toInt();
}

void ComPortSelector::SelectPort(int port) {
    setCurrentIndex(findData(port));
}

QList<ComPortSelector::Candidate> ComPortSelector::FindCandidates() const {
    const QString portDir = qEnvironmentVariable("TRELM_PORTS");
    if (!portDir.isEmpty() && QFileInfo(portDir).isDir()) {
        return CandidatesInDirectory(portDir);
    }
    return CandidatesInFixedTable();
}

QList<ComPortSelector::Candidate> ComPortSelector::CandidatesInDirectory(const QString& dir) const {
    QList<Candidate> candidates;
    QSet<int> seen;
    const QStringList names = QDir(dir).entryList(
        QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names) {
        const int number = PortNumberOfName(name);
        if (number == 0 || seen.contains(number)) {
            continue;
        }
        seen.insert(number);
        // The port is opened by its number, so the probe goes to the entry
        // that number names ("com01" stands for COM 1, which is "com1").
        candidates.append({number, dir + QStringLiteral("/com%1").arg(number)});
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.number < b.number; });
    return candidates;
}

QList<ComPortSelector::Candidate> ComPortSelector::CandidatesInFixedTable() const {
    QList<Candidate> candidates;
    for (const TableBlock& block : FIXED_TABLE) {
        for (int offset = 0; offset < BLOCK_SIZE; ++offset) {
            const QString deviceName = QLatin1String(block.nodePrefix) + QString::number(offset);
            const QString path = devRoot + QLatin1Char('/') + deviceName;
            if (QFileInfo::exists(path) && ShowsHardware(deviceName)) {
                candidates.append({block.firstPort + offset, path});
            }
        }
    }
    return candidates;
}

// The kernel creates tty nodes whether or not hardware answers behind them
// (the legacy ttyS ports in particular). A real port has a "device" link in
// sysfs, and a legacy serial port also reports a non-zero UART type.
bool ComPortSelector::ShowsHardware(const QString& deviceName) const {
    const QString base = sysfsRoot + QStringLiteral("/class/tty/") + deviceName;
    if (!QFileInfo::exists(base + QStringLiteral("/device"))) {
        return false;
    }
    if (!deviceName.startsWith(QLatin1String("ttyS"))) {
        return true;
    }
    QFile typeFile(base + QStringLiteral("/type"));
    if (!typeFile.open(QIODevice::ReadOnly)) {
        return false;
    }
    bool ok = false;
    const int type = QString::fromLatin1(typeFile.readAll()).trimmed().toInt(&ok);
    return ok && type != 0;
}

bool ComPortSelector::ProbePort(const QString& devicePath) {
    const QByteArray path = QFile::encodeName(devicePath);
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // Refused access means another program holds the port (or we may
        // not use it): the port is there all the same.
        return errno == EACCES || errno == EBUSY || errno == EPERM;
    }
    // Opening raised DTR and RTS; drop them again at once so the device does
    // not see a connection come and go.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &lines);
    termios settings{};
    const bool isSerialLine = ::tcgetattr(fd, &settings) == 0;
    ::close(fd);
    return isSerialLine;
}
