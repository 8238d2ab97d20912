// The interfaces editor on any file: a stanza read and written back reads the same;
// every line outside the interface's stanzas and "auto" mentions stays byte for byte,
// and so does every line of its stanzas but the address settings the writer owns.
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <list>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "FuzzCheck.h"
#include "InterfacesReader.h"
#include "InterfacesSyntax.h"
#include "InterfacesWriter.h"

namespace
{
const char name[] = "eth0";
const std::vector<std::string> owned = {"address", "netmask", "broadcast", "gateway", "network", "hostname"};
using Reading = std::tuple<bool, std::string, std::string, std::map<std::string, std::string>>;
using Lines = std::vector<std::string>;

// A scratch file, in memory where there is a tmpfs: every write syncs it and its folder.
struct Scratch
{
	std::string folder;
	Scratch()
	{
		char inMemory[] = "/dev/shm/oxle-fuzz-interfaces-XXXXXX", onDisc[] = "/tmp/oxle-fuzz-interfaces-XXXXXX";
		const char* made = mkdtemp(inMemory) ? inMemory : mkdtemp(onDisc);
		fuzzCheck(made != nullptr, "a scratch folder");
		folder = made;
	}
	~Scratch() { std::filesystem::remove_all(folder); }
	std::string file() const { return folder + "/interfaces"; }
};

Reading reading(const std::string& path)
{
	Reading r{false, "?", "?", {}};
	fuzzCheck(read_interface(path, name, std::get<0>(r), std::get<1>(r), std::get<2>(r), std::get<3>(r)), "it reads");
	return r;
}

// Lines outside the stanzas of name but "auto" lines; the other names of "auto" lines;
// the lines of the stanzas the writer does not own; and blank and comment lines, which
// stand anywhere (a stanza that grows over some changes nothing).
std::tuple<Lines, Lines, Lines, Lines> untouched(const std::string& path)
{
	std::list<std::string> lines;
	fuzzCheck(InterfacesSyntax::readLines(path, lines) == InterfacesSyntax::ReadResult::ok, "the file reads");
	Lines foreign, autoNames, kept, loose;
	bool inStanza = false;
	for (const std::string& line : lines)
	{
		const Lines words = InterfacesSyntax::words(line);
		const bool opens = !words.empty() && InterfacesSyntax::endsStanza(words[0]);
		inStanza = opens ? InterfacesSyntax::opensStanzaOf(words, name) : inStanza;
		if (words.empty() || InterfacesSyntax::isComment(words[0]))
			loose.push_back(line);
		else if (words[0] == "auto")
			std::remove_copy(words.begin() + 1, words.end(), std::back_inserter(autoNames), name);
		else if (!inStanza)
			foreign.push_back(line);
		else if (!opens && std::find(owned.begin(), owned.end(), words[0]) == owned.end())
			kept.push_back(line);
	}
	return {foreign, autoNames, kept, loose};
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	static const Scratch scratch;
	const std::string contents(reinterpret_cast<const char*>(data), size);
	std::ofstream(scratch.file(), std::ios::binary | std::ios::trunc) << contents;
	Reading wanted = reading(scratch.file());
	const auto around = untouched(scratch.file());
	auto& [automatic, family, method, attributes] = wanted;
	if (family == "?")
		std::tie(family, method) = std::make_tuple("inet", "dhcp");
	std::map<std::string, std::string> settings;
	for (const std::string& setting : owned)
		if (attributes.count(setting))
			settings[setting] = attributes[setting];
	const bool written = write_interface(scratch.file(), name, automatic, family, method, settings);
	// Only a NUL inside a word gives the writer something it must refuse.
	fuzzCheck(written || contents.find('\0') != std::string::npos, "what was read can be written");
	if (written)
	{
		fuzzCheck(reading(scratch.file()) == wanted, "written back, the stanza reads the same");
		fuzzCheck(untouched(scratch.file()) == around, "what the writer does not own stays");
	}
	return 0;
}
