// The file-information window and the remaining-time query, against a fake server.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakeServer.h"
#include "KeyInput.h"
#include "ModalStack.h"
#include "TempBoxRoot.h"
#include "WindowsTestHost.h"
#include "eLabel.h"
#include "eMainloop.h"
#include "eOXLE_FileInfo.h"
#include "eWindow.h"

struct eOXLE_FileInfoTestAccess
{
	static eLabel* label(eOXLE_FileInfo& w) { return w.label; }
};
using A = eOXLE_FileInfoTestAccess;

namespace
{
const int GUARD_MS = 10000;

class FileInfo : public ::testing::Test
{
protected:
	void SetUp() override
	{
		server = std::make_unique<FakeServer>([this](const std::string& request) {
			std::lock_guard<std::mutex> guard(lock);
			auto found = replies.find(request);
			if (found == replies.end())
				return FakeServer::Reply::closeWithoutReply();
			return FakeServer::Reply::text(found->second);
		});
		ASSERT_TRUE(server->ok()) << server->error();
		useLoopbackServer(server->port());
	}
	void TearDown() override
	{
		useLoopbackServer(TempBoxRoot::DEFAULT_COMMAND_PORT);
		server.reset();
	}
	void reply(const std::string& request, const std::string& text)
	{
		std::lock_guard<std::mutex> guard(lock);
		replies[request] = text;
	}

	// What the information window shows while it runs (empty when none opened), and
	// whether the main window was hidden meanwhile.
	struct Seen
	{
		bool opened = false;
		std::string title, text;
		bool mainHidden = false;
		eSize labelSize;
	};
	Seen openFor(eWindow& mainWindow, const std::vector<PLAYLIST>& playlist, int index)
	{
		Seen seen;
		eTimer look(eApp), guard(eApp);
		look.timeout.connect([&] {
			if (auto* info = dynamic_cast<eOXLE_FileInfo*>(ModalStack::top()))
			{
				seen.opened = true;
				seen.title = info->getText();
				seen.text = A::label(*info)->getText();
				seen.labelSize = A::label(*info)->getSize();
				seen.mainHidden = !mainWindow.isShown();
				KeyInput::press("exit");
			}
		});
		guard.timeout.connect([] { KeyInput::press("exit"); });
		look.start(20, true);
		guard.start(GUARD_MS, true);
		showFileInfosFor(mainWindow, playlist, index);
		return seen;
	}

	std::unique_ptr<FakeServer> server;

private:
	std::mutex lock; // guards replies (read on the server's threads)
	std::map<std::string, std::string> replies;
};

std::vector<PLAYLIST> listing()
{
	std::vector<PLAYLIST> l(3);
	l[0].type = TYPE_PARENT;
	l[0].path = "C:\\\\films\\\\..";
	l[1].type = TYPE_DIRECTORY;
	l[1].path = "C:\\\\films\\\\old";
	l[2].type = TYPE_FILE;
	l[2].path = "C:\\\\films\\\\a.avi";
	return l;
}

TEST_F(FileInfo, ShowsTheServersTextForAnyEntryButTheFirst)
{
	reply("RQS|NFO|C:\\\\films\\\\a.avi", "Size: 700 MB\nLength: 01:30:00");
	eWindow main;
	main.show();
	const Seen seen = openFor(main, listing(), 2);
	EXPECT_TRUE(seen.opened);
	EXPECT_EQ(seen.title, "File Info");
	EXPECT_EQ(seen.text, "Size: 700 MB\nLength: 01:30:00");
	EXPECT_EQ(seen.labelSize, eSize(500, 410));
	EXPECT_TRUE(seen.mainHidden);
	EXPECT_TRUE(main.isShown());

	// A directory is asked about too.
	const Seen directory = openFor(main, listing(), 1);
	EXPECT_TRUE(directory.opened);
	EXPECT_EQ(
		server->requests(), (std::vector<std::string>{"RQS|NFO|C:\\\\films\\\\a.avi", "RQS|NFO|C:\\\\films\\\\old"}));
}

TEST_F(FileInfo, FirstRowAndRowsOutsideTheListingOpenNothing)
{
	eWindow main;
	main.show();
	for (int index : {0, 3, -1, 1000})
	{
		const Seen seen = openFor(main, listing(), index);
		EXPECT_FALSE(seen.opened) << index;
		EXPECT_TRUE(main.isShown()) << index;
	}
	EXPECT_FALSE(openFor(main, {}, 0).opened);
	EXPECT_TRUE(server->requests().empty());
}

TEST_F(FileInfo, WithoutAnAnswerTheWindowShowsWhatTheChannelSays)
{
	eWindow main;
	main.show();
	const Seen seen = openFor(main, listing(), 2);
	EXPECT_TRUE(seen.opened);
	EXPECT_EQ(seen.text, "");
}

TEST_F(FileInfo, RemainingSecondsFromThePlayStatus)
{
	struct Case
	{
		std::string reply;
		int seconds;
	};
	const Case cases[] = {
		{"<root><time>600</time><length>5400</length><position>3</position></root>", 4800},
		{"<root><length>5400</length></root>", 5400},
		{"<root><time>600</time></root>", 0},
		{"<root><time>6000</time><length>5400</length></root>", 0}, // played past the length
		{"", 0},
		{"+nok", 0},
		{"<root><time>1", 0},
	};
	for (const Case& c : cases)
	{
		reply("VLC|GTI|NO", c.reply);
		EXPECT_EQ(readInfosRemaining(), c.seconds) << c.reply;
	}
	EXPECT_EQ(server->requests().size(), sizeof cases / sizeof cases[0]);
	for (const std::string& request : server->requests())
		EXPECT_EQ(request, "VLC|GTI|NO");
}
} // namespace
