#include "server/ServerCheck.h"

#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "server/ChildProcess.h"
#include "server/Disc.h"
#include "server/NetUtil.h"

namespace oxle::server {

namespace {

constexpr int kProgramTimeoutMs = 10000;
constexpr std::size_t kReadChunk = 4096;
// ffmpeg's encoder list is some 20 KiB; more is not ffmpeg.
constexpr std::size_t kMaxOutputBytes = 1024 * 1024;
// An unprivileged service cannot listen below this port.
constexpr int kFirstUnprivilegedPort = 1024;
constexpr int kMaxGroups = 256;
constexpr const char* kSearchPath = "/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin";
// The encoders of the box's format: MPEG-2 video and MPEG-1 layer II audio.
constexpr const char* kEncoders[] = {"mpeg2video", "mp2"};
// The service may not raise its privileges, so a command through sudo always fails there.
const std::string kSudo = "/sudo";

// Runs a program to its end; its standard output in `output`. False when it could not
// be started, did not end in time or did not exit with 0.
bool runProgram(const std::vector<std::string>& argv, std::string& output, std::string& why) {
    ChildProcess::Launch launch(argv);
    launch.output = ChildProcess::Stream::pipe();
    ChildProcess child;
    if (!child.start(launch, why)) return false;
    char buffer[kReadChunk];
    for (;;) {
        pollfd watched{child.stdoutFd(), POLLIN, 0};
        if (::poll(&watched, 1, kProgramTimeoutMs) <= 0) break;
        const ssize_t got = ::read(child.stdoutFd(), buffer, sizeof buffer);
        if (got <= 0 || output.size() > kMaxOutputBytes) break;
        output.append(buffer, static_cast<std::size_t>(got));
    }
    int status = 0;
    if (!child.waitFor(kProgramTimeoutMs, status) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        why = ChildProcess::describeStatus(status);
        return false;
    }
    return true;
}

// Whether ffmpeg's "-encoders" list names `encoder`: " V....D mpeg2video   MPEG-2 video".
bool listsEncoder(const std::string& list, const std::string& encoder) {
    std::istringstream lines(list);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string flags, name;
        if (words >> flags >> name && name == encoder) return true;
    }
    return false;
}

std::string firstWord(const std::string& command) {
    const std::size_t start = command.find_first_not_of(' ');
    if (start == std::string::npos) return std::string();
    return command.substr(start, command.find(' ', start) - start);
}

bool executable(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The program a command's first word runs, looked up as execvp would; empty when none.
std::string findProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) return executable(name) ? name : std::string();
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr && *path != '\0' ? path : kSearchPath);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        if (executable(candidate)) return candidate;
    }
    return std::string();
}

std::string groupName(gid_t gid) {
    const group* entry = ::getgrgid(gid);
    return entry != nullptr ? entry->gr_name : std::to_string(gid);
}

// The permission bits that apply to `uid` in `groups`, as the kernel picks them (ACLs aside).
bool permits(const struct stat& info, uid_t uid, const std::vector<gid_t>& groups, mode_t owner, mode_t group,
             mode_t other) {
    if (uid == 0) return true;
    if (info.st_uid == uid) return (info.st_mode & owner) == owner;
    for (const gid_t gid : groups) {
        if (info.st_gid == gid) return (info.st_mode & group) == group;
    }
    return (info.st_mode & other) == other;
}

}  // namespace

ServerCheck::ServerCheck(const Options& options, std::string serviceUser)
    : options_(options), serviceUser_(std::move(serviceUser)) {
    asService_ = ::geteuid() == 0 && !serviceUser_.empty() && ::getpwnam(serviceUser_.c_str()) != nullptr;
}

std::string ServerCheck::reader() const {
    if (asService_) return "the user " + serviceUser_;
    const passwd* self = ::getpwuid(::geteuid());
    return std::string("you (") + (self != nullptr ? self->pw_name : std::to_string(::geteuid())) + ")";
}

bool ServerCheck::readable(const std::string& path, bool folder) const {
    if (!asService_) return ::access(path.c_str(), folder ? R_OK | X_OK : R_OK) == 0;
    const passwd* user = ::getpwnam(serviceUser_.c_str());
    if (user == nullptr) return false;
    std::vector<gid_t> groups(kMaxGroups);
    int count = kMaxGroups;
    if (::getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) < 0) return false;
    groups.resize(static_cast<std::size_t>(count));
    // Every folder on the way must let the user through.
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return false;
    const std::string full(resolved);
    std::free(resolved);
    struct stat info {};
    for (std::size_t slash = 0; slash != std::string::npos; slash = full.find('/', slash + 1)) {
        if (::stat(slash == 0 ? "/" : full.substr(0, slash).c_str(), &info) != 0 ||
            !permits(info, user->pw_uid, groups, S_IXUSR, S_IXGRP, S_IXOTH)) {
            return false;
        }
    }
    if (::stat(full.c_str(), &info) != 0) return false;
    if (folder) return permits(info, user->pw_uid, groups, S_IRUSR | S_IXUSR, S_IRGRP | S_IXGRP, S_IROTH | S_IXOTH);
    return permits(info, user->pw_uid, groups, S_IRUSR, S_IRGRP, S_IROTH);
}

