#include "ServerReply.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "server/ListEntry.h"
#include "server/Listing.h"
#include "server/MediaTypes.h"

namespace
{
using oxle::server::ListEntry;
using oxle::server::Listing;
using oxle::server::MediaTypes;

const char folder[] = "/srv/media/series";
const char parentSuffix[] = "/..";
const int directoryEvery = 20;
// A fixed time stamp, so that every run lists the same bytes.
const std::time_t modified = 1700000000;
const char* const extensions[] = {".mkv", ".mp4", ".ts", ".mp3", ".avi"};
const int extensionCount = sizeof extensions / sizeof extensions[0];
// Sizes spread over a few GiB, as recordings are.
const std::uint64_t mib = 1ULL << 20;
const std::uint64_t sizeSpreadMiB = 4000;
const std::uint64_t sizeStep = 7919;
const std::uint64_t smallestMiB = 100;
} // namespace

std::string serverReply(int children)
{
	std::vector<ListEntry> entries;
	entries.reserve(size_t(children) + 1);
	const std::string date = Listing::formatDate(modified);
	for (int i = 0; i < children; ++i)
	{
		char name[64];
		ListEntry entry;
		if (i % directoryEvery == 0)
		{
			std::snprintf(name, sizeof name, "folder %05d", i);
			entry.kind = ListEntry::Kind::Directory;
		}
		else
		{
			std::snprintf(name, sizeof name, "episode %05d%s", i, extensions[i % extensionCount]);
			entry.kind = ListEntry::Kind::File;
			entry.size = (std::uint64_t(i) * sizeStep % sizeSpreadMiB + smallestMiB) * mib;
			entry.pic = MediaTypes::pictureFor(MediaTypes::kindOf(name));
			entry.date = date;
		}
		entry.name = name;
		entry.path = std::string(folder) + "/" + name;
		entries.push_back(entry);
	}
	std::sort(entries.begin(), entries.end(), ListEntry::before);

	ListEntry parent;
	parent.kind = ListEntry::Kind::Parent;
	parent.path = std::string(folder) + parentSuffix;
	entries.insert(entries.begin(), parent);
	return Listing::document(entries);
}
