#include "server/FfmpegCommand.h"

#include <iterator>

#include "server/MediaTypes.h"

namespace oxle::server {

namespace {

constexpr int kSdWidth = 720;
constexpr int kSdHeight = 576;

// Letterbox or pillarbox into a 4:3 PAL frame: 720x576 stored with 16:15 pixels.
constexpr const char* kScaleAndPad =
    "scale=w='if(gt(dar,4/3),720,trunc(720*dar*3/8)*2)'"
    ":h='if(gt(dar,4/3),trunc(576*4/3/dar/2)*2,576)',"
    "pad=720:576:(ow-iw)/2:(oh-ih)/2,setsar=16/15";

// Short probing: the box waits at most 3 s for the answer, and the first picture should
// reach the screen within about a second.
const std::vector<std::string> kInputOptions = {
    "-probesize",
    "2000000",
    "-analyzeduration",
    "1000000",
};

const std::vector<std::string> kVideoEncode = {
    "-c:v",  "mpeg2video", "-r", "25",  "-b:v", "5M",      "-maxrate", "9M",       "-bufsize",
    "1835k", "-g",         "12", "-bf", "2",    "-aspect", "4:3",      "-pix_fmt", "yuv420p",
};

const std::vector<std::string> kAudioEncode = {
    "-c:a", "mp2", "-ar", "48000", "-b:a", "192k", "-ac", "2",
};

const std::vector<std::string> kMuxOptions = {
    "-f", "mpegts", "-muxdelay", "0", "-flush_packets", "1", "pipe:1",
};

constexpr const char* kDiscInput[] = {"-f", "mpeg", "-i", "pipe:0"};

bool isMpegAudio(const std::string& codec) {
    return codec == "mp2" || codec == "mp3" || codec == "ac3" || codec == "mp1";
}

void append(std::vector<std::string>& args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
}

}  // namespace

MediaInfo FfmpegCommand::guess(const std::string& name, int audioChannel) {
    MediaInfo info;
    StreamInfo audio;
    audio.kind = "audio";
    audio.codec = "mp2";
    if (MediaTypes::kindOf(name) != MediaKind::Audio) {
        StreamInfo video;
        video.kind = "video";
        video.codec = MediaTypes::remuxableContainer(name) ? "mpeg2video" : "unknown";
        video.width = kSdWidth;
        video.height = kSdHeight;
        info.streams.push_back(video);
    }
    const int tracks = audioChannel > 1 ? audioChannel : 1;
    for (int i = 0; i < tracks; ++i) info.streams.push_back(audio);
    return info;
}

int FfmpegCommand::audioIndex(const MediaInfo& info, int audioChannel) {
    const int count = static_cast<int>(info.audioStreams().size());
    if (audioChannel >= 1 && audioChannel <= count) return audioChannel - 1;
    return 0;
}

StreamPlan FfmpegCommand::plan(const std::string& name, const MediaInfo& info) {
    const StreamInfo* video = info.firstVideo();
    if (video == nullptr) return StreamPlan::AudioOnly;
    if (!MediaTypes::remuxableContainer(name) || video->codec != "mpeg2video") return StreamPlan::Transcode;
    // An HD MPEG-2 picture would not fit the SD decoder.
    if (video->width > kSdWidth || video->height > kSdHeight) return StreamPlan::Transcode;
    const auto audio = info.audioStreams();
    if (audio.empty()) return StreamPlan::Transcode;
    for (const StreamInfo* stream : audio) {
        if (!isMpegAudio(stream->codec)) return StreamPlan::Transcode;
    }
    return StreamPlan::Remux;
}

std::vector<std::string> FfmpegCommand::build(const TranscodeRequest& request, const MediaInfo& info) {
    const StreamPlan how = plan(request.input, info);
    const bool hasAudio = !info.audioStreams().empty();
    const std::string audioMap = "0:a:" + std::to_string(audioIndex(info, request.audioChannel));

    std::vector<std::string> args = {request.ffmpeg, "-hide_banner", "-nostdin", "-loglevel", "error"};
    append(args, kInputOptions);
    if (request.startSeconds > 0) {
        args.push_back("-ss");
        args.push_back(std::to_string(request.startSeconds));
    }
    args.push_back("-i");
    args.push_back(request.input);

    switch (how) {
        case StreamPlan::Remux: append(args, {"-map", "0:v:0", "-map", audioMap, "-c", "copy"}); break;
        case StreamPlan::AudioOnly:
            append(args, {"-map", audioMap, "-vn"});
            append(args, kAudioEncode);
            break;
        case StreamPlan::Transcode:
            if (!hasAudio) {
                // The box refuses a stream without an audio PID: give silent video a silent track.
                append(args, {"-f", "lavfi", "-i", "anullsrc=r=48000:cl=stereo"});
            }
            append(args, {"-map", "0:v:0", "-map", hasAudio ? audioMap : std::string("1:a:0")});
            append(args, {"-vf", kScaleAndPad});
            append(args, kVideoEncode);
            append(args, kAudioEncode);
            if (!hasAudio) args.push_back("-shortest");
            break;
    }
    append(args, kMuxOptions);
    return args;
}

bool FfmpegCommand::discRemux(const DiscTitle& title) {
    const StreamInfo* video = title.info.firstVideo();
    return title.kind == DiscTitle::Kind::Dvd && video != nullptr && video->codec == "mpeg2video";
}

std::vector<std::string> FfmpegCommand::buildDisc(const std::string& ffmpeg, const DiscTitle& title, int audioChannel) {
    std::vector<std::string> args = {ffmpeg, "-hide_banner", "-nostdin", "-loglevel", "error"};
    append(args, kInputOptions);
    args.insert(args.end(), std::begin(kDiscInput), std::end(kDiscInput));
    append(args, {"-map", "0:v:0"});
    const auto audio = title.info.audioStreams();
    const std::size_t index = static_cast<std::size_t>(audioIndex(title.info, audioChannel));
    if (index < title.audioIds.size()) append(args, {"-map", "0:i:" + std::to_string(title.audioIds[index])});
    if (discRemux(title)) {
        append(args, {"-c:v", "copy"});
    } else {
        append(args, {"-vf", kScaleAndPad});
        append(args, kVideoEncode);
    }
    if (index < audio.size() && isMpegAudio(audio[index]->codec)) {
        append(args, {"-c:a", "copy"});
    } else {
        append(args, kAudioEncode);
    }
    append(args, kMuxOptions);
    return args;
}

}  // namespace oxle::server
