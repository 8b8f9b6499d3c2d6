// Asks ports whether a device answers (the library's session start on that
// port, then the device information), many ports at the same time: each probe
// runs in a process of its own, since the library holds one session per
// process, so many silent ports cost the time of one.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace trelmctl {

class PortProbe {
public:
    struct Answer {
        unsigned number = 0;
        uint32_t result = 0; // TRELM_OK when a device answered
        uint32_t info1 = 0;
        uint32_t info2 = 0;
    };

    // `mode` is the line settings text, or empty for the default.
    explicit PortProbe(std::string mode) : m_mode(std::move(mode)) {}
    ~PortProbe();
    PortProbe(const PortProbe&) = delete;
    PortProbe& operator=(const PortProbe&) = delete;

    // Starts a probe of COM `number` (with a private port map `portsDir`
    // when not empty).
    void Start(unsigned number, const std::string& portsDir = {});
    bool Running(unsigned number) const;
    bool Busy() const { return !m_probes.empty(); }
    // The descriptors to wait on (readable when a probe has ended).
    std::vector<int> Descriptors() const;
    // Whether a probe has answered but its process has not gone yet (look
    // again soon: there is no descriptor to wait on).
    bool Exiting() const;
    // The probes that have ended, without waiting.
    std::vector<Answer> TakeEnded();
    // Ends every running probe at once (a probe changes nothing).
    void StopAll();

    // Probes all `numbers` at once and waits for every answer, in the order given.
    static std::vector<Answer> ProbeAll(const std::vector<unsigned>& numbers,
                                        const std::string& mode);

private:
    struct Probe {
        pid_t pid = -1;
        unsigned number = 0;
        int fd = -1;
        std::string text;
    };

    std::string m_mode;
    std::vector<Probe> m_probes;
};

} // namespace trelmctl
