#include "devsim/Device.h"

#include "devsim/CommandTable.h"
#include "devsim/Frame.h"

#include <algorithm>
#include <cstdlib>

namespace devsim {

namespace {

constexpr uint8_t ExtraByte = 0xA5;

std::size_t packetsFor(std::size_t bytes, std::size_t perPacket) {
    return (bytes + perPacket - 1) / perPacket;
}

// Whether a fault's action can do anything to a request of this code; a rule
// for every command ("*") passes over the requests it cannot affect.
bool applies(const Fault& fault, uint16_t code) {
    switch (fault.action()) {
    case Fault::Action::BadChecksum:
    case Fault::Action::WrongCode:
        return CommandTable::known(code) && !CommandTable::ackOnly(code);
    case Fault::Action::PacketNumber:
        return CommandTable::dataPacket(code);
    case Fault::Action::Repeat:
        return code == cmd::CreateNvFileDataPacket;
    case Fault::Action::Status:
        return CommandTable::replyHasStatus(code);
    case Fault::Action::Flip:
        return code == cmd::CreateNvFileStoreFile || code == cmd::ReadNvFileDataPacket;
    default:
        return true;
    }
}

void putStamp(std::vector<uint8_t>& out, const Timestamp& ts) {
    out.push_back(ts.hour);
    out.push_back(ts.minute);
    out.push_back(ts.second);
    out.push_back(ts.day);
    out.push_back(ts.month);
    Frame::putU16(out, ts.year);
    out.push_back(ts.weekday);
}

// In listing entries the date comes before the time, each group padded to
// four bytes.
void putListStamp(std::vector<uint8_t>& out, const Timestamp& ts) {
    out.push_back(ts.day);
    out.push_back(ts.month);
    Frame::putU16(out, ts.year);
    out.push_back(ts.weekday);
    out.push_back(0);
    out.push_back(ts.hour);
    out.push_back(ts.minute);
    out.push_back(ts.second);
    out.push_back(0);
}

void putName(std::vector<uint8_t>& out, const std::string& name) {
    for (std::size_t i = 0; i < 13; ++i) {
        out.push_back(i < name.size() && i < 12 ? static_cast<uint8_t>(name[i]) : 0);
    }
}

const char* addError(FileStore::AddResult result) {
    switch (result) {
    case FileStore::AddResult::Added:
        return "";
    case FileStore::AddResult::IllegalName:
        return "illegal device file name (1 to 12 characters in 8.3 form)";
    case FileStore::AddResult::TooLarge:
        return "file larger than 65535 bytes";
    case FileStore::AddResult::Exists:
        return "a file of that name exists";
    case FileStore::AddResult::TooManyFiles:
        return "the store holds its largest number of files";
    case FileStore::AddResult::NoSpace:
        return "not enough space in the store";
    }
    return "";
}

} // namespace

Device::Device(DeviceConfig config) : config_(config) {
    store_.setLimits(config_.maxFiles, config_.maxTotalBytes);
}

// --- the line ---------------------------------------------------------------

std::vector<Exchange> Device::receive(std::span<const uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    bytesIn_ += bytes.size();
    rx_.insert(rx_.end(), bytes.begin(), bytes.end());
    std::vector<Exchange> exchanges;
    std::size_t pos = 0;
    while (rx_.size() - pos >= Frame::HeaderSize) {
        const std::size_t length = rx_[pos + 2] + Frame::Overhead;
        if (rx_.size() - pos < length) {
            break;
        }
        std::vector<uint8_t> frame(rx_.begin() + static_cast<std::ptrdiff_t>(pos),
                                   rx_.begin() + static_cast<std::ptrdiff_t>(pos + length));
        pos += length;
        exchanges.push_back(handleFrame(std::move(frame)));
        bytesOut_ += exchanges.back().answer.size();
    }
    rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(pos));
    return exchanges;
}

std::vector<uint8_t> Device::process(std::span<const uint8_t> bytes) {
    std::vector<uint8_t> out;
    for (const Exchange& e : receive(bytes)) {
        out.insert(out.end(), e.answer.begin(), e.answer.end());
    }
    return out;
}

void Device::discardPartialFrame() {
    std::lock_guard lock(mutex_);
    rx_.clear();
}

std::size_t Device::pendingBytes() const {
    std::lock_guard lock(mutex_);
    return rx_.size();
}

