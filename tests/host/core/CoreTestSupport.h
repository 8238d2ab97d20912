#ifndef OXLE_TESTS_CORETESTSUPPORT_H
#define OXLE_TESTS_CORETESTSUPPORT_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "BoxRoot.h"
#include "Journal.h"

// A fresh box root under /tmp, set as the host's root and journal for one test.
class TestRoot
{
public:
	TestRoot()
	{
		std::string pattern = (std::filesystem::temp_directory_path() / "oxle-core-XXXXXX").string();
		dir = mkdtemp(&pattern[0]) ? pattern : std::string();
		setBoxRoot(dir);
		Journal::instance().open(dir + "/journal");
	}
	~TestRoot()
	{
		Journal::instance().close();
		setBoxRoot("");
		std::error_code ignored;
		std::filesystem::remove_all(dir, ignored);
	}
	TestRoot(const TestRoot&) = delete;
	TestRoot& operator=(const TestRoot&) = delete;

	std::string path(const std::string& boxPath) const { return dir + boxPath; }

	void write(const std::string& boxPath, const std::string& content) const
	{
		std::filesystem::create_directories(std::filesystem::path(path(boxPath)).parent_path());
		std::ofstream(path(boxPath), std::ios::binary) << content;
	}

	std::string read(const std::string& boxPath) const
	{
		std::ifstream in(path(boxPath), std::ios::binary);
		std::stringstream s;
		s << in.rdbuf();
		return s.str();
	}

	// The journal's lines of one event name, in order.
	std::vector<nlohmann::json> events(const std::string& ev) const
	{
		std::vector<nlohmann::json> out;
		std::ifstream in(dir + "/journal");
		std::string line;
		while (std::getline(in, line))
		{
			nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
			if (!j.is_discarded() && j.value("ev", "") == ev)
				out.push_back(j);
		}
		return out;
	}

	std::string dir;
};

#endif
