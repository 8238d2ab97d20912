// One test per scenario file, Scenario.NAME (see Scenario.h): the served folder, the server on
// 127.0.0.1, oxle-box with the keys, then the journal and the requests checked. The binary runs
// in a loopback-only network namespace (HostTestEnv): a scenario may open the server scan.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "BoxProcess.h"
#include "FakeHttpStream.h"
#include "FakeServer.h"
#include "HostTestEnv.h"
#include "Scenario.h"
#include "ServerProcess.h"
#include "Ts.h"
#include "gPixmap.h"

namespace
{
// How the server logs a request it answered: peer "REQUEST" -> N bytes.
const std::regex LOGGED_REQUEST("oxle_x86: \\S+ \"(.*)\" -> [0-9]+ bytes");
// A picture check takes the mean of a square this wide: a film's grain moves single pixels
// far from the colour.
const int PICTURE_SQUARE = 16;
const int RUNNER_CHANNEL_BITS = 8, RUNNER_CHANNELS = 3;
const unsigned RUNNER_CHANNEL_MASK = 0xff;

using Matches = std::function<bool(const Scenario::Expectation&, size_t)>;

// Each expectation must match an item after the previous match; an absent one must match
// nothing between its neighbours (or up to the end).
std::string checkOrder(const std::vector<Scenario::Expectation>& list, size_t count, const Matches& matches)
{
	size_t from = 0;
	std::vector<const Scenario::Expectation*> absent;
	auto unwanted = [&](size_t to) {
		for (const Scenario::Expectation* a : absent)
			for (size_t i = from; i < to; ++i)
				if (matches(*a, i))
					return "unwanted (item " + std::to_string(i) + "): " + a->text + "\n";
		absent.clear();
		return std::string();
	};
	for (const Scenario::Expectation& e : list)
	{
		if (e.absent)
		{
			absent.push_back(&e);
			continue;
		}
		size_t at = from;
		while (at < count && !matches(e, at))
			++at;
		const std::string why =
			at == count ? "missing (after item " + std::to_string(from) + "): " + e.text + "\n" : unwanted(at);
		if (!why.empty())
			return why;
		from = at + 1;
	}
	return unwanted(count);
}

// As CMake's MAKE_C_IDENTIFIER names the ctest test.
std::string testName(const std::string& stem)
{
	std::string name = stem;
	for (char& c : name)
		if (!isalnum(static_cast<unsigned char>(c)))
			c = '_';
	return isdigit(static_cast<unsigned char>(name[0])) ? "_" + name : name;
}

class ScenarioTest : public ::testing::Test
{
public:
	explicit ScenarioTest(std::string file) : path(std::move(file)) {}
	void TestBody() override;

private:
	std::string check(const BoxProcess::Result& result) const;
	std::string checkPictures() const;
	std::string expanded(std::string text) const;