Exchange Device::handleFrame(std::vector<uint8_t> frame) {
    Exchange ex;
    ex.request = frame;
    log_.push_back(frame);
    if (!Frame::valid(frame)) {
        ++badFrames_;
        Frame::putWord(ex.answer, NakWord);
        return ex;
    }
    const uint16_t code = Frame::code(frame);
    const uint64_t occurrence = ++counts_[code];
    const uint64_t total = ++validFrames_;
    const Fault* fault = findFault(code, occurrence, total);
    const auto action = fault != nullptr ? fault->action() : Fault::Action::Nak;

    // Faults that stand in for the whole answer: the device did not take the
    // request in, so it is not carried out.
    if (fault != nullptr) {
        switch (action) {
        case Fault::Action::Silent:
            return ex;
        case Fault::Action::HangUp:
            ex.hangUp = true;
            return ex;
        case Fault::Action::Nak:
            Frame::putWord(ex.answer, NakWord);
            return ex;
        case Fault::Action::Word:
            Frame::putWord(ex.answer, static_cast<uint16_t>(fault->value()));
            return ex;
        case Fault::Action::Delay:
            ex.delayMs = static_cast<uint32_t>(fault->value());
            break;
        case Fault::Action::Baud:
            ex.baud = static_cast<uint32_t>(fault->value());
            break;
        default:
            break;
        }
    }

    const Reply reply = execute(code, Frame::payload(frame), fault);
    if (!reply.known) {
        Frame::putWord(ex.answer, NakWord);
        return ex;
    }
    Frame::putWord(ex.answer, AckWord);
    if (reply.hasFrame) {
        uint16_t replyCode = reply.code;
        if (fault != nullptr && action == Fault::Action::WrongCode) {
            replyCode = fault->value() < 0 ? code : static_cast<uint16_t>(fault->value());
        }
        std::vector<uint8_t> bytes = Frame::build(replyCode, reply.payload);
        if (fault != nullptr && action == Fault::Action::BadChecksum) {
            const std::size_t at = bytes.size() - 2;
            const auto wrong = static_cast<uint16_t>(Frame::u16(bytes, at) + 1);
            bytes[at] = static_cast<uint8_t>(wrong & 0xFF);
            bytes[at + 1] = static_cast<uint8_t>(wrong >> 8);
        }
        ex.answer.insert(ex.answer.end(), bytes.begin(), bytes.end());
    }
    if (fault != nullptr && action == Fault::Action::Truncate) {
        const auto cut =
            std::min<std::size_t>(static_cast<std::size_t>(fault->value()), ex.answer.size());
        ex.answer.resize(ex.answer.size() - cut);
    }
    if (fault != nullptr && action == Fault::Action::Extra) {
        ex.answer.insert(ex.answer.end(), static_cast<std::size_t>(fault->value()), ExtraByte);
    }
    return ex;
}

const Fault* Device::findFault(uint16_t code, uint64_t occurrence, uint64_t total) const {
    for (const Fault& f : faults_) {
        const bool hit = f.target() ? (*f.target() == code && f.hits(occurrence)) : f.hits(total);
        if (hit && applies(f, code)) {
            return &f;
        }
    }
    return nullptr;
}

Device::Reply Device::execute(uint16_t code, std::span<const uint8_t> payload, const Fault* fault) {
    if (!CommandTable::known(code)) {
        return refused();
    }
    if (fault != nullptr && fault->action() == Fault::Action::Status) {
        return statusOnly(code, static_cast<uint8_t>(fault->value()));
    }
    switch (code) {
    case cmd::WakeUpDut:
        return onWakeUp();
    case cmd::GetNvFileHandle:
        return onGetHandle(code, payload);
    case cmd::ReadNvFile:
        return onReadOpen(code, payload);
    case cmd::ReadNvFileDataPacket:
        return onReadPacket(code, payload, fault);
    case cmd::ReadNvFileTerminateRead:
        return onReadTerminate(payload);
    case cmd::CreateNvFile:
        return onCreate(code, payload);
    case cmd::CreateNvFileDataPacket:
        return onCreatePacket(code, payload, fault);
    case cmd::CreateNvFileStoreFile:
        return onStore(code, fault);
    case cmd::DeleteNvFile:
        return onDelete(code, payload, false);
    case cmd::DeleteWriteProtectedNvFile:
        return onDelete(code, payload, true);
    case cmd::NvFileExist:
        return onExist(code, payload, false);
    case cmd::NvFileExistEx:
        return onExist(code, payload, true);
    case cmd::GetNvFileSizeEx:
        return onFileSize(code, payload);
    case cmd::GetNvFileInfoList:
        return onListOpen(code, false);
    case cmd::GetNvFileInfoListEx:
        return onListOpen(code, true);
    case cmd::GetNvFileInfoListDataPacket:
    case cmd::GetNvFileInfoListExDataPacket:
        return onListPacket(code, payload, fault);
    case cmd::GetNvFileInfoListEnd:
    case cmd::GetNvFileInfoListExEnd:
        return onListEnd(code);
    case cmd::NvFileGetFileInfoEx:
        return onInfoByHandle(code, payload, false);
    case cmd::NvFileGetFileInfoAllFilesEx:
        return onInfoByHandle(code, payload, true);
    case cmd::NvFileGetFileInfoAllFiles:
        return onInfoByName(code, payload);
    default:
        return onStatistic(code);
    }
}

