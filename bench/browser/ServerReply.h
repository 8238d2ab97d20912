#ifndef OXLE_BENCH_BROWSER_SERVERREPLY_H
#define OXLE_BENCH_BROWSER_SERVERREPLY_H

#include <string>

// The list document the server answers for a folder of `children` entries, written by
// the server's own Listing code: one sub-folder in twenty, the rest media files of a
// few kinds (so that the rows carry different icons), after the parent entry and in
// the order the server's scanner sends them.
std::string serverReply(int children);

#endif