	const std::string path;
	Scenario scenario;
	TempDir served{"oxle-served"};
	// The disc is the server's drive, not something it serves.
	TempDir discs{"oxle-disc"};
	BoxProcess box;
	std::vector<std::pair<std::string, std::string>> values; // placeholder -> text
	std::vector<std::string> requests;                       // what the server saw, in order
	std::string serverLog;
};

std::string ScenarioTest::expanded(std::string text) const
{
	for (const auto& v : values)
		for (size_t at = text.find(v.first); at != std::string::npos; at = text.find(v.first, at + v.second.size()))
			text.replace(at, v.first.size(), v.second);
	return text;
}

void ScenarioTest::TestBody()
{
	if (!HostTestEnv::insidePrivateNetwork())
		GTEST_SKIP() << "scenarios run only in a network namespace of their own (as root)";
	std::string failure;
	ASSERT_TRUE(scenario.parse(TempDir::slurp(path), failure)) << path << ": " << failure;
	values = {{"{media}", served.path()}};
	for (const Scenario::Served& s : scenario.served)
		ASSERT_FALSE(s.kind == "media" ? !MediaMaker::place(s.clip, served / s.name, failure)
				: s.kind == "dir"      ? served.subdir(s.name).empty()
									   : served.file(s.name, s.contents).empty())
			<< "cannot make " << s.name << " in the served folder: " << failure;
	if (!scenario.discName.empty())
	{
		const std::string disc = discs / scenario.discName;
		ASSERT_TRUE(MediaMaker::placeDisc(scenario.disc, disc, failure)) << "cannot make the disc: " << failure;
		values.emplace_back(Scenario::DISC_PLACEHOLDER, disc);
	}
	for (const auto& f : scenario.boxFiles)
		ASSERT_FALSE(box.dir().file("root" + f.first, expanded(f.second)).empty()) << "cannot write " << f.first;
	std::unique_ptr<FakeHttpStream> stream;
	if (scenario.stream)
	{
		FakeHttpStream::Script script;
		script.body = TempDir::slurp(MediaMaker::path(scenario.streamClip, failure));
		script.bodyWithHeader = scenario.headPackets * ts::PACKET_SIZE;
		stream = std::make_unique<FakeHttpStream>(script);
		values.emplace_back("{stream-bytes}", std::to_string(script.body.size()));
		values.emplace_back("{stream-port}", std::to_string(stream->port()));
	}

	std::unique_ptr<ServerProcess> real;
	std::unique_ptr<FakeServer> fake;
	uint16_t port = FakeServer::freePort();
	if (scenario.server == "real")
	{
		std::vector<std::string> args{"--root", served.path()};
		if (!scenario.serverPassword.empty())
			args.insert(args.end(), {"--password", scenario.serverPassword});
		if (scenario.serverCdDrive)
			args.insert(args.end(), {"--cd-drive", discs / scenario.discName});
		real = std::make_unique<ServerProcess>(args);
		ASSERT_TRUE(real->start()) << real->error();
		port = real->commandPort();
	}
	else if (scenario.server == "fake")
	{
		std::vector<std::pair<std::string, std::string>> replies = scenario.replies;
		for (auto& r : replies)
			r.second = expanded(r.second);
		fake = std::make_unique<FakeServer>([replies](const std::string& request) {
			for (const auto& r : replies)
				if (Scenario::matchesPattern(r.first, request))
					return r.second == Scenario::STALL ? FakeServer::Reply::stall() : FakeServer::Reply::text(r.second);
			return FakeServer::Reply::text("+ok");
		});
		port = fake->port();
	}
	values.emplace_back("{port}", std::to_string(port));

	box.plugin = scenario.fixture ? BoxProcess::FIXTURE_PLUGIN : BoxProcess::PLUGIN;
	box.decoder = scenario.decoder;
	box.set(TempBoxRoot::SERVER_PORT_KEY, std::to_string(port));
	for (const std::string& key : scenario.keys)
		box.keys += expanded(key) + "\n";
	for (const std::string& setting : scenario.settings)
		box.extra.insert(box.extra.end(), {"--set", expanded(setting)});
	if (box.keys.find("snap ") != std::string::npos)
		box.extra.insert(box.extra.end(), {"--snapshots", box.dir() / "snaps"});
	const BoxProcess::Result result = box.run();

	if (real)
	{
		real->stop();
		serverLog = real->log();
		std::istringstream lines(serverLog);
		std::smatch m;
		for (std::string line; std::getline(lines, line);)
			if (std::regex_search(line, m, LOGGED_REQUEST))
				requests.push_back(m[1]);
	}
	else if (fake)
	{
		fake->stop();
		requests = fake->requests();
		for (const std::string& r : requests)
			serverLog += "\"" + r + "\"\n";
	}
	const std::string why = check(result);
	EXPECT_TRUE(why.empty()) << path << ": " << scenario.title << "\n"
							 << why << "--- journal\n"
							 << box.journal().dump() << "--- server\n"
							 << serverLog << "--- box\n"
							 << result.output;
}

std::string ScenarioTest::check(const BoxProcess::Result& result) const
{
	const JournalReader journal = box.journal();
	const size_t quit = journal.findLast("quit");
	if (result.exitCode < 0)
		return "the box did not end by itself\n";
	if (quit == JournalReader::npos || journal[quit].number("code") != result.exitCode)
		return "the box ended with " + std::to_string(result.exitCode) + ", not with its journal's quit code\n";
	const std::string why = checkOrder(scenario.expect, journal.size(), [&](const Scenario::Expectation& e, size_t at) {
		bool all = journal[at].ev == e.ev;
		for (const Scenario::Condition& c : e.conditions)
			all = all &&
				Scenario::holds({c.field, c.op, expanded(c.value)}, journal[at].has(c.field), journal[at][c.field]);
		return all;
	});
	if (!why.empty())
		return why;
	const std::string asked =
		checkOrder(scenario.requests, requests.size(), [&](const Scenario::Expectation& e, size_t at) {
			return Scenario::matchesPattern(expanded(e.text), requests[at]);
		});
	return asked.empty() ? checkPictures() : asked;
}

// The mean colour of the square around (x, y), RRGGBB; false when it lies off the picture.
bool meanColour(const gPixmap& picture, int x, int y, unsigned& rgb)
{
	const int left = x - PICTURE_SQUARE / 2, top = y - PICTURE_SQUARE / 2;
	if (left < 0 || top < 0 || left + PICTURE_SQUARE > picture.width() || top + PICTURE_SQUARE > picture.height())
		return false;
	rgb = 0;
	for (int channel = 0; channel < RUNNER_CHANNELS; ++channel)
	{
		const int shift = channel * RUNNER_CHANNEL_BITS;
		unsigned sum = 0;
		for (int row = top; row < top + PICTURE_SQUARE; ++row)
			for (int column = left; column < left + PICTURE_SQUARE; ++column)
				sum += (picture.pixel(column, row) >> shift) & RUNNER_CHANNEL_MASK;
		rgb |= sum / (PICTURE_SQUARE * PICTURE_SQUARE) << shift;
	}
	return true;
}

std::string ScenarioTest::checkPictures() const
{
	for (const Scenario::Picture& p : scenario.pictures)
	{
		const std::string where = p.snapshot + " at " + std::to_string(p.x) + "," + std::to_string(p.y);
		std::unique_ptr<gPixmap> shot(loadPNG((box.dir() / ("snaps/" + p.snapshot + ".png")).c_str()));
		unsigned got = 0;
		if (!shot || !meanColour(*shot, p.x, p.y, got))
			return "no snapshot " + where + "\n";
		if (!Scenario::looksLike(got, p.rgb))
		{
			char colours[sizeof "000000, not 000000"];
			std::snprintf(colours, sizeof colours, "%06x, not %06x", got, p.rgb);
			return "snapshot " + where + ": " + colours + "\n";
		}
	}
	return std::string();
}

// Registered before main runs, as TEST() is; the whole binary moves into its namespace.
const bool registered = [] {
	HostTestEnv::wantPrivateNetwork();
	std::set<std::filesystem::path> files;
	std::error_code failed;
	for (const auto& entry : std::filesystem::directory_iterator(OXLE_SCENARIO_DIR, failed))
		if (entry.path().extension() == ".scenario")
			files.insert(entry.path());
	for (const std::filesystem::path& file : files)
		::testing::RegisterTest("Scenario", testName(file.stem().string()).c_str(), nullptr, nullptr, file.c_str(), 1,
			[file]() -> ::testing::Test* { return new ScenarioTest(file.string()); });
	return true;
}();
} // namespace