// --- replies ----------------------------------------------------------------

Device::Reply Device::statusOnly(uint16_t code, uint8_t statusByte) const {
    // A refusal keeps the reply's usual length, its fields zero.
    Reply r;
    r.code = static_cast<uint16_t>(code + 1);
    r.payload.assign(std::max<std::size_t>(CommandTable::replyLength(code), 1), 0);
    r.payload[0] = statusByte;
    return r;
}

Device::Reply Device::onWakeUp() {
    Reply r;
    r.code = cmd::WakeUpDut + 1;
    r.payload = {config_.infoValue1, config_.infoValue2};
    return r;
}

std::optional<std::string> Device::nameArgument(std::span<const uint8_t> payload) {
    if (payload.empty() || payload[0] != payload.size() - 1) {
        return std::nullopt;
    }
    return FileStore::lowered(
        std::string(reinterpret_cast<const char*>(payload.data() + 1), payload.size() - 1));
}

Device::Reply Device::onGetHandle(uint16_t code, std::span<const uint8_t> payload) {
    const auto name = nameArgument(payload);
    if (!name) {
        return refused();
    }
    if (!FileStore::legalName(*name)) {
        return statusOnly(code, status::IllegalFilename);
    }
    const NvFile* file = store_.find(*name); // hidden files too
    if (file == nullptr) {
        return statusOnly(code, status::NoneExistingFilename);
    }
    Reply r = statusOnly(code, status::Ok);
    r.payload.resize(1);
    Frame::putU16(r.payload, file->handle);
    return r;
}

Device::Reply Device::onExist(uint16_t code, std::span<const uint8_t> payload, bool seeHidden) {
    const auto name = nameArgument(payload);
    if (!name) {
        return refused();
    }
    if (!FileStore::legalName(*name)) {
        return statusOnly(code, status::IllegalFilename);
    }
    const NvFile* file = store_.find(*name);
    Reply r = statusOnly(code, status::Ok);
    r.payload[2] = file != nullptr && (seeHidden || !file->hidden()) ? 1 : 0;
    return r;
}

Device::Reply Device::onDelete(uint16_t code, std::span<const uint8_t> payload,
                               bool writeProtectedToo) {
    const auto name = nameArgument(payload);
    if (!name) {
        return refused();
    }
    if (!FileStore::legalName(*name)) {
        return statusOnly(code, status::IllegalFilename);
    }
    const NvFile* file = store_.find(*name);
    if (file == nullptr) {
        return statusOnly(code, status::NoneExistingFilename);
    }
    if (file->readOnly() && !writeProtectedToo) {
        return statusOnly(code, status::FileWriteProtected);
    }
    store_.remove(*name);
    return statusOnly(code, status::Ok);
}

Device::Reply Device::onFileSize(uint16_t code, std::span<const uint8_t> payload) {
    if (payload.size() < 2) {
        return refused();
    }
    const uint16_t handle = Frame::u16(payload, 0);
    const NvFile* file = store_.byHandle(handle);
    if (file == nullptr) {
        return statusOnly(code, status::FileHandleUnknown);
    }
    Reply r = statusOnly(code, status::Ok);
    r.payload.resize(1);
    Frame::putU16(r.payload, handle);
    Frame::putU32(r.payload, static_cast<uint32_t>(file->data.size()));
    return r;
}

