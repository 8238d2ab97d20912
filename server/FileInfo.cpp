#include "server/FileInfo.h"

#include <cstdio>

namespace oxle::server {

namespace {

constexpr int kInfoSecondsPerMinute = 60;
constexpr int kInfoSecondsPerHour = 3600;
constexpr std::uint64_t kBytesPerMiB = 1024 * 1024;
constexpr std::size_t kDurationTextBytes = 32;

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string capitalised(std::string kind) {
    if (!kind.empty() && kind[0] >= 'a' && kind[0] <= 'z') kind[0] = static_cast<char>(kind[0] - 'a' + 'A');
    return kind.empty() ? std::string("Unknown") : kind;
}

}  // namespace

std::string FileInfo::duration(double seconds) {
    const long total = seconds > 0 ? static_cast<long>(seconds + 0.5) : 0;
    char text[kDurationTextBytes];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / kInfoSecondsPerHour,
                  (total % kInfoSecondsPerHour) / kInfoSecondsPerMinute, total % kInfoSecondsPerMinute);
    return text;
}

std::string FileInfo::text(const std::string& path, const MediaInfo& info) {
    std::string out;
    out += "File: " + baseName(path) + "\n";
    out += "Container: " + (info.container.empty() ? std::string("unknown") : info.container) + "\n";
    out += "Length: " + duration(info.durationSeconds) + "\n";
    out += "Size: " + std::to_string(info.sizeBytes) + " bytes (" + std::to_string(info.sizeBytes / kBytesPerMiB) +
           " MiB)\n";
    int number = 1;
    for (const StreamInfo& stream : info.streams) {
        std::string line = "Stream " + std::to_string(number++) + ": " + capitalised(stream.kind) + ", " +
                           MediaInfo::displayCodec(stream.codec);
        if (stream.kind == "video") {
            const std::string resolution = MediaInfo::resolutionText(stream);
            if (!resolution.empty()) line += ", " + resolution;
            if (stream.attachedPicture) line += ", cover picture";
        } else if (stream.kind == "audio") {
            if (stream.channels > 0) line += ", " + std::to_string(stream.channels) + " channels";
            if (stream.sampleRate > 0) line += ", " + std::to_string(stream.sampleRate) + " Hz";
        }
        if (!stream.language.empty() && stream.language != "und") line += ", language " + stream.language;
        out += line + "\n";
    }
    return out;
}

std::string FileInfo::disc(const std::string& location, const DiscTitle& title) {
    const bool dvd = title.kind == DiscTitle::Kind::Dvd;
    const char* part = dvd ? "Chapter" : "Entry";
    std::string out = "Disc: " + title.info.container + " in " + title.drive + "\n";
    out += "Location: " + location + "\n";
    out += std::string(dvd ? "Titles: " : "Tracks: ") + std::to_string(title.titleCount) + "\n";
    out += "Title " + std::to_string(title.title) + ": " + std::to_string(title.chapterCount()) + " " +
           (dvd ? "chapters" : "entries") + ", " + duration(title.length()) + "\n";
    for (int chapter = 1; chapter <= title.chapterCount(); ++chapter) {
        DiscTitle::Start start;
        DiscTitle::Start next;
        if (!title.chapterStart(chapter, start)) continue;
        const double end = title.chapterStart(chapter + 1, next) ? next.seconds : title.length();
        out += std::string(part) + " " + std::to_string(chapter) + ": from " + duration(start.seconds) + ", " +
               duration(end - start.seconds) + "\n";
    }
    if (const StreamInfo* video = title.info.firstVideo()) {
        out += "Video: " + MediaInfo::displayCodec(video->codec) + ", " + MediaInfo::resolutionText(*video) + "\n";
    }
    int number = 1;
    for (const StreamInfo* audio : title.info.audioStreams()) {
        std::string line = "Audio " + std::to_string(number++) + ": " + MediaInfo::displayCodec(audio->codec);
        if (audio->channels > 0) line += ", " + std::to_string(audio->channels) + " channels";
        if (!audio->language.empty()) line += ", language " + audio->language;
        out += line + "\n";
    }
    return out;
}

}  // namespace oxle::server
