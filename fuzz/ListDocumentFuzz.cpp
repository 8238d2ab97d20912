// The plugin's list-document reader. Raw bytes: a refusal leaves the listing alone, and
// whatever is read is a parent, directory or file. Entries the server's writer puts in
// a document: every one the box shows comes back as it was written.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "ListDocument.h"
#include "server/Listing.h"

using oxle::server::ListEntry;
using oxle::server::Listing;

namespace
{
const char cdDrive[] = "D:";
const std::size_t textBytes = 40;

// What the box makes of one entry; false for the ones it leaves out.
bool expected(const ListEntry& written, PLAYLIST& entry)
{
	eString upper = written.name;
	upper.upper();
	if (written.kind == ListEntry::Kind::Directory && (written.name == "A:" || upper == cdDrive))
		return false;
	const bool parent =
		written.kind == ListEntry::Kind::Parent || (written.kind == ListEntry::Kind::Directory && written.name == "..");
	entry.type = parent ? TYPE_PARENT : written.kind == ListEntry::Kind::File ? TYPE_FILE : TYPE_DIRECTORY;
	entry.name = entry.text = parent ? "" : written.name;
	entry.path = entry.type == TYPE_FILE ? doubleBackslashes(written.path) : eString(written.path);
	if (entry.type == TYPE_FILE)
	{
		const unsigned long long mb = std::min<unsigned long long>(written.size, LLONG_MAX) >> 20;
		entry.sizeMB = int(std::min<unsigned long long>(mb, INT_MAX));
		entry.pic = written.pic;
		entry.date = written.date;
	}
	return true;
}

bool same(const PLAYLIST& a, const PLAYLIST& b)
{
	return a.type == b.type && a.name == b.name && a.text == b.text && a.path == b.path && a.sizeMB == b.sizeMB &&
		a.pic == b.pic && a.date == b.date && a.startOffset == b.startOffset;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	FuzzedDataProvider input(data, size);
	std::vector<PLAYLIST> entries(1);
	eString lastPath = "?";
	if (input.ConsumeBool())
	{
		if (!readListDocument(input.ConsumeRemainingBytesAsString().c_str(), cdDrive, entries, lastPath))
			fuzzCheck(entries.size() == 1 && lastPath == "?", "a refused document leaves the listing alone");
		for (const PLAYLIST& entry : entries)
			fuzzCheck(entry.type >= TYPE_PARENT && entry.type <= TYPE_MESSAGE && entry.sizeMB >= 0, "a known kind");
		return 0;
	}
	std::vector<ListEntry> written;
	while (input.remaining_bytes() > 0)
	{
		ListEntry entry;
		entry.kind = static_cast<ListEntry::Kind>(input.ConsumeIntegralInRange(0, 2));
		entry.size = input.ConsumeIntegral<uint64_t>();
		for (std::string* text : {&entry.name, &entry.path, &entry.pic, &entry.date})
			*text = input.ConsumeRandomLengthString(textBytes);
		if (Listing::representable(entry.name) && Listing::representable(entry.path) &&
			Listing::representable(entry.pic) && Listing::representable(entry.date))
			written.push_back(entry);
	}
	entries.clear();
	fuzzCheck(readListDocument(Listing::document(written).c_str(), cdDrive, entries, lastPath),
		"the server's document reads");
	std::size_t at = 0;
	for (const ListEntry& one : written)
	{
		PLAYLIST want;
		if (expected(one, want))
			fuzzCheck(at < entries.size() && same(entries[at++], want), "each entry comes back as written");
	}
	fuzzCheck(at == entries.size(), "no entry more");
	return 0;
}
