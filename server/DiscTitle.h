#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "server/MediaInfo.h"

namespace oxle::server {

// A played title of a disc as sectors and times: a DVD title's cells (first angle only)
// or an (S)VCD's entries from the first to the end of the disc. Pure data once read, so
// that seeks, chapter steps and the feed plan are plain arithmetic.
struct DiscTitle {
    enum class Kind { Dvd, Vcd, Svcd };

    // Consecutive sectors that play for `seconds` from `startSeconds` of the title.
    struct Piece {
        std::uint32_t first = 0;
        std::uint32_t last = 0;  // inclusive
        double startSeconds = 0.0;
        double seconds = 0.0;
    };

    // Where a playback begins.
    struct Start {
        std::size_t piece = 0;
        std::uint32_t sector = 0;
        double seconds = 0.0;
    };

    // Sectors to read in a row.
    struct Run {
        std::uint32_t first = 0;
        std::uint32_t count = 0;
    };

    Kind kind = Kind::Dvd;
    std::string drive;
    int titleCount = 0;  // DVD titles; (S)VCD MPEG tracks
    int title = 1;
    int titleSet = 0;  // DVD: the title set whose VOBs hold the sectors
    std::vector<Piece> pieces;
    std::vector<std::size_t> chapterPieces;  // first piece of each chapter (entry)
    // Sectors a playback may begin at (DVD: VOBU starts), ascending; empty: any sector.
    std::vector<std::uint32_t> entryPoints;
    // Streams as MediaInfo names them; durationSeconds is the title's length.
    MediaInfo info;
    // ffmpeg's stream id ("-map 0:i:ID") of each audio stream, in the order of info's.
    std::vector<int> audioIds;

    int chapterCount() const { return static_cast<int>(chapterPieces.size()); }
    double length() const;
    // The 1-based chapter playing at `seconds`.
    int chapterAt(double seconds) const;
    // The start of a 1-based chapter; false when there is none such.
    bool chapterStart(int chapter, Start& start) const;
    // The latest point a playback may begin at, at or before `seconds` (clamped to the
    // title): into a piece by its share of the time, back to an entry point.
    Start at(double seconds) const;
    // Every sector from `start` to the end, in runs of at most `maxRun` sectors.
    std::vector<Run> plan(const Start& start, std::uint32_t maxRun) const;
};

}  // namespace oxle::server
