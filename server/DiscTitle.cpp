#include "server/DiscTitle.h"

#include <algorithm>

namespace oxle::server {

double DiscTitle::length() const { return pieces.empty() ? 0.0 : pieces.back().startSeconds + pieces.back().seconds; }

int DiscTitle::chapterAt(double seconds) const {
    int chapter = 1;
    for (std::size_t i = 0; i < chapterPieces.size(); ++i) {
        if (chapterPieces[i] < pieces.size() && pieces[chapterPieces[i]].startSeconds <= seconds) {
            chapter = static_cast<int>(i) + 1;
        }
    }
    return chapter;
}

bool DiscTitle::chapterStart(int chapter, Start& start) const {
    if (chapter < 1 || chapter > chapterCount()) return false;
    const std::size_t index = chapterPieces[static_cast<std::size_t>(chapter - 1)];
    if (index >= pieces.size()) return false;
    start = Start{index, pieces[index].first, pieces[index].startSeconds};
    return true;
}

DiscTitle::Start DiscTitle::at(double seconds) const {
    if (pieces.empty()) return Start{};
    std::size_t index = 0;
    while (index + 1 < pieces.size() && pieces[index + 1].startSeconds <= seconds) ++index;
    const Piece& piece = pieces[index];
    const std::uint32_t sectors = piece.last - piece.first + 1;
    double share = piece.seconds > 0 ? (seconds - piece.startSeconds) / piece.seconds : 0.0;
    share = std::clamp(share, 0.0, 1.0);
    std::uint32_t sector = piece.first + std::min(sectors - 1, static_cast<std::uint32_t>(share * sectors));
    if (!entryPoints.empty()) {
        // The last entry point at or before the sector, but never one before the piece.
        const auto after = std::upper_bound(entryPoints.begin(), entryPoints.end(), sector);
        sector = after == entryPoints.begin() ? piece.first : std::max(piece.first, *(after - 1));
    }
    const double into = piece.seconds * (sector - piece.first) / sectors;
    return Start{index, sector, piece.startSeconds + into};
}

std::vector<DiscTitle::Run> DiscTitle::plan(const Start& start, std::uint32_t maxRun) const {
    std::vector<Run> runs;
    for (std::size_t i = start.piece; i < pieces.size() && maxRun > 0; ++i) {
        std::uint32_t from = i == start.piece ? std::max(start.sector, pieces[i].first) : pieces[i].first;
        while (from <= pieces[i].last) {
            const std::uint32_t count = std::min(maxRun, pieces[i].last - from + 1);
            // Cells that follow on the disc are read in one go.
            if (!runs.empty() && runs.back().first + runs.back().count == from && runs.back().count + count <= maxRun) {
                runs.back().count += count;
            } else {
                runs.push_back(Run{from, count});
            }
            from += count;
        }
    }
    return runs;
}

}  // namespace oxle::server
