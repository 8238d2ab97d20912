#include "Journal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <nlohmann/json.hpp>

#include "MonotonicMs.h"
#include "eDebug.h"

namespace
{
// Takes the start stamp when the library is loaded, so that "t" counts from the start
// of the process rather than from the first journal line.
const long long loadStamp = Journal::now();
} // namespace

Journal& Journal::instance()
{
	static Journal journal;
	return journal;
}

bool Journal::open(const std::string& path)
{
	FILE* f = fopen(path.c_str(), "w");
	if (!f)
	{
		eWarning("journal: cannot open %s: %s", path.c_str(), strerror(errno));
		return false;
	}
	std::lock_guard<std::mutex> guard(lock);
	if (file)
		fclose(file);
	file = f;
	return true;
}

void Journal::close()
{
	std::lock_guard<std::mutex> guard(lock);
	if (file)
		fclose(file);
	file = nullptr;
}

bool Journal::isOpen() const
{
	std::lock_guard<std::mutex> guard(lock);
	return file != nullptr;
}

void Journal::event(const char* ev)
{
	event(ev, nlohmann::json::object());
}

void Journal::event(const char* ev, const nlohmann::json& fields)
{
	(void)loadStamp;
	Listener watcher;
	{
		std::lock_guard<std::mutex> guard(lock);
		if (!file && !listener)
			return;
		watcher = listener;
	}
	// "t" and "ev" lead every line; the fields follow in their own (sorted) order.
	nlohmann::ordered_json line;
	line["t"] = now();
	line["ev"] = ev ? ev : "";
	if (fields.is_object())
	{
		for (auto it = fields.begin(); it != fields.end(); ++it)
			if (it.key() != "t" && it.key() != "ev")
				line[it.key()] = it.value();
	}
	else if (!fields.is_null())
	{
		line["data"] = fields;
	}
	// Texts from the box are bytes, not always UTF-8 (Latin-1 names): replace what is
	// not valid rather than throw out of a diagnostic.
	std::string text = line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
	text += '\n';
	{
		std::lock_guard<std::mutex> guard(lock);
		if (file)
		{
			fwrite(text.data(), 1, text.size(), file);
			fflush(file);
		}
	}
	if (watcher)
		watcher(line);
}

void Journal::setListener(Listener l)
{
	std::lock_guard<std::mutex> guard(lock);
	listener = std::move(l);
}

long long Journal::now()
{
	static const long long start = monotonicMs();
	return monotonicMs() - start;
}
