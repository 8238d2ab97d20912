#ifndef OXLE_BOX_KEYSCRIPTPLAYER_H
#define OXLE_BOX_KEYSCRIPTPLAYER_H

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "KeyScript.h"
#include "sigc.h"

class eTimer;

// Plays a key script on the GUI loop. Items are spaced by timers, so the script goes on
// inside whatever modal loop the plugin is running: a key that opens a message box
// does not return until the box closes, which is why the next item is scheduled
// before the current one is performed.
class KeyScriptPlayer : public SigC::Object
{
public:
	// snapshotDir may be empty when the script has no "snap".
	KeyScriptPlayer(const KeyScript& script, std::string snapshotDir);
	~KeyScriptPlayer();

	// Arms the first item; it plays once a GUI loop runs.
	void start();
	bool finished() const { return next >= script.items().size(); }

	// Gives the plugin's screen time to settle between two items so that what a key
	// changed has been drawn before the next key or snapshot.
	static constexpr long settleMs = 150;

	// The value of an event's field as the script writes it; false when the event lacks it.
	using FieldLookup = std::function<bool(const std::string& field, std::string& value)>;

private:
	void step();
	void perform(const KeyScript::Item& item);
	// Journal listener: runs on whichever thread raised the event.
	void eventSeen(const std::string& ev, const FieldLookup& field);

	const KeyScript& script;
	std::string snapshotDir;
	std::unique_ptr<eTimer> timer;
	size_t next = 0;

	// The "wait" item in progress, if any, and the waits that directly follow the item
	// being played: they listen from before it is performed, since what a key sets off at
	// once (a message box closing, the decoder resuming) may come before their turn.
	// seenAhead holds those whose event already came. Guarded by waitLock: the journal
	// listener reads them from other threads.
	std::mutex waitLock;
	const KeyScript::Item* waiting = nullptr;
	std::vector<const KeyScript::Item*> ahead;
	std::vector<const KeyScript::Item*> seenAhead;
	unsigned waitGeneration = 0;
	// Lets work posted to the GUI loop see that the player is gone.
	std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

// Redraws the screen and writes it to path; journals "snap". false when not written.
bool takeSnapshot(const std::string& path);

#endif
