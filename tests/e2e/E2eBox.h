#ifndef OXLE_TESTS_E2E_E2EBOX_H
#define OXLE_TESTS_E2E_E2EBOX_H

#include <cstdint>
#include <string>
#include <vector>

#include "BoxProcess.h"
#include "JournalQuery.h"

// One run of the real oxle-box with the real plugin: a fresh root, a journal, a key
// script and settings seeded into the configuration store before the plugin starts.
// The root's server address is always 127.0.0.1 (oxle-box seeds it).
class E2eBox
{
public:
	static const char* const serverPortKey;

	// One item of the key script a line; see oxle-box --help.
	void keys(const std::string& script) { keyScript = script; }
	void decoder(const std::string& pacing) { pacing_ = pacing; }
	void setString(const std::string& key, const std::string& value);
	void setInt(const std::string& key, int value);
	void serverPort(uint16_t port) { setString(serverPortKey, std::to_string(port)); }
	void snapshots() { wantSnapshots = true; }

	BoxRun run();
	JournalQuery journal() const;
	std::string snapshot(const std::string& name) const;
	// The desktop location of a box path inside this run's root.
	std::string rootFile(const std::string& boxPath) const;

private:
	ScratchDir dir;
	std::string keyScript;
	std::string pacing_ = "fast";
	std::vector<std::string> settings;
	bool wantSnapshots = false;
};

#endif