std::vector<ServerCheck::Verdict> ServerCheck::run() const {
    std::vector<Verdict> verdicts;
    checkConfig(verdicts);
    checkFolders(verdicts);
    checkFfmpeg(verdicts);
    checkPorts(verdicts);
    checkDrive(verdicts);
    checkShutdown(verdicts);
    return verdicts;
}

void ServerCheck::checkConfig(std::vector<Verdict>& verdicts) const {
    if (options_.configFile.empty()) {
        verdicts.push_back(
            {true, "config",
             "no file read (" + std::string(CommandLine::kDefaultConfig) + " does not exist): the command line alone"});
    } else {
        verdicts.push_back({true, "config", "read " + options_.configFile});
    }
}

void ServerCheck::checkFolders(std::vector<Verdict>& verdicts) const {
    const std::string file = options_.configFile.empty() ? CommandLine::kDefaultConfig : options_.configFile;
    if (options_.roots.empty()) {
        verdicts.push_back(
            {false, "root", "no folder is shared: add a line \"root = /path/to/your/films\" to " + file});
    }
    std::vector<std::string> folders = options_.roots;
    if (!options_.mediaDir.empty()) folders.push_back(options_.mediaDir);
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const std::string item = (i < options_.roots.size() ? "root " : "media-dir ") + folders[i];
        struct stat info {};
        if (::stat(folders[i].c_str(), &info) != 0) {
            verdicts.push_back({false, item, "does not exist: create it or correct the line in " + file});
        } else if (!S_ISDIR(info.st_mode)) {
            verdicts.push_back({false, item, "is not a folder: name the folder that holds the files"});
        } else if (!readable(folders[i], true)) {
            verdicts.push_back({false, item,
                                reader() +
                                    " cannot open it: let others read it and the folders above it "
                                    "(chmod o+rx), or give it to the group " +
                                    serviceUser_ + " (chgrp " + serviceUser_ + ", chmod g+rx)"});
        } else {
            verdicts.push_back({true, item, "readable by " + reader()});
        }
    }
}

void ServerCheck::checkFfmpeg(std::vector<Verdict>& verdicts) const {
    std::string list, why;
    if (!runProgram({options_.ffmpeg, "-hide_banner", "-encoders"}, list, why)) {
        verdicts.push_back({false, "ffmpeg",
                            "cannot run " + options_.ffmpeg + " (" + why +
                                "): install it (apt install ffmpeg) or give its path as \"ffmpeg = /path/to/ffmpeg\""});
    } else {
        std::string missing;
        for (const char* encoder : kEncoders) {
            if (!listsEncoder(list, encoder)) missing += (missing.empty() ? "" : " and ") + std::string(encoder);
        }
        if (missing.empty()) {
            verdicts.push_back({true, "ffmpeg", options_.ffmpeg + " runs and encodes mpeg2video and mp2"});
        } else {
            verdicts.push_back({false, "ffmpeg",
                                options_.ffmpeg + " has no " + missing +
                                    " encoder, which the box needs: install a complete ffmpeg (Debian's own)"});
        }
    }
    const std::string ffprobe = options_.effectiveFfprobe();
    std::string version;
    if (!runProgram({ffprobe, "-hide_banner", "-version"}, version, why)) {
        verdicts.push_back({false, "ffprobe",
                            "cannot run " + ffprobe + " (" + why +
                                "): it comes with ffmpeg; give its path as \"ffprobe = /path/to/ffprobe\""});
    } else {
        verdicts.push_back({true, "ffprobe", ffprobe + " runs"});
    }
}

