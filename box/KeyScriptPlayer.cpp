#include "KeyScriptPlayer.h"

#include <algorithm>

#include <nlohmann/json.hpp>

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
	bool hasWait = false;
	for (const KeyScript::Item& item : script.items())
		hasWait = hasWait || item.kind == KeyScript::Item::Kind::Wait;
	if (hasWait)
		Journal::instance().setListener([this](const nlohmann::ordered_json& line) {
			eventSeen(line.value("ev", ""), [&line](const std::string& field, std::string& value) {
				auto it = line.find(field);
				if (it == line.end())
					return false;
				value = it->is_string() ? it->get<std::string>() : it->dump();
				return true;
			});
		});
}

KeyScriptPlayer::~KeyScriptPlayer()
{
	Journal::instance().setListener({});
	*alive = false;
}

namespace
{
bool matches(const KeyScript::Item& wait, const std::string& ev, const KeyScriptPlayer::FieldLookup& field)
{
	std::string value;
	return wait.name == ev && (wait.field.empty() || (field(wait.field, value) && value == wait.value));
}
} // namespace

void KeyScriptPlayer::eventSeen(const std::string& ev, const FieldLookup& field)
{
	unsigned generation;
	{
		std::lock_guard<std::mutex> guard(waitLock);
		for (auto it = ahead.begin(); it != ahead.end();)
		{
			if (matches(**it, ev, field))
			{
				seenAhead.push_back(*it);
				it = ahead.erase(it);
			}
			else
				++it;
		}
		if (!waiting || !matches(*waiting, ev, field))
			return;
		waiting = nullptr;
		generation = waitGeneration;
	}
	// The script goes on on the GUI thread, where its timer lives.
	std::shared_ptr<bool> stillAlive = alive;
	eApp->post([this, stillAlive, generation] {
		if (!*stillAlive)
			return;
		{
			std::lock_guard<std::mutex> guard(waitLock);
			if (generation != waitGeneration)
				return;
		}
		if (!finished())
			timer->start(settleMs, true);
	});
}

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
	const bool isWait = item.kind == KeyScript::Item::Kind::Wait;
	bool alreadySeen = false;
	{
		// Whatever was awaited is over: its event came, or its time ran out.
		std::lock_guard<std::mutex> guard(waitLock);
		++waitGeneration;
		waiting = nullptr;
		if (isWait)
		{
			alreadySeen = std::find(seenAhead.begin(), seenAhead.end(), &item) != seenAhead.end();
			if (!alreadySeen)
				waiting = &item;
		}
		else
		{
			ahead.clear();
			seenAhead.clear();
			for (size_t i = next; i < script.items().size() && script.items()[i].kind == KeyScript::Item::Kind::Wait;
				 ++i)
				ahead.push_back(&script.items()[i]);
		}
		ahead.erase(std::remove(ahead.begin(), ahead.end(), &item), ahead.end());
	}
	const bool sleeps = item.kind == KeyScript::Item::Kind::Sleep || (isWait && !alreadySeen);
	const long pause = sleeps ? item.ms : settleMs;
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
	case KeyScript::Item::Kind::Wait:
		break;
	case KeyScript::Item::Kind::Snap:
		takeSnapshot(snapshotDir + "/" + item.name + ".png");
		break;
	case KeyScript::Item::Kind::Quit:
		eZap::getInstance()->quit(0);
		break;
	}
}
