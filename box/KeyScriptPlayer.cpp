#include "KeyScriptPlayer.h"

#include "Journal.h"
#include "KeyInput.h"
#include "Screen.h"
#include "eDebug.h"
#include "eMainloop.h"
#include "eZap.h"

bool takeSnapshot(const std::string& path)
{
	Screen& screen = Screen::instance();
	screen.redrawAll();
	if (!screen.snapshot(path))
	{
		eWarning("oxle-box: snapshot %s not written", path.c_str());
		return false;
	}
	Journal::instance().event("snap", {{"file", path}});
	return true;
}

KeyScriptPlayer::KeyScriptPlayer(const KeyScript& script_, std::string snapshotDir_)
	: script(script_), snapshotDir(std::move(snapshotDir_)), timer(new eTimer(eApp))
{
	timer->timeout.connect(SigC::slot(*this, &KeyScriptPlayer::step));
}

KeyScriptPlayer::~KeyScriptPlayer() = default;

void KeyScriptPlayer::start()
{
	if (!finished())
		timer->start(settleMs, true);
}

void KeyScriptPlayer::step()
{
	if (finished())
		return;
	const KeyScript::Item& item = script.items()[next++];
	const long pause = item.kind == KeyScript::Item::Kind::Sleep ? item.ms : settleMs;
	const size_t after = next;
	if (!finished())
		timer->start(pause, true);
	perform(item);
	// An item that returned without the script moving on inside it (a snapshot, a key
	// that did slow work on this thread) has eaten its pause: count it from now, so the
	// screen gets its time to settle before the next item.
	if (next == after && !finished() && !eApp->quitRequested())
		timer->start(pause, true);
}

void KeyScriptPlayer::perform(const KeyScript::Item& item)
{
	switch (item.kind)
	{
	case KeyScript::Item::Kind::Key:
		// A key no widget wants is what a real remote does too: nothing to report.
		KeyInput::press(item.name);
		break;
	case KeyScript::Item::Kind::Sleep:
		break;
	case KeyScript::Item::Kind::Snap:
		takeSnapshot(snapshotDir + "/" + item.name + ".png");
		break;
	case KeyScript::Item::Kind::Quit:
		eZap::getInstance()->quit(0);
		break;
	}
}