std::vector<uint8_t> Device::infoPayload(const NvFile& file) const {
    std::vector<uint8_t> p;
    p.push_back(status::Ok);
    Frame::putU16(p, file.handle);
    Frame::putU32(p, static_cast<uint32_t>(file.data.size()));
    putStamp(p, file.created);
    putStamp(p, file.modified);
    Frame::putU16(p, file.attributes);
    Frame::putU32(p, file.reportedSizeValue());
    Frame::putU32(p, file.reportedValue.value_or(0));
    p.push_back(0);
    putName(p, file.name);
    return p;
}

Device::Reply Device::onInfoByHandle(uint16_t code, std::span<const uint8_t> payload,
                                     bool seeHidden) {
    if (payload.size() < 2) {
        return refused();
    }
    const NvFile* file = store_.byHandle(Frame::u16(payload, 0));
    if (file == nullptr) {
        return statusOnly(code, status::FileHandleUnknown);
    }
    if (file->hidden() && !seeHidden) {
        return statusOnly(code, status::NoneExistingFilename);
    }
    Reply r;
    r.code = static_cast<uint16_t>(code + 1);
    r.payload = infoPayload(*file);
    return r;
}

Device::Reply Device::onInfoByName(uint16_t code, std::span<const uint8_t> payload) {
    const auto name = nameArgument(payload);
    if (!name) {
        return refused();
    }
    if (!FileStore::legalName(*name)) {
        return statusOnly(code, status::IllegalFilename);
    }
    // Sees hidden files: a copy of a hidden file from the device asks for its
    // time stamps by name.
    const NvFile* file = store_.find(*name);
    if (file == nullptr) {
        return statusOnly(code, status::NoneExistingFilename);
    }
    Reply r;
    r.code = static_cast<uint16_t>(code + 1);
    r.payload = infoPayload(*file);
    return r;
}

Device::Reply Device::onReadOpen(uint16_t code, std::span<const uint8_t> payload) {
    if (payload.size() < 4) {
        return refused();
    }
    const uint16_t handle = Frame::u16(payload, 0);
    const uint16_t wanted = Frame::u16(payload, 2);
    const NvFile* file = store_.byHandle(handle);
    if (file == nullptr) {
        return statusOnly(code, status::FileHandleUnknown);
    }
    // The read works on the file as it is now; a later delete or change does
    // not disturb it.
    const std::size_t bytes = std::min<std::size_t>(wanted, file->data.size());
    ReadFlow& flow = reads_[handle];
    flow.data.assign(file->data.begin(), file->data.begin() + static_cast<std::ptrdiff_t>(bytes));
    Reply r = statusOnly(code, status::Ok);
    r.payload.resize(1);
    Frame::putU16(r.payload, handle);
    Frame::putU16(r.payload, static_cast<uint16_t>(bytes));
    Frame::putU16(r.payload, static_cast<uint16_t>(packetsFor(bytes, PacketSize)));
    return r;
}

Device::Reply Device::onReadPacket(uint16_t code, std::span<const uint8_t> payload,
                                   const Fault* fault) {
    if (payload.size() < 4) {
        return refused();
    }
    const uint16_t handle = Frame::u16(payload, 0);
    const uint16_t packet = Frame::u16(payload, 2);
    const auto it = reads_.find(handle);
    if (it == reads_.end()) {
        return refused(); // no read open on that handle
    }
    const std::vector<uint8_t>& data = it->second.data;
    const std::size_t offset = std::size_t{packet} * PacketSize;
    const std::size_t count = offset < data.size() ? std::min(PacketSize, data.size() - offset) : 0;
    const bool renumber = fault != nullptr && fault->action() == Fault::Action::PacketNumber;
    Reply r;
    r.code = static_cast<uint16_t>(code + 1);
    Frame::putU16(r.payload, handle);
    Frame::putU16(r.payload, renumber ? fault->packetNumber(packet) : packet);
    r.payload.push_back(static_cast<uint8_t>(count));
    r.payload.insert(r.payload.end(), data.begin() + static_cast<std::ptrdiff_t>(offset),
                     data.begin() + static_cast<std::ptrdiff_t>(offset + count));
    // Data read wrongly from the store: the packet (and its checksum) is
    // whole, but one of its bytes differs from the file.
    if (fault != nullptr && fault->action() == Fault::Action::Flip && count > 0) {
        const std::size_t at = r.payload.size() - count +
                               std::min(static_cast<std::size_t>(fault->value()), count - 1);
        r.payload[at] = static_cast<uint8_t>(~r.payload[at]);
    }
    return r;
}

