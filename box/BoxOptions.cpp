#include "BoxOptions.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <iostream>

#include <CLI/CLI.hpp>

#ifndef OXLE_PLUGIN_TARGET_FILE
#define OXLE_PLUGIN_TARGET_FILE ""
#endif
#ifndef OXLE_PLUGIN_DEFAULT_PATH
#define OXLE_PLUGIN_DEFAULT_PATH ""
#endif

namespace
{
const int optionNumberBase = 10;

// The built plugin when this build has one, else where a full build puts it.
const char* defaultPlugin()
{
	return *OXLE_PLUGIN_TARGET_FILE ? OXLE_PLUGIN_TARGET_FILE : OXLE_PLUGIN_DEFAULT_PATH;
}
} // namespace

bool ConfigSetting::parse(const std::string& arg, ConfigSetting& out, std::string& error)
{
	static const char* const shape = "expected KEY=i:NUMBER or KEY=s:TEXT";
	size_t eq = arg.find('=');
	if (eq == std::string::npos || eq == 0)
	{
		error = "--set \"" + arg + "\": " + shape;
		return false;
	}
	ConfigSetting s;
	s.key = arg.substr(0, eq);
	std::string rest = arg.substr(eq + 1);
	if (rest.compare(0, 2, "s:") == 0)
	{
		s.isInt = false;
		s.text = rest.substr(2);
	}
	else if (rest.compare(0, 2, "i:") == 0)
	{
		std::string number = rest.substr(2);
		// strtol would also take leading blanks and a plus sign; a typed value should not.
		size_t digits = number.compare(0, 1, "-") == 0 ? 1 : 0;
		if (number.size() <= digits || number[digits] < '0' || number[digits] > '9')
			number.clear();
		errno = 0;
		char* end = nullptr;
		long value = number.empty() ? 0 : std::strtol(number.c_str(), &end, optionNumberBase);
		if (number.empty() || *end != '\0' || errno != 0 || value < INT_MIN || value > INT_MAX)
		{
			error = "--set \"" + arg + "\": \"" + number + "\" is not a whole number in the range of an int";
			return false;
		}
		s.isInt = true;
		s.intValue = int(value);
	}
	else
	{
		error = "--set \"" + arg + "\": " + shape;
		return false;
	}
	out = s;
	return true;
}

BoxOptions::Parsed BoxOptions::parse(int argc, char** argv)
{
	CLI::App app{"oxle-box: the desktop set-top box. Loads a plugin and calls its plugin_exec on the GUI thread,\n"
				 "with the box's file system under a root folder and the screen as snapshots or a window."};
	plugin = defaultPlugin();
	std::string decoder = "realtime";
	std::vector<std::string> sets;

	app.add_option("--root", root, "box root folder (default: $OXLE_BOX_ROOT, else a new temporary folder)")
		->type_name("DIR");
	app.add_option("--plugin", plugin, "plugin shared object to load")->type_name("PATH")->capture_default_str();
	app.add_option("--keys", keys, "key script to play, or - for standard input (read to its end first)")
		->type_name("FILE|-");
	app.add_option("--journal", journal, "write the journal, one JSON object a line")->type_name("FILE");
	app.add_option("--snapshots", snapshots, "folder for snapshots (snap NAME, and final.png at the end)")
		->type_name("DIR");
	app.add_flag("--window", window, "show the screen in a window; keyboard keys act as remote-control keys");
	bool noSound = false;
	app.add_flag(
		"--no-sound", noSound, "with --window, keep the sound card out of it (without --window there is no sound)");
	app.add_flag("--verbose", verbose,
		"show the plugin's diagnostics on the terminal too (they always go to ROOT/var/log/oxle.log; "
		"warnings and errors always show)");
	app.add_option("--decoder", decoder, "decoder pacing")
		->check(CLI::IsMember({"realtime", "fast"}))
		->capture_default_str();
	app.add_option("--time-offset", timeOffset, "seconds the box clock runs ahead of the system clock")->type_name("S");
	app.add_option("--timeout", timeout, "end a run that lasts longer (exit code 124)")
		->type_name("S")
		->check(CLI::PositiveNumber);
	app.add_option("--set", sets, "write a key into the configuration store before the plugin starts (repeatable)")
		->type_name("KEY=i:NUMBER|KEY=s:TEXT")
		->allow_extra_args(false);
	app.footer(
		"Key script, one item a line: a key (up down left right ok exit help red green yellow blue\n"
		"0-9 volup voldown mute audio), sleep MS, snap NAME, quit, and wait MS EVENT [FIELD=VALUE]\n"
		"(go on when the journal next records EVENT, with FIELD reading VALUE, or after MS); blank\n"
		"lines and # comments are ignored. Window keys: arrows, Enter ok, Escape/Backspace exit, F1 help, F5-F8 colour keys,\n"
		"digits, +/- volume, M mute (they act on the sound), A audio.\n"
		"Exit code: the plugin's result, or the code it quit with; 2 bad input, 124 time-out.");

	try
	{
		app.parse(argc, argv);
	}
	catch (const CLI::CallForHelp& e)
	{
		app.exit(e);
		return Parsed::Done;
	}
	catch (const CLI::ParseError& e)
	{
		std::cerr << "oxle-box: " << e.what() << "\n"
				  << "Run with --help for more information.\n";
		return Parsed::Bad;
	}

	fastDecoder = decoder == "fast";
	sound = !noSound;
	settings.clear();
	for (const std::string& arg : sets)
	{
		ConfigSetting s;
		std::string error;
		if (!ConfigSetting::parse(arg, s, error))
		{
			std::cerr << "oxle-box: " << error << "\n";
			return Parsed::Bad;
		}
		settings.push_back(s);
	}
	if (plugin.empty())
	{
		std::cerr << "oxle-box: no plugin given (--plugin PATH)\n";
		return Parsed::Bad;
	}
	return Parsed::Run;
}
