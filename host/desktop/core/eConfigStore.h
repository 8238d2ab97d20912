#ifndef OXLE_DESKTOP_ECONFIGSTORE_H
#define OXLE_DESKTOP_ECONFIGSTORE_H

#include <map>
#include <mutex>
#include <string>

#include "eConfig.h"

// The desktop's configuration store: a text file with one typed key a line,
//   i:/enigma/plugins/oxle/volume=31
//   s:/enigma/plugins/oxle/serverip=127.0.0.1
// where text values escape backslash and newline as \\ and \n. Changes stay in memory
// until flush(), which replaces the file atomically and keeps the one before as
// "<file>.bak". An int and a string key of the same name are one key: the last
// setKey decides its type.
class eConfigStore : public eConfig
{
public:
	static eConfigStore& instance();

	// Where the box keeps its store, a box path.
	static constexpr const char* storeFile = "/var/tuxbox/config/enigma/config";

	// Replaces the content with the file at path and remembers path for flush(). A
	// missing file gives an empty store; a malformed line is skipped with a warning.
	// False (store left empty, flush refused) when the file exists but cannot be read.
	bool load(const std::string& path);
	std::string path() const;

	int getKey(const char* key, int& value) override;
	int getKey(const char* key, char*& value) override;
	int setKey(const char* key, int value) override;
	int setKey(const char* key, const char* value) override;
	void delKey(const char* key) override;
	void flush() override;
	// flush() with its outcome: false with a diagnostic, the file untouched.
	bool save();

	static std::string escape(const std::string& text);
	// False when text holds an unknown escape or ends in a lone backslash.
	static bool unescape(const std::string& text, std::string& out);

private:
	eConfigStore() = default;

	struct Value
	{
		bool isInt = false;
		int number = 0;
		std::string text;
	};

	static bool validKey(const char* key);
	static bool parseLine(const std::string& line, std::string& key, Value& value);
	std::string serialize() const;
	std::string storePath() const;

	mutable std::mutex lock; // guards values, file and unreadable
	std::map<std::string, Value> values;
	std::string file;
	// The last load found a file it could not read; flush() then leaves it alone.
	bool unreadable = false;
};

#endif