Device::Reply Device::onReadTerminate(std::span<const uint8_t> payload) {
    if (payload.size() < 2) {
        return refused();
    }
    reads_.erase(Frame::u16(payload, 0));
    return acknowledgedOnly();
}

Device::Reply Device::onCreate(uint16_t code, std::span<const uint8_t> payload) {
    if (payload.size() < 14 || payload[0] != payload.size() - 14) {
        return refused();
    }
    // A new creation replaces one that was never stored.
    create_.reset();
    NvFile file;
    file.name = FileStore::lowered(
        std::string(reinterpret_cast<const char*>(payload.data() + 14), payload[0]));
    const uint16_t size = Frame::u16(payload, 1);
    Timestamp ts;
    ts.hour = payload[5];
    ts.minute = payload[6];
    ts.second = payload[7];
    ts.day = payload[8];
    ts.month = payload[9];
    ts.year = Frame::u16(payload, 10);
    ts.weekday = payload[12];
    file.created = ts;
    file.modified = ts;
    file.attributes = payload[13];
    switch (store_.canAdd(file.name, size)) {
    case FileStore::AddResult::IllegalName:
        return statusOnly(code, status::IllegalFilename);
    case FileStore::AddResult::Exists:
        return statusOnly(code, status::ExistingFilename);
    case FileStore::AddResult::TooManyFiles:
    case FileStore::AddResult::NoSpace:
    case FileStore::AddResult::TooLarge:
        return statusOnly(code, status::MaxNumFilesExceeded);
    case FileStore::AddResult::Added:
        break;
    }
    file.data.assign(size, 0);
    create_ = CreateFlow{std::move(file), 0, 0};
    return statusOnly(code, status::Ok);
}

Device::Reply Device::onCreatePacket(uint16_t code, std::span<const uint8_t> payload,
                                     const Fault* fault) {
    if (!create_ || payload.size() < 3 || payload[2] != payload.size() - 3) {
        return refused();
    }
    CreateFlow& flow = *create_;
    const uint16_t packet = Frame::u16(payload, 0);
    const std::size_t count = payload[2];
    const std::size_t size = flow.file.data.size();
    const std::size_t packets = packetsFor(size, PacketSize);
    const bool repeat = fault != nullptr && fault->action() == Fault::Action::Repeat;

    // Only the packet asked for, with the bytes it must hold, is taken; for
    // anything else the device asks for its packet again.
    if (!repeat && flow.nextPacket < packets && packet == flow.nextPacket) {
        const std::size_t offset = std::size_t{packet} * PacketSize;
        if (count == std::min(PacketSize, size - offset)) {
            std::copy(payload.begin() + 3, payload.end(),
                      flow.file.data.begin() + static_cast<std::ptrdiff_t>(offset));
            flow.received += count;
            ++flow.nextPacket;
        }
    }
    const bool complete = flow.nextPacket >= packets;
    uint16_t next = repeat ? packet : flow.nextPacket;
    if (fault != nullptr && fault->action() == Fault::Action::PacketNumber) {
        next = fault->packetNumber(next);
    }
    Reply r;
    r.code = static_cast<uint16_t>(code + 1);
    Frame::putU16(r.payload, next);
    r.payload.push_back(complete && !repeat ? 1 : 0);
    return r;
}

Device::Reply Device::onStore(uint16_t code, const Fault* fault) {
    if (!create_) {
        return statusOnly(code, status::FileIsNotOpen);
    }
    CreateFlow flow = std::move(*create_);
    create_.reset();
    if (flow.nextPacket < packetsFor(flow.file.data.size(), PacketSize)) {
        return statusOnly(code, status::WriteError); // incomplete: discarded
    }
    // A store that goes wrong without the device noticing: one byte of the
    // kept data differs from what arrived.
    std::vector<uint8_t>& data = flow.file.data;
    if (fault != nullptr && fault->action() == Fault::Action::Flip && !data.empty()) {
        const std::size_t at = std::min(static_cast<std::size_t>(fault->value()), data.size() - 1);
        data[at] = static_cast<uint8_t>(~data[at]);
    }
    switch (store_.add(std::move(flow.file))) {
    case FileStore::AddResult::Added:
        return statusOnly(code, status::Ok);
    case FileStore::AddResult::Exists:
        return statusOnly(code, status::ExistingFilename);
    case FileStore::AddResult::IllegalName:
        return statusOnly(code, status::IllegalFilename);
    default:
        return statusOnly(code, status::MaxNumFilesExceeded);
    }
}