void ServerCheck::checkPorts(std::vector<Verdict>& verdicts) const {
    // Both stay open until both are judged, so that one port given twice is caught.
    std::vector<UniqueFd> held;
    const std::pair<const char*, int> ports[] = {{"command port", options_.port},
                                                 {"stream port", options_.effectiveStreamPort()}};
    for (const auto& [name, port] : ports) {
        const std::string item = std::string(name) + " " + std::to_string(port);
        if (port == 0) {
            verdicts.push_back({true, item, "the system picks a free one"});
            continue;
        }
        if (port < kFirstUnprivilegedPort) {
            verdicts.push_back({false, item,
                                "the service runs without privileges and cannot listen below 1024: "
                                "choose a port from 1024 up"});
            continue;
        }
        std::string why;
        UniqueFd listener = NetUtil::listenTcp(options_.bind, static_cast<std::uint16_t>(port), why);
        if (!listener) {
            verdicts.push_back({false, item,
                                "cannot listen on " + options_.bind + " (" + why +
                                    "): if oxle_x86 runs already, stop it first (systemctl stop oxle_x86); "
                                    "else choose another port or bind address"});
            continue;
        }
        held.push_back(std::move(listener));
        verdicts.push_back({true, item, "free on " + options_.bind});
    }
}

void ServerCheck::checkDrive(std::vector<Verdict>& verdicts) const {
    const std::string drive = options_.effectiveCdDrive();
    if (drive.empty()) {
        verdicts.push_back({true, "cd-drive", "none: name one with \"cd-drive = /dev/sr0\" to play DVDs and (S)VCDs"});
        return;
    }
    const std::string item = "cd-drive " + drive;
    struct stat info {};
    if (::stat(drive.c_str(), &info) != 0) {
        verdicts.push_back({false, item, "does not exist: connect the drive or correct the cd-drive line"});
        return;
    }
    const bool device = S_ISBLK(info.st_mode);
    if (!readable(drive, S_ISDIR(info.st_mode))) {
        verdicts.push_back({false, item,
                            reader() + " cannot read it: " +
                                (device ? "add " + serviceUser_ + " to the group " + groupName(info.st_gid) +
                                              " (adduser " + serviceUser_ + " " + groupName(info.st_gid) + ")"
                                        : std::string("let others read it (chmod o+r)"))});
        return;
    }
    DiscTitle described;
    std::string dvdWhy, vcdWhy;
    if (Disc::open(DiscLocation::Kind::Dvd, drive, 1, described, dvdWhy)) {
        verdicts.push_back({true, item, "a DVD-Video the box can play (libdvdread)"});
    } else if (Disc::open(DiscLocation::Kind::Vcd, drive, 1, described, vcdWhy)) {
        verdicts.push_back({true, item, "an (S)VCD the box can play (libvcdinfo)"});
    } else if (device) {
        verdicts.push_back({true, item, "present; no disc the box can play is in it now"});
    } else {
        verdicts.push_back({false, item,
                            "neither a DVD-Video (" + dvdWhy + ") nor an (S)VCD (" + vcdWhy +
                                "): name a DVD folder or .iso, or an (S)VCD's .cue or .bin"});
    }
}

void ServerCheck::checkShutdown(std::vector<Verdict>& verdicts) const {
    if (options_.shutdownCommand.empty()) {
        verdicts.push_back({true, "shutdown-command", "none: the box cannot switch this PC off"});
        return;
    }
    const std::string name = firstWord(options_.shutdownCommand);
    const std::string program = findProgram(name);
    if (program.empty()) {
        verdicts.push_back(
            {false, "shutdown-command", "\"" + name + "\" is not a program that can be run: give its full path"});
        return;
    }
    if (program.size() >= kSudo.size() && program.compare(program.size() - kSudo.size(), kSudo.size(), kSudo) == 0) {
        verdicts.push_back({false, "shutdown-command",
                            "sudo cannot gain root in the service (NoNewPrivileges): use \"systemctl poweroff\" "
                            "with the polkit rule of \"man oxle_x86\" (SHUTDOWN)"});
        return;
    }
    verdicts.push_back({true, "shutdown-command",
                        "runs " + program + "; the user " + serviceUser_ +
                            " may need the rule of \"man oxle_x86\" (SHUTDOWN) to switch the PC off"});
}

int ServerCheck::print(const std::vector<Verdict>& verdicts, std::FILE* out) {
    int failed = 0;
    for (const Verdict& verdict : verdicts) {
        std::fprintf(out, "%-5s %s: %s\n", verdict.ok ? "OK" : "FAIL", verdict.item.c_str(), verdict.text.c_str());
        if (!verdict.ok) ++failed;
    }
    if (failed == 0) {
        std::fprintf(out, "All is well: start the server (systemctl start oxle_x86).\n");
        return 0;
    }
    std::fprintf(out, "%d thing%s to mend, then run oxle_x86 --check again.\n", failed, failed == 1 ? "" : "s");
    return 1;
}

}  // namespace oxle::server
