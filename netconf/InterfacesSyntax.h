#ifndef OXLE_NETCONF_INTERFACESSYNTAX_H
#define OXLE_NETCONF_INTERFACESSYNTAX_H

#include <list>
#include <string>
#include <vector>

// How the box's network configuration file is cut into lines and words; shared by the
// reader and the writer so that both see the same stanzas.
namespace InterfacesSyntax
{
// The runs of non-white-space characters, as a stream reads them with >>.
std::vector<std::string> words(const std::string& line);

// A word that opens something new and therefore ends the stanza before it: "iface",
// "auto", "mapping", and the other stanza keywords of the format ("allow-...",
// "source", "source-directory", "rename", "no-auto-down", "no-scripts"), which would
// otherwise be taken for attribute lines and be lost or misread.
bool endsStanza(const std::string& firstWord);

bool isComment(const std::string& firstWord);

// An "iface" line of name with its family and method: the start of one of its stanzas.
// A shorter line is none, for the writer as for the reader, or the writer would rewrite
// a stanza the reader never saw.
bool opensStanzaOf(const std::vector<std::string>& words, const std::string& name);

// Outcome of reading the whole file.
enum class ReadResult
{
	ok,
	missing,   // no file of that name (a dangling link counts as missing)
	unreadable // anything else: not a regular file, no permission, an I/O error
};

// Reads the file as lines without their line feeds; a last line without one is read
// too. On any result but ok, lines is empty.
ReadResult readLines(const std::string& path, std::list<std::string>& lines);
} // namespace InterfacesSyntax

#endif