Device::ListFlow& Device::listFlow(uint16_t code) {
    return lists_[code >= cmd::GetNvFileInfoListEx ? 1 : 0];
}

Device::Reply Device::onListOpen(uint16_t code, bool seeHidden) {
    ListFlow& flow = listFlow(code);
    flow = ListFlow{};
    flow.open = true;
    uint16_t count = 0;
    for (const NvFile& f : store_.files()) {
        if (f.hidden() && !seeHidden) {
            continue;
        }
        ++count;
        std::vector<uint8_t>& d = flow.data;
        Frame::putU32(d, static_cast<uint32_t>(f.data.size()));
        putName(d, f.name);
        d.push_back(0);
        putListStamp(d, f.created);
        putListStamp(d, f.modified);
        Frame::putU16(d, f.attributes);
        Frame::putU32(d, f.reportedSizeValue());
        Frame::putU32(d, f.reportedValue.value_or(0));
    }
    const std::size_t perPacket = std::clamp<std::size_t>(config_.listPacketSize, 1, 252);
    flow.packets = static_cast<uint16_t>(
        std::min<std::size_t>(packetsFor(flow.data.size(), perPacket), 0xFFFF));
    Reply r = statusOnly(code, status::Ok);
    r.payload.resize(1);
    Frame::putU16(r.payload, count);
    Frame::putU16(r.payload, flow.packets);
    return r;
}

Device::Reply Device::onListPacket(uint16_t code, std::span<const uint8_t> payload,
                                   const Fault* fault) {
    ListFlow& flow = listFlow(code);
    if (!flow.open || payload.size() < 2) {
        return refused();
    }
    // The request carries only the low 8 bits of the packet number: take the
    // packet with those low bits nearest to the one expected next.
    const uint8_t low = payload[0];
    const int expected = flow.expected;
    const int base = (expected & ~0xFF) | low;
    int packet = base;
    int best = -1;
    for (int candidate : {base - 256, base, base + 256}) {
        if (candidate < 0 || candidate >= flow.packets) {
            continue;
        }
        if (best < 0 || std::abs(candidate - expected) < std::abs(best - expected)) {
            best = candidate;
        }
    }
    if (best >= 0) {
        packet = best;
        flow.expected = static_cast<uint16_t>(packet + 1);
    }
    const std::size_t perPacket = std::clamp<std::size_t>(config_.listPacketSize, 1, 252);
    const std::size_t offset = static_cast<std::size_t>(packet) * perPacket;
    const std::size_t count =
        offset < flow.data.size() ? std::min(perPacket, flow.data.size() - offset) : 0;
    uint16_t reported = static_cast<uint16_t>(packet);
    if (fault != nullptr && fault->action() == Fault::Action::PacketNumber) {
        reported = fault->packetNumber(reported);
    }
    Reply r;
    r.code = static_cast<uint16_t>(code + 1);
    Frame::putU16(r.payload, reported);
    r.payload.push_back(static_cast<uint8_t>(count));
    r.payload.insert(r.payload.end(), flow.data.begin() + static_cast<std::ptrdiff_t>(offset),
                     flow.data.begin() + static_cast<std::ptrdiff_t>(offset + count));
    return r;
}

Device::Reply Device::onListEnd(uint16_t code) {
    listFlow(code) = ListFlow{};
    return acknowledgedOnly();
}

Device::Reply Device::onStatistic(uint16_t code) {
    Reply r = statusOnly(code, status::Ok);
    r.payload.resize(1);
    switch (code) {
    case cmd::GetNumberOfOpenNvFiles:
        Frame::putU16(r.payload, openFilesLocked());
        break;
    case cmd::GetMaxNumberOfOpenNvFiles:
        Frame::putU16(r.payload, config_.maxOpenFiles);
        break;
    case cmd::GetTotAllocatedNvFileBufSize:
        Frame::putU32(r.payload, config_.totalBufferSize);
        break;
    case cmd::NvFileGetSpaceInUse:
        Frame::putU32(r.payload, store_.spaceInUse());
        break;
    case cmd::NvFileGetAllocatedNvFileSpace:
        Frame::putU32(r.payload, config_.maxTotalBytes);
        break;
    default:
        return refused();
    }
    return r;
}

uint16_t Device::openFilesLocked() const {
    return static_cast<uint16_t>(reads_.size() + (create_ ? 1 : 0));
}

