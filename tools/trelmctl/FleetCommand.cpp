#include "FleetCommand.h"

#include "CancelSignal.h"
#include "JsonLine.h"
#include "PortDiagnosis.h"
#include "PortLister.h"
#include "PortProbe.h"
#include "Reporter.h"
#include "ResultNames.h"

#include <set>
#include <trelm.h>

namespace trelmctl {

int FleetCommand::Run(bool drawBars) {
    Fleet fleet(m_line, drawBars);
    std::vector<Fleet::Target> targets;
    if (m_line.portAll) {
        int status = 0;
        if (!AnsweringPorts(fleet, targets, status)) {
            return status;
        }
    } else {
        std::set<unsigned> taken;
        for (const CommandLine::PortItem& item : m_line.portItems) {
            Fleet::Target target;
            std::string error;
            if (!m_alias.Resolve(item, taken, target, error)) {
                Reporter(m_line.json, m_line.quiet).UsageError("--port: " + error);
                return Reporter::kUsageExit;
            }
            for (const Fleet::Target& other : targets) {
                if (other.number == target.number && other.portsDir == target.portsDir) {
                    Reporter(m_line.json, m_line.quiet)
                        .UsageError("--port names COM" + std::to_string(target.number) + " twice");
                    return Reporter::kUsageExit;
                }
            }
            targets.push_back(target);
        }
    }
    for (const Fleet::Target& target : targets) {
        if (CancelSignal::Requested()) {
            break;
        }
        fleet.Start(target);
    }
    return fleet.Finish();
}

bool FleetCommand::AnsweringPorts(Fleet& fleet, std::vector<Fleet::Target>& targets,
                                  int& status) const {
    const std::vector<PortLister::Port> ports = PortLister().List(false);
    std::vector<unsigned> probed;
    for (const PortLister::Port& port : ports) {
        const PortDiagnosis::Finding finding = PortDiagnosis::Inspect(port.path);
        if (finding.state == PortDiagnosis::State::Available) {
            probed.push_back(port.number);
            continue;
        }
        if (m_line.json) {
            JsonLine line("port");
            line.Add("port", port.number)
                .Add("name", "COM" + std::to_string(port.number))
                .Add("path", port.path)
                .Add("selected", false)
                .Add("state", PortDiagnosis::StateName(finding.state))
                .Add("message", finding.message);
            fleet.SayJson(line.Text());
        } else {
            fleet.Say(port.number, "left out: " + finding.message, true);
        }
    }
    const std::vector<PortProbe::Answer> answers =
        PortProbe::ProbeAll(probed, m_line.mode ? *m_line.mode : std::string());
    uint32_t firstFailure = 0;
    for (const PortProbe::Answer& answer : answers) {
        const bool answers = answer.result == TRELM_OK;
        if (m_line.json) {
            JsonLine line("port");
            line.Add("port", answer.number)
                .Add("name", "COM" + std::to_string(answer.number))
                .Add("path", PortLister().PathOf(answer.number))
                .Add("selected", answers)
                .Add("state", "available")
                .Add("answers", answers)
                .Add("probeResult", answer.result)
                .Add("probeResultName", ResultNames::Result(answer.result));
            fleet.SayJson(line.Text());
        } else if (!answers) {
            fleet.Say(answer.number,
                      std::string("left out: no device answers (") +
                          ResultNames::Result(answer.result) + ", code " +
                          std::to_string(answer.result) + ")",
                      true);
        } else if (!m_line.quiet) {
            fleet.Say(answer.number, "a device answers", false);
        }
        if (answers) {
            targets.push_back(Fleet::Target{answer.number, {}});
        } else if (firstFailure == 0) {
            firstFailure = answer.result;
        }
    }
    if (CancelSignal::Requested()) {
        Reporter(m_line.json, m_line.quiet)
            .Failed(m_line.commandName,
                    Reporter::Local(TRELM_ERROR_FILE_TRANSFER_CANCELLED, "cancelled"));
        status = TRELM_ERROR_FILE_TRANSFER_CANCELLED;
        return false;
    }
    if (!targets.empty()) {
        return true;
    }
    Reporter reporter(m_line.json, m_line.quiet);
    if (ports.empty()) {
        reporter.Failed(m_line.commandName, Reporter::Local(TRELM_ERROR_COMPORT_NOT_OPENED,
                                                            "--port all: no COM port to search"));
    } else if (probed.empty()) {
        reporter.Failed(m_line.commandName,
                        Reporter::Local(TRELM_ERROR_COMPORT_NOT_OPENED,
                                        "--port all: no COM port can be opened"));
    } else {
        reporter.Failed(m_line.commandName,
                        Reporter::Local(firstFailure, "--port all: no device answers"));
    }
    status = reporter.ExitStatus();
    return false;
}

} // namespace trelmctl
