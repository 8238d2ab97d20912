#include "BoxRunner.h"

#include "AudioOutput.h"
#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "BoxRoot.h"
#include "DesktopServices.h"
#include "Journal.h"
#include "KeyScriptPlayer.h"
#include "PluginLoader.h"
#include "RootSeeder.h"
#include "Screen.h"
#include "SdlWindow.h"
#include "ShowIframeListener.h"
#include "VirtualDecoder.h"
#include "Watchdog.h"
#include "boxPath.h"
#include "eAVSwitch.h"
#include "eConfig.h"
#include "eDebug.h"
#include "eDebugLog.h"
#include "eMainloop.h"

#ifndef OXLE_DATA_DIR
#define OXLE_DATA_DIR ""
#endif
#ifndef OXLE_SHOWIFRAME_TOOL
#define OXLE_SHOWIFRAME_TOOL ""
#endif

namespace
{
const char* const pvrDevice = "/dev/pvr";
const char* const finalSnapshot = "final.png";
const char* const logDir = "/var/log";
const char* const logFile = "/var/log/oxle.log";

int failWith(const std::string& error)
{
	std::cerr << "oxle-box: " << error << "\n";
	return BoxRunner::badInputExitCode;
}
} // namespace

BoxRunner::BoxRunner(BoxOptions options_) : options(std::move(options_))
{
}

bool BoxRunner::prepare(std::string& error)
{
	bool explicitRoot = !options.root.empty() || std::getenv("OXLE_BOX_ROOT");
	if (!RootSeeder::prepareRoot(options.root, root, error))
		return false;
	if (!explicitRoot)
		eDebug("oxle-box: box root %s", root.c_str());
	if (!options.snapshots.empty())
	{
		std::error_code ec;
		// Journal lines name the files; an absolute path still means something to the
		// reader when the box ran elsewhere.
		std::filesystem::path absolute = std::filesystem::absolute(options.snapshots, ec);
		if (!ec)
			options.snapshots = absolute.lexically_normal().string();
		std::filesystem::create_directories(options.snapshots, ec);
		if (ec || !std::filesystem::is_directory(options.snapshots))
		{
			error = "cannot create the snapshot folder \"" + options.snapshots + "\"";
			return false;
		}
	}
	return true;
}

bool BoxRunner::startHost(std::string& error)
{
	setBoxRoot(root);
	// The plugin's diagnostics are for whoever debugs it, not for the viewer's terminal.
	eDebugLog::setVerbose(options.verbose);
	std::error_code ec;
	std::filesystem::create_directories(boxPath(logDir), ec);
	if (!eDebugLog::open(boxPath(logFile)))
		eWarning("oxle-box: cannot write %s; diagnostics stay on the terminal", boxPath(logFile).c_str());
	if (!options.journal.empty() && !Journal::instance().open(options.journal))
	{
		error = "cannot open the journal \"" + options.journal + "\"";
		return false;
	}
	DesktopServices::init();
	DesktopServices::setTimeOffset(options.timeOffset);

	RootSeeder seeder(root, OXLE_DATA_DIR, OXLE_SHOWIFRAME_TOOL);
	if (!seeder.seedFiles(error))
		return false;
	seeder.seedConfig();
	eConfig* config = eConfig::getInstance();
	for (const ConfigSetting& s : options.settings)
	{
		if (s.isInt)
			config->setKey(s.key.c_str(), s.intValue);
		else
			config->setKey(s.key.c_str(), s.text.c_str());
	}
	config->flush();

	Screen& screen = Screen::instance();
	VirtualDecoder& decoder = VirtualDecoder::instance();
	decoder.setFrameSink(
		[&screen](const VirtualDecoder::Frame& frame) { screen.setVideoFrame(frame.argb, frame.width, frame.height); });
	const auto pacing = options.fastDecoder ? VirtualDecoder::Pacing::Fast : VirtualDecoder::Pacing::Realtime;
	if (!decoder.start(boxPath(pvrDevice), pacing))
	{
		error = "cannot start the virtual decoder on " + boxPath(pvrDevice);
		return false;
	}
	// Without it the plugin only misses its background picture, so the run goes on.
	if (!showiframe.start(root))
		eWarning("oxle-box: showiframe requests will not be served");
	return true;
}

void BoxRunner::startSound()
{
	auto output = std::make_shared<AudioOutput>();
	std::string error;
	if (!output->open(error))
	{
		eWarning("oxle-box: %s; the box stays silent", error.c_str());
		return;
	}
	eAVSwitch* avs = eAVSwitch::getInstance();
	output->setVolume(avs->getMute(), avs->getVolume());
	AudioOutput* target = output.get();
	volumeLink = avs->volumeChanged.connect([target](int mute, int volume) { target->setVolume(mute, volume); });
	sound = output;
	VirtualDecoder::instance().setAudioOutput(output);
}

void BoxRunner::stopSound()
{
	if (!sound)
		return;
	volumeLink.disconnect();
	VirtualDecoder::instance().setAudioOutput(nullptr);
	sound->close();
	sound.reset();
}

int BoxRunner::finish(int code)
{
	showiframe.stop();
	VirtualDecoder::instance().stop();
	// A quit through the host application has journalled its code already; one "quit"
	// line a run is what a reader of the journal counts on.
	if (!eApp->quitRequested())
		Journal::instance().event("quit", {{"code", code}});
	Journal::instance().close();
	return code;
}

int BoxRunner::run()
{
	std::string error;
	Watchdog watchdog;
	if (options.timeout > 0)
		watchdog.arm(options.timeout);

	// Everything that can be checked is checked before anything is made.
	if (!options.keys.empty() && !script.load(options.keys, !options.snapshots.empty(), error))
		return failWith(error);
	SdlWindow window;
	if (options.window && !window.open(error))
		return failWith(error);
	if (!prepare(error))
		return failWith(error);
	if (!startHost(error))
	{
		watchdog.disarm();
		finish(badInputExitCode);
		return failWith(error);
	}

	// Snapshots and tests stay silent: only a box with a window has a loudspeaker.
	if (options.window && options.sound)
		startSound();

	KeyScriptPlayer player(script, options.snapshots);
	player.start();
	window.start();

	PluginLoader plugin;
	if (!plugin.load(options.plugin, error))
	{
		stopSound();
		window.close();
		watchdog.disarm();
		finish(badInputExitCode);
		return failWith(error);
	}

	// The plugin runs its window's modal loop on this, the GUI thread; every timer,
	// key and queued piece of work of the host runs inside it.
	const int result = plugin.entry()();
	// quit() from the plugin or the key script ends every loop; its code wins.
	const int code = eApp->quitRequested() ? eApp->exitCode() : result;

	if (!options.snapshots.empty())
		takeSnapshot(options.snapshots + "/" + finalSnapshot);
	stopSound();
	window.close();
	watchdog.disarm();
	return finish(code);
}