// --- configuration and store ---------------------------------------------------

DeviceConfig Device::config() const {
    std::lock_guard lock(mutex_);
    return config_;
}

void Device::setConfig(const DeviceConfig& config) {
    std::lock_guard lock(mutex_);
    config_ = config;
    store_.setLimits(config_.maxFiles, config_.maxTotalBytes);
}

void Device::setLineBaud(uint32_t baud) {
    std::lock_guard lock(mutex_);
    config_.lineBaud = baud;
}

bool Device::addFile(NvFile file, std::string* error) {
    std::lock_guard lock(mutex_);
    const auto result = store_.add(std::move(file));
    if (result != FileStore::AddResult::Added && error != nullptr) {
        *error = addError(result);
    }
    return result == FileStore::AddResult::Added;
}

bool Device::putFile(NvFile file, std::string* error) {
    std::lock_guard lock(mutex_);
    const auto result = store_.put(std::move(file));
    if (result != FileStore::AddResult::Added && error != nullptr) {
        *error = addError(result);
    }
    return result == FileStore::AddResult::Added;
}

bool Device::removeFile(std::string_view name) {
    std::lock_guard lock(mutex_);
    return store_.remove(name);
}

void Device::clearFiles() {
    std::lock_guard lock(mutex_);
    store_.clear();
}

std::optional<NvFile> Device::file(std::string_view name) const {
    std::lock_guard lock(mutex_);
    const NvFile* f = store_.find(name);
    if (f == nullptr) {
        return std::nullopt;
    }
    return *f;
}

std::vector<NvFile> Device::files() const {
    std::lock_guard lock(mutex_);
    return store_.files();
}

std::optional<uint16_t> Device::handleOf(std::string_view name) const {
    std::lock_guard lock(mutex_);
    const NvFile* f = store_.find(name);
    if (f == nullptr) {
        return std::nullopt;
    }
    return f->handle;
}

bool Device::setAttributes(std::string_view name, uint16_t attributes) {
    std::lock_guard lock(mutex_);
    NvFile* f = store_.find(name);
    if (f != nullptr) {
        f->attributes = attributes;
    }
    return f != nullptr;
}

bool Device::setReportedSize(std::string_view name, std::optional<uint32_t> value) {
    std::lock_guard lock(mutex_);
    NvFile* f = store_.find(name);
    if (f != nullptr) {
        f->reportedSize = value;
    }
    return f != nullptr;
}

bool Device::setReportedValue(std::string_view name, uint32_t value) {
    std::lock_guard lock(mutex_);
    NvFile* f = store_.find(name);
    if (f != nullptr) {
        f->reportedValue = value;
    }
    return f != nullptr;
}

uint16_t Device::openFiles() const {
    std::lock_guard lock(mutex_);
    return openFilesLocked();
}

// --- faults and counters ----------------------------------------------------

void Device::addFault(const Fault& fault) {
    std::lock_guard lock(mutex_);
    faults_.push_back(fault);
}

bool Device::addFault(std::string_view text, std::string* error) {
    auto fault = Fault::parse(text, error);
    if (!fault) {
        return false;
    }
    addFault(*fault);
    return true;
}

void Device::clearFaults() {
    std::lock_guard lock(mutex_);
    faults_.clear();
}

std::vector<Fault> Device::faults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

uint64_t Device::requestCount(uint16_t code) const {
    std::lock_guard lock(mutex_);
    const auto it = counts_.find(code);
    return it == counts_.end() ? 0 : it->second;
}

std::map<uint16_t, uint64_t> Device::requestCounts() const {
    std::lock_guard lock(mutex_);
    return counts_;
}

uint64_t Device::badFrames() const {
    std::lock_guard lock(mutex_);
    return badFrames_;
}

uint64_t Device::bytesIn() const {
    std::lock_guard lock(mutex_);
    return bytesIn_;
}

uint64_t Device::bytesOut() const {
    std::lock_guard lock(mutex_);
    return bytesOut_;
}

std::vector<std::vector<uint8_t>> Device::requestLog() const {
    std::lock_guard lock(mutex_);
    return log_;
}

void Device::resetCounters() {
    std::lock_guard lock(mutex_);
    counts_.clear();
    validFrames_ = 0;
    badFrames_ = 0;
    bytesIn_ = 0;
    bytesOut_ = 0;
    log_.clear();
}

} // namespace devsim
