#include "command_wire.h"

#include <algorithm>
#include <iomanip>
#include <numeric>

namespace tsdemu {

namespace {

uint8_t sumOf(std::vector<uint8_t>::const_iterator first,
              std::vector<uint8_t>::const_iterator last) {
    return static_cast<uint8_t>(std::accumulate(first, last, 0u) & 0xFFu);
}

bool isRequestType(uint8_t type) {
    return type == frame_type::kQuery || type == frame_type::kSet || type == frame_type::kControl;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const CommandFrame& frame) {
    out << std::hex << std::uppercase << std::setfill('0') << "{type " << std::setw(2)
        << unsigned{frame.type} << " module " << std::setw(2) << unsigned{frame.module}
        << " command " << std::setw(2) << unsigned{frame.command} << " data";
    for (uint8_t byte : frame.data) out << ' ' << std::setw(2) << unsigned{byte};
    return out << '}' << std::dec;
}

std::optional<CommandFrame> decodeRequest(const uint8_t* report, std::size_t length) {
    // Report ID, type, module, command, length, data, checksum.
    if (length < 6 || report[0] != kCommandReportId || !isRequestType(report[1])) {
        return std::nullopt;
    }
    const std::size_t dataLength = report[4];
    if (5 + dataLength >= length) return std::nullopt;
    const std::vector<uint8_t> summed(report + 2, report + 5 + dataLength);
    if (sumOf(summed.begin(), summed.end()) != report[5 + dataLength]) return std::nullopt;
    return CommandFrame{report[1], report[2], report[3],
                        std::vector<uint8_t>(report + 5, report + 5 + dataLength)};
}

std::vector<uint8_t> bareFrame(uint8_t type) { return {kCommandReportId, type}; }

std::vector<uint8_t> dataFrame(const std::vector<uint8_t>& data, bool corruptChecksum) {
    std::vector<uint8_t> frame = {kCommandReportId, frame_type::kData,
                                  static_cast<uint8_t>(data.size())};
    frame.insert(frame.end(), data.begin(), data.end());
    const uint8_t sum = sumOf(frame.begin() + 2, frame.end());
    frame.push_back(corruptChecksum ? static_cast<uint8_t>(sum ^ 0x5A) : sum);
    return frame;
}

std::vector<uint8_t> longFrame(const CommandFrame& request) {
    std::vector<uint8_t> frame = {kCommandReportId, request.type, request.module, request.command,
                                  static_cast<uint8_t>(request.data.size())};
    frame.insert(frame.end(), request.data.begin(), request.data.end());
    frame.push_back(sumOf(frame.begin() + 2, frame.end()));
    return frame;
}

AnswerReport reportOf(const std::vector<uint8_t>& frames) {
    AnswerReport report{};
    report[0] = kCommandReportId;
    std::copy_n(frames.begin(), std::min(frames.size(), report.size()), report.begin());
    return report;
}

}  // namespace tsdemu
