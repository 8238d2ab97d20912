#ifndef OXLE_BOX_KEYSCRIPT_H
#define OXLE_BOX_KEYSCRIPT_H

#include <string>
#include <vector>

// A parsed key script: what the viewer's remote control would do, one item a line.
// The whole script is checked before the plugin starts, so a typo never leaves a run
// half played.
class KeyScript
{
public:
	struct Item
	{
		enum class Kind
		{
			Key,   // a remote-control key name
			Sleep, // wait ms on the GUI loop
			Snap,  // snapshot to SNAPDIR/name.png
			Wait,  // wait up to ms for a journal event (name), optionally with field=value
			Quit   // end the box with code 0
		};
		Kind kind = Kind::Key;
		std::string name;         // key name, snapshot name or event name
		std::string field, value; // Wait: the event's field that must read value
		long ms = 0;
		int line = 0; // 1-based line in the source
	};

	// Parses text; false with a diagnostic naming the line on the first bad one.
	// snapshotsAllowed tells whether "snap" has somewhere to write.
	bool parse(const std::string& text, bool snapshotsAllowed, std::string& error);
	// Reads path ("-" for standard input) and parses it.
	bool load(const std::string& path, bool snapshotsAllowed, std::string& error);

	const std::vector<Item>& items() const { return list; }

	// Longest "sleep" accepted: a day is far beyond any sensible script.
	static constexpr long maxSleepMs = 24L * 60 * 60 * 1000;

private:
	std::vector<Item> list;
};

#endif
