#include "PortsCommand.h"

#include "CancelSignal.h"
#include "PortDiagnosis.h"
#include "PortLister.h"
#include "ResultNames.h"
#include "UsbDetails.h"

#include <climits>
#include <cstdlib>
#include <optional>

#include <trelm.h>

namespace trelmctl {

namespace {

// What probing one port found.
struct Probe {
    bool tried = false;
    uint32_t result = TRELM_OK;
    uint32_t info1 = 0;
    uint32_t info2 = 0;
};

// The USB adapter behind a port's device, if it is one.
std::optional<UsbDetails::Details> UsbOf(const std::string& device) {
    char resolved[PATH_MAX];
    if (::realpath(device.c_str(), resolved) == nullptr) {
        return std::nullopt;
    }
    const std::string node = resolved;
    return UsbDetails().Of(node.substr(node.rfind('/') + 1));
}

} // namespace

PortsCommand::PortsCommand(const CommandLine& line, Reporter& reporter)
    : m_line(line), m_reporter(reporter) {}

void PortsCommand::Run() {
    const PortLister lister;
    const std::vector<PortLister::Port> ports = lister.List(m_line.allPorts);
    const std::string mapDir = PortLister::MapDirectory();
    if (ports.empty() && !m_reporter.Json()) {
        m_reporter.Print(mapDir.empty()
                             ? "No serial ports found." +
                                   std::string(m_line.allPorts ? ""
                                                               : " ('--all' also lists nodes "
                                                                 "without hardware.)")
                             : "No comN entries in the TRELM_PORTS folder " + mapDir + ".");
    }

    for (const PortLister::Port& port : ports) {
        if (CancelSignal::Requested()) {
            m_reporter.Failed(m_line.commandName,
                              Reporter::Local(TRELM_ERROR_FILE_TRANSFER_CANCELLED, "cancelled"));
            return;
        }
        PortDiagnosis::Finding finding = PortDiagnosis::Inspect(port.path);
        Probe probe;
        if (m_line.probe && finding.state == PortDiagnosis::State::Available) {
            probe.tried = true;
            const char* mode = m_line.mode ? m_line.mode->c_str() : nullptr;
            probe.result = TRELM_Init(port.number, mode);
            if (probe.result == TRELM_OK) {
                probe.result = TRELM_GetConnectedDeviceInfo(&probe.info1, &probe.info2);
            } else if (probe.result == TRELM_ERROR_COMPORT_NOT_OPENED) {
                // The library could not open it: find out why.
                finding = PortDiagnosis::TryOpen(port.path);
            }
        }

        std::string device = port.target.empty() ? port.path : port.target;
        const auto usb = UsbOf(port.path);
        if (m_reporter.Json()) {
            JsonLine line("port");
            line.Add("port", port.number)
                .Add("name", "COM" + std::to_string(port.number))
                .Add("path", port.path)
                .Add("device", device)
                .Add("searched", port.searched)
                .Add("state", PortDiagnosis::StateName(finding.state));
            if (!finding.message.empty()) {
                line.Add("message", finding.message);
            }
            if (usb) {
                line.Add("vendorId", usb->vendorId)
                    .Add("productId", usb->productId)
                    .Add("manufacturer", usb->manufacturer)
                    .Add("product", usb->product)
                    .Add("serial", usb->serial)
                    .Add("byId", usb->byId);
            }
            if (probe.tried) {
                line.Add("answers", probe.result == TRELM_OK)
                    .Add("probeResult", probe.result)
                    .Add("probeResultName", ResultNames::Result(probe.result));
                if (probe.result == TRELM_OK) {
                    line.Add("info1", probe.info1).Add("info2", probe.info2);
                }
            }
            m_reporter.Emit(line);
            continue;
        }

        std::string text = "COM" + std::to_string(port.number);
        text.resize(7, ' ');
        text += port.path;
        if (!port.target.empty()) {
            text += " -> " + port.target;
        }
        if (!port.searched) {
            text += "  (no hardware; the port search skips it)";
        }
        if (!finding.message.empty()) {
            text += "  " + finding.message;
        } else if (probe.tried && probe.result == TRELM_OK) {
            text += "  device answers (information " + std::to_string(probe.info1) + ", " +
                    std::to_string(probe.info2) + ")";
        } else if (probe.tried) {
            text += std::string("  no device answers (") + ResultNames::Result(probe.result) + ")";
        }
        m_reporter.Print(text);
        if (usb) {
            std::string details = "       USB " + usb->vendorId + ":" + usb->productId;
            for (const std::string* part : {&usb->manufacturer, &usb->product}) {
                if (!part->empty()) {
                    details += " " + *part;
                }
            }
            if (!usb->serial.empty()) {
                details += ", serial " + usb->serial + " (--port usb:" + usb->serial + ")";
            }
            m_reporter.Print(details);
            if (!usb->byId.empty()) {
                m_reporter.Print("       " + usb->byId);
            }
        }
    }
}

} // namespace trelmctl
