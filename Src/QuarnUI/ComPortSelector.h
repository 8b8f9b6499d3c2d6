#pragma once

#include "SortedComboBox.h"

#include <QList>
#include <QString>

#include <functional>

class MainWindowMessages;

// The drop-down list of the COM ports present on this machine. Every entry
// names the port number and the device behind it, links resolved
// ("COM 7 — /dev/pts/3"), followed for a USB adapter by what the system
// knows of it ("COM 33 — /dev/ttyUSB0 (FTDI FT232R USB UART, serial
// A1B2C3)") and for a port this user may not open by "no permission"; the
// texts around the values come from the language file. Each entry carries
// the port number as its data (the port map's path shows as its tool tip);
// the list is sorted by text, so "COM 10" comes between "COM 1" and "COM 2".
// The dialogs that use it add "AUTO" (data 0).
//
// Ports are found the way the device link finds them: a TRELM_PORTS
// directory, when the variable names one, is the whole port map ("comN" is
// COM N); otherwise a fixed table (COM1-32 /dev/ttyS0-31, COM33-64
// /dev/ttyUSB0-31, COM65-96 /dev/ttyACM0-31) whose nodes count only when
// sysfs shows hardware behind them. Every candidate must then pass a probe
// of the port itself. When every port listed is one this user may not open,
// the main window is told so, and shows how to get the permission.
class ComPortSelector : public SortedComboBox {
    Q_OBJECT

public:
    struct Candidate {
        int number = 0;
        QString devicePath;
    };

    explicit ComPortSelector(MainWindowMessages& mainWindow, QWidget* parent = nullptr);
    ~ComPortSelector() override;

    // Where the fixed table looks: sysfs (default "/sys") and the device
    // folder (default "/dev").
    void SetSystemRoots(const QString& sysfsRoot, const QString& devRoot);

    // Adds one entry per port found. When none is found the main window is
    // sent program error 1130 and the answer is false. The probes run here,
    // on the calling thread.
    bool FillPorts();
    // The same through the main window's device link, when it has one: the
    // probes wait for the device operation under way and never run while
    // the library opens a port; `done` gets FillPorts' answer. Without a
    // link the ports are probed at once.
    void FillPortsLater(std::function<void(bool)> done);
    // The port number of the selected entry; -1 when nothing is selected.
    int GetSelectedPort() const;
    // Selects the entry whose data is `port`; none when no entry has it.
    void SelectPort(int port);

    // The ports that may exist, ascending, before the probe.
    QList<Candidate> FindCandidates() const;
    // Whether a port is present at `devicePath`: it opens for reading and
    // writing and its line settings can be read, or the open is refused
    // because another program holds the port (EACCES, EBUSY, EPERM).
    static bool ProbePort(const QString& devicePath);
    // The device behind COM `port` in the port map, links resolved
    // ("/dev/pts/3"); empty when the map has no such port.
    static QString DevicePathOf(int port);

private:
    // The text of the entry of COM `number` at the device `devicePath`
    // (links resolved), `adapter` and `serialNumber` as the system describes
    // it (either may be empty), `denied` when this user may not open it.
    QString EntryText(int number, const QString& devicePath, const QString& adapter,
                      const QString& serialNumber, bool denied) const;
    // Adds the entries of the candidates that passed their probe.
    bool AddProbed(const QList<Candidate>& candidates, const QList<bool>& present);
    QList<Candidate> CandidatesInDirectory(const QString& dir) const;
    QList<Candidate> CandidatesInFixedTable() const;
    bool ShowsHardware(const QString& deviceName) const;

    MainWindowMessages& mainWindow;
    QString sysfsRoot = QStringLiteral("/sys");
    QString devRoot = QStringLiteral("/dev");
};
