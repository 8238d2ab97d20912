#include "server/SourceSniff.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <set>
#include <vector>

#include "UniqueFd.h"

namespace oxle::server {

namespace {

constexpr std::size_t kTsPacket = 188;
constexpr std::size_t kM2tsPacket = 192;  // a 4-byte arrival time before each packet
constexpr std::size_t kM2tsPrefix = 4;
constexpr unsigned char kSync = 0x47;
constexpr int kSyncRun = 3;  // packets in a row that make a stream out of a stray 0x47
constexpr int kPatPid = 0;
constexpr int kPatTable = 0x00;
constexpr int kPmtTable = 0x02;
constexpr std::size_t kCrcBytes = 4;
constexpr std::size_t kSectionHeader = 3;  // table id and section length
constexpr std::size_t kPatEntries = 8;
constexpr std::size_t kPmtStreams = 12;
constexpr std::size_t kPatEntry = 4;
constexpr std::size_t kPmtEntry = 5;
constexpr int kProgramPidMask = 0x1F;
constexpr int kLengthMask = 0x0F;
constexpr unsigned char kPayloadStart = 0x40;
constexpr int kAdaptationBit = 2;
constexpr int kPayloadBit = 1;

// Stream types of a program table.
constexpr int kMpeg1Video = 0x01;
constexpr int kMpeg2Video = 0x02;
constexpr int kMpeg1Audio = 0x03;
constexpr int kMpeg2Audio = 0x04;
constexpr int kPrivateData = 0x06;
constexpr int kAacAudio = 0x0F;
constexpr int kMpeg4Video = 0x10;
constexpr int kLatmAudio = 0x11;
constexpr int kH264Video = 0x1B;
constexpr int kHevcVideo = 0x24;
constexpr int kAc3Audio = 0x81;
constexpr int kEac3Audio = 0x87;
// Descriptors that make private data audio.
constexpr int kAc3Descriptor = 0x6A;
constexpr int kEac3Descriptor = 0x7A;
constexpr int kDtsDescriptor = 0x7B;

// Program streams.
constexpr unsigned char kPackStart = 0xBA;
constexpr unsigned char kMpeg2PackMask = 0xC0;
constexpr unsigned char kMpeg2Pack = 0x40;
constexpr unsigned char kMpeg1PackMask = 0xF0;
constexpr unsigned char kMpeg1Pack = 0x20;
constexpr unsigned char kFirstAudioId = 0xC0;
constexpr unsigned char kLastAudioId = 0xDF;
constexpr unsigned char kPrivateStream1 = 0xBD;
constexpr std::size_t kPesHeader = 9;  // start code, id, length, two flag bytes, header length
constexpr unsigned kFirstAc3 = 0x80;
constexpr unsigned kLastAc3 = 0x87;
constexpr unsigned kLastDts = 0x8F;
constexpr unsigned kLastLpcm = 0xA7;  // sub-pictures (0x20-0x3F) are no audio
constexpr unsigned char kFirstVideoId = 0xE0;
constexpr unsigned char kLastVideoId = 0xEF;

constexpr unsigned char kSequenceHeader = 0xB3;
constexpr std::size_t kSizeBytes = 3;  // 12 bits of width, 12 of height
constexpr int kNibble = 4;
constexpr int kByte = 8;

unsigned at(const std::string& s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

bool startCode(const std::string& s, std::size_t i, unsigned char code) {
    return i + 4 <= s.size() && s[i] == 0 && s[i + 1] == 0 && at(s, i + 2) == 1 && at(s, i + 3) == code;
}

// Width and height of the first MPEG video sequence header in `es`.
void pictureSize(const std::string& es, StreamInfo& video) {
    for (std::size_t i = 0; i + 4 + kSizeBytes <= es.size(); ++i) {
        if (!startCode(es, i, kSequenceHeader)) continue;
        const std::size_t size = i + 4;
        video.width = static_cast<int>((at(es, size) << kNibble) | (at(es, size + 1) >> kNibble));
        video.height = static_cast<int>(((at(es, size + 1) & kLengthMask) << kByte) | at(es, size + 2));
        return;
    }
}

StreamInfo stream(const char* kind, const char* codec) {
    StreamInfo made;
    made.kind = kind;
    made.codec = codec;
    return made;
}

// The codec of private data, by its descriptors; empty when it is not audio.
std::string privateAudio(const std::string& s, std::size_t from, std::size_t end) {
    while (from + 2 <= end) {
        const unsigned tag = at(s, from);
        if (tag == kAc3Descriptor) return "ac3";
        if (tag == kEac3Descriptor) return "eac3";
        if (tag == kDtsDescriptor) return "dts";
        from += 2 + at(s, from + 1);
    }
    return std::string();
}

struct Packets {
    std::size_t first = 0;
    std::size_t stride = 0;
};

bool findPackets(const std::string& head, Packets& found) {
    for (const std::size_t stride : {kTsPacket, kM2tsPacket}) {
        const std::size_t offset = stride == kM2tsPacket ? kM2tsPrefix : 0;
        for (std::size_t start = offset; start < stride + offset && start < head.size(); ++start) {
            bool run = true;
            for (int k = 0; k < kSyncRun && run; ++k) {
                const std::size_t i = start + static_cast<std::size_t>(k) * stride;
                run = i < head.size() && at(head, i) == kSync;
            }
            if (run) {
                found = {start, stride};
                return true;
            }
        }
    }
    return false;
}

}  // namespace

bool SourceSniff::transportStream(const std::string& head, MediaInfo& info) {
    Packets packets;
    if (!findPackets(head, packets)) return false;
    int pmtPid = -1;
    int videoPid = -1;
    MediaInfo found;
    std::string videoBytes;
    for (std::size_t p = packets.first; p + kTsPacket <= head.size(); p += packets.stride) {
        if (at(head, p) != kSync) return false;
        const int pid = static_cast<int>(((at(head, p + 1) & kProgramPidMask) << kByte) | at(head, p + 2));
        const bool unitStart = (at(head, p + 1) & kPayloadStart) != 0;
        const unsigned control = at(head, p + 3) >> kNibble;
        if ((control & kPayloadBit) == 0) continue;
        std::size_t payload = p + 4;
        if ((control & kAdaptationBit) != 0) payload += 1 + at(head, payload);
        const std::size_t end = p + kTsPacket;
        if (payload >= end) continue;
        if (pid == videoPid) {
            videoBytes.append(head, payload, end - payload);
            continue;
        }
        const bool table = pid == kPatPid || pid == pmtPid;
        if (!table || !unitStart || found.firstVideo() != nullptr || !found.streams.empty()) continue;
        const std::size_t section = payload + 1 + at(head, payload);
        if (section + kSectionHeader > end) continue;
        const std::size_t length = ((at(head, section + 1) & kLengthMask) << kByte) | at(head, section + 2);
        const std::size_t sectionEnd = section + kSectionHeader + length - kCrcBytes;
        if (length < kCrcBytes || sectionEnd > end) continue;  // a table over more than one packet
        if (pid == kPatPid && at(head, section) == kPatTable) {
            for (std::size_t e = section + kPatEntries; e + kPatEntry <= sectionEnd; e += kPatEntry) {
                const unsigned number = (at(head, e) << kByte) | at(head, e + 1);
                if (number == 0) continue;  // the network table
                pmtPid = static_cast<int>(((at(head, e + 2) & kProgramPidMask) << kByte) | at(head, e + 3));
                break;
            }
        } else if (pid == pmtPid && at(head, section) == kPmtTable && section + kPmtStreams <= sectionEnd) {
            const std::size_t programInfo = ((at(head, section + 10) & kLengthMask) << kByte) | at(head, section + 11);
            for (std::size_t e = section + kPmtStreams + programInfo; e + kPmtEntry <= sectionEnd;) {
                const int type = static_cast<int>(at(head, e));
                const int esPid = static_cast<int>(((at(head, e + 1) & kProgramPidMask) << kByte) | at(head, e + 2));
                const std::size_t esInfo = ((at(head, e + 3) & kLengthMask) << kByte) | at(head, e + 4);
                const std::size_t descriptors = e + kPmtEntry;
                e = descriptors + esInfo;
                const char* video = type == kMpeg2Video   ? "mpeg2video"
                                    : type == kMpeg1Video ? "mpeg1video"
                                    : type == kH264Video  ? "h264"
                                    : type == kHevcVideo  ? "hevc"
                                    : type == kMpeg4Video ? "mpeg4"
                                                          : nullptr;
                if (video != nullptr) {
                    if (videoPid < 0) videoPid = esPid;
                    found.streams.push_back(stream("video", video));
                    continue;
                }
                std::string audio = type == kMpeg1Audio || type == kMpeg2Audio ? "mp2"
                                    : type == kAacAudio || type == kLatmAudio  ? "aac"
                                    : type == kAc3Audio                        ? "ac3"
                                    : type == kEac3Audio                       ? "eac3"
                                                                               : "";
                if (type == kPrivateData) audio = privateAudio(head, descriptors, std::min(e, sectionEnd));
                if (!audio.empty()) found.streams.push_back(stream("audio", audio.c_str()));
            }
            if (found.streams.empty()) return false;
        }
    }
    if (found.streams.empty()) return false;
    for (StreamInfo& s : found.streams) {
        if (s.kind == "video") {
            pictureSize(videoBytes, s);
            break;
        }
    }
    info = found;
    return true;
}

bool SourceSniff::programStream(const std::string& head, MediaInfo& info) {
    if (!startCode(head, 0, kPackStart) || head.size() < 5) return false;
    const unsigned marker = at(head, 4);
    const bool mpeg2 = (marker & kMpeg2PackMask) == kMpeg2Pack;
    if (!mpeg2 && (marker & kMpeg1PackMask) != kMpeg1Pack) return false;
    // MPEG audio by stream id; a DVD's other audio by the sub-stream id in private stream 1.
    std::set<unsigned> mpegAudio;
    std::set<unsigned> privateAudio;
    bool video = false;
    for (std::size_t i = 0; i + kPesHeader <= head.size(); ++i) {
        if (head[i] != 0 || head[i + 1] != 0 || at(head, i + 2) != 1) continue;
        const unsigned id = at(head, i + 3);
        if (id >= kFirstVideoId && id <= kLastVideoId) video = true;
        if (id >= kFirstAudioId && id <= kLastAudioId) mpegAudio.insert(id);
        if (id != kPrivateStream1 || !mpeg2) continue;
        const std::size_t sub = i + kPesHeader + at(head, i + kPesHeader - 1);
        if (sub < head.size() && at(head, sub) >= kFirstAc3 && at(head, sub) <= kLastLpcm)
            privateAudio.insert(at(head, sub));
    }
    if (!video) return false;
    MediaInfo found;
    StreamInfo picture = stream("video", mpeg2 ? "mpeg2video" : "mpeg1video");
    pictureSize(head, picture);
    found.streams.push_back(picture);
    for (std::size_t k = 0; k < mpegAudio.size(); ++k) found.streams.push_back(stream("audio", "mp2"));
    for (const unsigned sub : privateAudio) {
        found.streams.push_back(stream("audio", sub <= kLastAc3 ? "ac3" : sub <= kLastDts ? "dts" : "pcm_dvd"));
    }
    info = found;
    return true;
}

bool SourceSniff::sniff(const std::string& path, MediaInfo& info) {
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file) return false;
    std::string head(kHeadBytes, '\0');
    std::size_t got = 0;
    while (got < head.size()) {
        const ssize_t n = ::read(file.get(), &head[got], head.size() - got);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    head.resize(got);
    return transportStream(head, info) || programStream(head, info);
}

}  // namespace oxle::server
