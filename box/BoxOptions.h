#ifndef OXLE_BOX_BOXOPTIONS_H
#define OXLE_BOX_BOXOPTIONS_H

#include <string>
#include <vector>

// A configuration value given on the command line: --set KEY=i:NUMBER or KEY=s:TEXT.
struct ConfigSetting
{
	std::string key;
	bool isInt = false;
	int intValue = 0;
	std::string text;

	// Parses one --set argument; false with a diagnostic when malformed.
	static bool parse(const std::string& arg, ConfigSetting& out, std::string& error);
};

// Everything oxle-box is told on its command line.
struct BoxOptions
{
	std::string root; // empty: OXLE_BOX_ROOT, else a new temporary folder
	std::string plugin;
	std::string keys; // key script path, "-" for standard input, empty for none
	std::string journal;
	std::string snapshots;
	bool window = false;
	bool sound = true;    // with --window only: the decoded sound through SDL audio
	bool verbose = false; // the plugin's and host's eDebug lines on the terminal too
	bool fastDecoder = false;
	int timeOffset = 0;
	double timeout = 0; // seconds; 0 runs without a watchdog
	std::vector<ConfigSetting> settings;

	enum class Parsed
	{
		Run,  // go on
		Done, // --help was answered: exit 0
		Bad   // a diagnostic was printed: exit 2
	};
	// Parses argv; prints help or the diagnostic itself.
	Parsed parse(int argc, char** argv);
};

#endif
