#include "server/Transcoder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "server/Log.h"
#include "server/MediaTypes.h"
#include "server/SourceSniff.h"

namespace oxle::server {

namespace {

constexpr const char* kDefaultSearchPath = "/usr/bin:/bin";

const char* planName(StreamPlan plan) {
    switch (plan) {
        case StreamPlan::Remux: return "remux";
        case StreamPlan::AudioOnly: return "audio only";
        case StreamPlan::Transcode: break;
    }
    return "transcode";
}

bool executable(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

bool Transcoder::usable() const {
    if (ffmpeg_.find('/') != std::string::npos) return executable(ffmpeg_);
    const char* pathVariable = std::getenv("PATH");
    const std::string dirs = pathVariable != nullptr ? pathVariable : kDefaultSearchPath;
    std::size_t from = 0;
    while (from <= dirs.size()) {
        const std::size_t colon = std::min(dirs.find(':', from), dirs.size());
        const std::string dir = dirs.substr(from, colon - from);
        if (executable((dir.empty() ? "." : dir) + "/" + ffmpeg_)) return true;
        from = colon + 1;
    }
    return false;
}

TranscodeRequest Transcoder::request(const std::string& path, int startSeconds, int audioChannel) const {
    TranscodeRequest made;
    made.ffmpeg = ffmpeg_;
    made.input = path;
    made.startSeconds = startSeconds;
    made.audioChannel = audioChannel;
    return made;
}

Transcoder::Guess Transcoder::guess(const std::string& path, int startSeconds, int audioChannel) const {
    Guess guessed;
    if (!MediaTypes::remuxableContainer(path) || !SourceSniff::sniff(path, guessed.info)) {
        guessed.info = FfmpegCommand::guess(path, audioChannel);
    }
    guessed.argv = FfmpegCommand::build(request(path, startSeconds, audioChannel), guessed.info);
    guessed.process = std::make_shared<ChildProcess>();
    std::string ignored;
    if (!guessed.process->start(ChildProcess::captured(guessed.argv), ignored)) guessed.process.reset();
    return guessed;
}

bool Transcoder::agrees(const Guess& guessed, const std::string& path, const MediaInfo& info, int startSeconds,
                        int audioChannel) const {
    return FfmpegCommand::build(request(path, startSeconds, audioChannel), info) == guessed.argv;
}

std::shared_ptr<ChildProcess> Transcoder::start(const std::string& path, const MediaInfo& info, int startSeconds,
                                                int audioChannel, std::string& why) const {
    auto process = std::make_shared<ChildProcess>();
    const auto argv = FfmpegCommand::build(request(path, startSeconds, audioChannel), info);
    if (!process->start(ChildProcess::captured(argv), why)) return nullptr;
    return process;
}

std::shared_ptr<ChildProcess> Transcoder::startDisc(const DiscTitle& title, int audioChannel, std::string& why) const {
    auto process = std::make_shared<ChildProcess>();
    ChildProcess::Launch launch = ChildProcess::captured(FfmpegCommand::buildDisc(ffmpeg_, title, audioChannel));
    launch.input = ChildProcess::Stream::pipe();
    if (!process->start(launch, why)) return nullptr;
    return process;
}

void Transcoder::announce(const ChildProcess& process, const std::string& path, const MediaInfo& info, int startSeconds,
                          int audioChannel, bool guessed) {
    Log::info("transcoder " + std::to_string(process.pid()) + " for " + path + " from " + std::to_string(startSeconds) +
              " s, audio track " + std::to_string(FfmpegCommand::audioIndex(info, audioChannel) + 1) + " (" +
              planName(FfmpegCommand::plan(path, info)) + (guessed ? ", guessed)" : ")"));
}

}  // namespace oxle::server
