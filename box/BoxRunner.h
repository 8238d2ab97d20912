#ifndef OXLE_BOX_BOXRUNNER_H
#define OXLE_BOX_BOXRUNNER_H

#include <memory>
#include <string>

#include "BoxOptions.h"
#include "KeyScript.h"
#include "ShowIframeListener.h"
#include "sigc.h"

class AudioOutput;

// One run of the desktop box: checks its input, prepares the root and the host's
// services in the order the plugin expects them, calls the plugin on the GUI thread
// and turns the outcome into the process's exit code.
class BoxRunner
{
public:
	explicit BoxRunner(BoxOptions options);
	int run();

	// Bad command line, key script, plugin or root.
	static constexpr int badInputExitCode = 2;

private:
	bool prepare(std::string& error);
	bool startHost(std::string& error);
	int finish(int code);
	// The decoder's sound on the PC's sound card, following the box's volume; a box
	// without a sound card goes on silent.
	void startSound();
	void stopSound();

	BoxOptions options;
	KeyScript script;
	std::string root;
	ShowIframeListener showiframe;
	std::shared_ptr<AudioOutput> sound;
	sigc::connection volumeLink;
};

#endif
