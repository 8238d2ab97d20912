#ifndef OXLE_TESTS_SCENARIOS_SCENARIO_H
#define OXLE_TESTS_SCENARIOS_SCENARIO_H

#include <string>
#include <utility>
#include <vector>

#include "MediaMaker.h"

// One scenario file, tests/scenarios/NAME.scenario: what the viewer does with the real
// oxle-box (a key script) and the journal events that must follow. ScenarioRunner.cpp makes
// each file one test, Scenario.NAME (characters other than letters and digits become '_').
//
//   # Yellow pauses the film and Yellow again goes on.      <- first comment: what it shows
//   labels plugin windows          # ctest labels beside e2e (box comes with the fixture)
//   plugin fixture                 # oxle-box's own small plugin instead of liboxle
//   server real [--password N] [--cd-drive {disc}]   # oxle_x86 (the disc its drive); fake; none
//   media clip.ts ts 20 [kbps=N]   # a MediaMaker clip: ts|mp4|mp3, seconds
//   disc dvd.iso dvd [seconds=N] [kbps=N]   # a MediaMaker disc outside the served folder: dvd
//                                  #   (NAME.iso or a folder) or vcd (NAME.cue); {disc}
//   file notes.txt some text       # a plain file; dir Films: a folder (both in the served folder)
//   set /enigma/plugins/oxle/autoplay=i:0       # into the store before the plugin starts
//   box-file /var/tuxbox/config/enigma/timer.epl line one\nline two   # \n \t \\ escapes
//   decoder realtime               # or fast (default)
//   reply VLC|PLY|* => +ok         # server fake: first match wins, a trailing * matches a
//                                  #   prefix, others get +ok; "=> stall": never answered
//   stream clip.ts ts 10 [head=PACKETS]   # what GET /dboxstream serves, as fast as it goes;
//                                  #   head: packets in the same write as the answer
//   keys                           # the key script of oxle-box --keys, line by line
//     wait 8000 list
//     yellow
//   expect                         # journal events in this order, others may lie between
//     msgbox text^="Stream paused." caption="Pause"
//     !msgbox text~=Error          # '!': none between the previous and the next match
//     pvr final=true packets.256>0 cc_errors=0
//   requests                       # what the server was asked, in this order ('!' and a
//     VLC|PAU|NO                   #   trailing * as above)
//   pictures                       # snapshots (a "snap" key line): about this colour
//     chapter2 360 288 008000      #   (RRGGBB) around x 360, y 288 (a 16-pixel square's mean)
//
// A condition is FIELD OP VALUE with OP one of = != ^= (starts with) ~= (contains) and the
// numeric > < >= <=; a value with spaces stands in "..." or '...'. Fields are those of
// JournalReader: nested items by dotted names (rows.0, packets.256). A field the event lacks
// fails every condition but !=. Placeholders, after a directive's name: {media} (the served
// folder), {port} (the command port), {stream-port}, {stream-bytes} (the stream's size),
// {disc} (the disc's path).
// '#' starts a comment at the start of a line or after a blank.
//
// A key's own handling runs before the script's next line: "wait" only for what comes later
// from a stream or a timer. The plugin always talks to 127.0.0.1 (a scenario cannot name
// another address nor write the store or the network set-up) inside a loopback-only network
// namespace. Every run must end by itself, with the exit code its journal's quit line names.
struct Scenario
{
	struct Condition
	{
		std::string field, op, value;
	};
	// One line of expect (an event and its conditions) or of requests (text only).
	struct Expectation
	{
		bool absent = false;
		std::string ev;
		std::vector<Condition> conditions;
		std::string text; // as written, less the '!'
	};
	struct Served
	{
		std::string kind, name, contents; // kind: media, file or dir
		MediaMaker::Clip clip;
	};
	struct Picture
	{
		std::string snapshot;
		int x = 0, y = 0;
		unsigned rgb = 0;
	};

	std::string title;
	bool fixture = false;
	std::string server = "none";
	std::string serverPassword;
	bool serverCdDrive = false;
	std::string discName; // empty: no disc
	MediaMaker::Disc disc;
	std::vector<Picture> pictures;
	std::vector<std::string> settings, keys;
	std::vector<Served> served;
	std::vector<std::pair<std::string, std::string>> boxFiles, replies;
	std::string decoder = "fast";
	bool stream = false;
	MediaMaker::Clip streamClip;
	size_t headPackets = 0;
	std::vector<Expectation> expect, requests;

	// False with "line N: ..." on the first line that is not understood.
	bool parse(const std::string& text, std::string& error);
	static bool holds(const Condition& c, bool present, const std::string& actual);
	// Exact, or a prefix with a trailing '*'.
	static bool matchesPattern(const std::string& pattern, const std::string& text);
	// Each channel within this of the wanted colour: decoded pictures are not exact.
	static bool looksLike(unsigned got, unsigned wanted);
	// The reply text that keeps the connection open without answering.
	static constexpr const char* STALL = "stall";
	// The one value --cd-drive takes: the made disc, never a drive of the machine.
	static constexpr const char* DISC_PLACEHOLDER = "{disc}";
};

#endif
