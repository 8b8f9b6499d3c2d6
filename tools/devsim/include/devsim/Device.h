// The emulated device without any transport: request bytes go in, answer
// bytes come out. It keeps the NV file store, the state of the create, read
// and listing flows, the scripted faults and counters of the traffic.
//
// Every public member is thread-safe: a test may look at or change the device
// while a server thread feeds it.
#pragma once

#include "devsim/DeviceConfig.h"
#include "devsim/Exchange.h"
#include "devsim/Fault.h"
#include "devsim/FileStore.h"
#include "devsim/NvFile.h"
#include "devsim/Timestamp.h"

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace devsim {

// Device status bytes the device answers with.
namespace status {
inline constexpr uint8_t Ok = 0;
inline constexpr uint8_t WriteError = 5;
inline constexpr uint8_t MaxNumFilesExceeded = 9;
inline constexpr uint8_t FileHandleUnknown = 10;
inline constexpr uint8_t FileWriteProtected = 11;
inline constexpr uint8_t IllegalFilename = 12;
inline constexpr uint8_t ExistingFilename = 15;
inline constexpr uint8_t NoneExistingFilename = 16;
inline constexpr uint8_t FileIsNotOpen = 18;
} // namespace status

class Device {
public:
    // Data bytes per packet of the read and create flows.
    static constexpr std::size_t PacketSize = 100;
    // Bytes of one file entry in listing data.
    static constexpr std::size_t ListEntrySize = 48;

    explicit Device(DeviceConfig config = {});

    // --- the line -------------------------------------------------------
    // Takes bytes from the line. Each request frame completed by them yields
    // one Exchange, in order; bytes of an incomplete frame are kept for the
    // next call.
    std::vector<Exchange> receive(std::span<const uint8_t> bytes);
    // receive(), with the answers joined (hang-ups, delays and pacing ignored).
    std::vector<uint8_t> process(std::span<const uint8_t> bytes);
    // Forgets the bytes of an incomplete frame (the line went quiet or the
    // client closed the port).
    void discardPartialFrame();
    std::size_t pendingBytes() const;

    // --- configuration ----------------------------------------------------
    DeviceConfig config() const;
    void setConfig(const DeviceConfig& config);
    void setLineBaud(uint32_t baud);

    // --- the store --------------------------------------------------------
    // Adds a file as if it had been created on the device, within the store
    // limits. On failure returns false and, if error is given, why.
    bool addFile(NvFile file, std::string* error = nullptr);
    // Adds or replaces a file regardless of the store limits (a preloaded
    // store). The name and size must still be legal.
    bool putFile(NvFile file, std::string* error = nullptr);
    bool removeFile(std::string_view name);
    void clearFiles();
    std::optional<NvFile> file(std::string_view name) const;
    std::vector<NvFile> files() const;
    std::optional<uint16_t> handleOf(std::string_view name) const;
    bool setAttributes(std::string_view name, uint16_t attributes);
    bool setReportedSize(std::string_view name, std::optional<uint32_t> value);
    bool setReportedValue(std::string_view name, uint32_t value);
    // Files open: reads not yet terminated, plus a create not yet stored.
    uint16_t openFiles() const;

    // --- faults -----------------------------------------------------------
    // Rules are tried in the order added; the first that hits a request
    // decides its fault.
    void addFault(const Fault& fault);
    bool addFault(std::string_view text, std::string* error = nullptr);
    void clearFaults();
    std::vector<Fault> faults() const;

    // --- counters ---------------------------------------------------------
    // Request frames with a correct checksum, per command code.
    uint64_t requestCount(uint16_t code) const;
    std::map<uint16_t, uint64_t> requestCounts() const;
    // Request frames with a wrong checksum (answered with NAK).
    uint64_t badFrames() const;
    uint64_t bytesIn() const;
    uint64_t bytesOut() const;
    // Every request frame received, byte for byte, in order.
    std::vector<std::vector<uint8_t>> requestLog() const;
    // Clears counters and the log; fault occurrences count from 1 again.
    void resetCounters();

private:
    struct Reply {
        bool known = true;    // false: unknown or malformed request, answered with NAK
        bool hasFrame = true; // false: acknowledgement only
        uint16_t code = 0;
        std::vector<uint8_t> payload;
    };
    struct CreateFlow {
        NvFile file;
        uint16_t nextPacket = 0;
        std::size_t received = 0;
    };
    struct ReadFlow {
        std::vector<uint8_t> data;
    };
    struct ListFlow {
        bool open = false;
        std::vector<uint8_t> data;
        uint16_t packets = 0;
        uint16_t expected = 0;
    };

    // Unknown or malformed requests, and data packets outside their flow.
    static Reply refused() {
        Reply r;
        r.known = false;
        return r;
    }
    static Reply acknowledgedOnly() {
        Reply r;
        r.hasFrame = false;
        return r;
    }

    Exchange handleFrame(std::vector<uint8_t> frame);
    const Fault* findFault(uint16_t code, uint64_t occurrence, uint64_t total) const;
    Reply execute(uint16_t code, std::span<const uint8_t> payload, const Fault* fault);

    Reply statusOnly(uint16_t code, uint8_t statusByte) const;
    Reply onWakeUp();
    Reply onGetHandle(uint16_t code, std::span<const uint8_t> payload);
    Reply onExist(uint16_t code, std::span<const uint8_t> payload, bool seeHidden);
    Reply onDelete(uint16_t code, std::span<const uint8_t> payload, bool writeProtectedToo);
    Reply onFileSize(uint16_t code, std::span<const uint8_t> payload);
    Reply onInfoByHandle(uint16_t code, std::span<const uint8_t> payload, bool seeHidden);
    Reply onInfoByName(uint16_t code, std::span<const uint8_t> payload);
    Reply onReadOpen(uint16_t code, std::span<const uint8_t> payload);
    Reply onReadPacket(uint16_t code, std::span<const uint8_t> payload, const Fault* fault);
    Reply onReadTerminate(std::span<const uint8_t> payload);
    Reply onCreate(uint16_t code, std::span<const uint8_t> payload);
    Reply onCreatePacket(uint16_t code, std::span<const uint8_t> payload, const Fault* fault);
    Reply onStore(uint16_t code, const Fault* fault);
    Reply onListOpen(uint16_t code, bool seeHidden);
    Reply onListPacket(uint16_t code, std::span<const uint8_t> payload, const Fault* fault);
    Reply onListEnd(uint16_t code);
    Reply onStatistic(uint16_t code);

    std::vector<uint8_t> infoPayload(const NvFile& file) const;
    static std::optional<std::string> nameArgument(std::span<const uint8_t> payload);
    ListFlow& listFlow(uint16_t code);
    uint16_t openFilesLocked() const;

    mutable std::mutex mutex_;
    DeviceConfig config_;
    FileStore store_;
    std::vector<Fault> faults_;

    std::vector<uint8_t> rx_;
    std::optional<CreateFlow> create_;
    std::map<uint16_t, ReadFlow> reads_;
    std::array<ListFlow, 2> lists_; // plain, extended

    std::map<uint16_t, uint64_t> counts_;
    uint64_t validFrames_ = 0;
    uint64_t badFrames_ = 0;
    uint64_t bytesIn_ = 0;
    uint64_t bytesOut_ = 0;
    std::vector<std::vector<uint8_t>> log_;
};

} // namespace devsim
