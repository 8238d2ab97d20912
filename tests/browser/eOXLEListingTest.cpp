// The main window's listings and list view, on the desktop host against a fake server.
#include <iterator>

#include "DesktopServices.h"
#include "OxleTestHost.h"
#include "eConfig.h"
#include "eListBoxEntryOXLE.h"
#include "eMainloop.h"
#include "oxleGlobals.h"

using A = eOXLETestAccess;

namespace
{
const std::string startDir = "C:\\media";
const char noConnectionTitle[] = "OXLE: NO CONNECTION TO OXLE_X86 - PLEASE CHECK";

const std::string orderingListing = listDocument(dirElement("..", "C:\\media\\..") +
	dirElement("Zeta", "C:\\media\\Zeta") + dirElement("alpha", "C:\\media\\alpha") +
	dirElement("Beta", "C:\\media\\Beta") + fileElement("b.avi", "C:\\media\\b.avi", "1048576", "film.png") +
	fileElement("A.avi", "C:\\media\\A.avi", "734003200", "music.png", "2024-02-03"));

std::vector<eListBoxEntryOXLE*> rows(eOXLE& w)
{
	std::vector<eListBoxEntryOXLE*> out;
	for (eListBoxEntry* e : A::listbox(w)->getEntries())
		out.push_back(static_cast<eListBoxEntryOXLE*>(e));
	return out;
}

std::vector<std::string> rowTexts(eOXLE& w)
{
	std::vector<std::string> out;
	for (eListBoxEntryOXLE* r : rows(w))
		out.push_back(r->getText());
	return out;
}

PLAYLIST playable(const std::string& name)
{
	PLAYLIST p;
	p.type = TYPE_FILE;
	p.name = p.text = name;
	p.path = "C:\\\\" + name;
	p.pic = "film.png";
	return p;
}
} // namespace

class OxleListing : public OxleWindowTest
{
protected:
	std::unique_ptr<eOXLE> openConnected(const std::string& listing = orderingListing)
	{
		scriptConnectedStart(startDir, listing);
		std::unique_ptr<eOXLE> w = open();
		EXPECT_TRUE(CONNECTION);
		mark = requests().size();
		return w;
	}
	std::vector<std::string> newRequests() const { return requestsSince(mark); }
	size_t mark = 0;
};

TEST_F(OxleListing, RowsFollowTheListingOrderWithTheirIcons)
{
	std::unique_ptr<eOXLE> w = openConnected();
	EXPECT_EQ(rowTexts(*w), (std::vector<std::string>{"", "Beta", "Zeta", "alpha", "A.avi", "b.avi"}));
	std::vector<eListBoxEntryOXLE*> r = rows(*w);
	for (size_t i = 0; i < r.size(); ++i)
	{
		EXPECT_EQ(r[i]->getIndex(), int(i));
		EXPECT_NE(r[i]->getIcon(), nullptr) << i;
	}
	// One picture per file, shared by the rows that show it.
	EXPECT_EQ(r[1]->getIcon(), r[2]->getIcon());
	EXPECT_NE(r[0]->getIcon(), r[1]->getIcon());
	EXPECT_NE(r[4]->getIcon(), r[5]->getIcon());
	const size_t cached = A::cachedIcons(*w);
	EXPECT_EQ(cached, 4u); // goup, folder, film, music

	// Rebuilding loads nothing new and keeps nothing old.
	gPixmap* folder = r[1]->getIcon();
	for (int i = 0; i < 3; ++i)
		w->viewList(0);
	EXPECT_EQ(A::cachedIcons(*w), cached);
	EXPECT_EQ(rows(*w)[1]->getIcon(), folder);
}

TEST_F(OxleListing, FileListingRequestsAndTitles)
{
	struct Case
	{
		const char* path;
		int mediadir;
		const char* password;
		std::vector<std::string> requests;
		const char* title;
	};
	const Case cases[] = {
		{"C:\\media\\Films", 0, "", {"VLC|GFL|C:\\media\\Films"}, "C:\\media\\Films"},
		{"c:/..", 0, "", {"VLC|GFL|c:/.."}, "Directories"},
		{"c:/..", 1, "", {"VLC|MDI|NO"}, "Using Mediadiroption"},
		{"/srv/x", 1, "", {"VLC|MDI|NO"}, "Using Mediadiroption"},
		{"/srv/x", 0, "secret", {"RQS|PSW|secret", "VLC|GFL|/srv/x"}, "/srv/x"},
	};
	for (const Case& c : cases)
	{
		SetUp();
		std::unique_ptr<eOXLE> w = openConnected();
		eConfig::getInstance()->setKey(OXLE_KEY("mediadir"), c.mediadir);
		eConfig::getInstance()->setKey(OXLE_KEY("lastmode"), 3);
		myPass = c.password;
		reply(c.requests.back(), orderingListing);
		w->loadList(MODE_FILES, c.path);
		EXPECT_EQ(newRequests(), c.requests) << c.path;
		EXPECT_EQ(w->getText(), c.title) << c.path;
		EXPECT_EQ(configInt(OXLE_KEY("lastmode")), 0);
		w.reset();
		TearDown();
	}
}

TEST_F(OxleListing, GuardedDrivesChangeNothing)
{
	std::unique_ptr<eOXLE> w = openConnected();
	eConfig::getInstance()->setKey(OXLE_KEY("lastmode"), 5);
	const std::vector<std::string> before = rowTexts(*w);
	const eString title = w->getText();
	for (const char* path : {"a:/", "A:/films", "b:/", "B:", "d:/video_ts", "D:\\", "d:"})
	{
		w->loadList(MODE_FILES, path);
		EXPECT_EQ(newRequests(), std::vector<std::string>{}) << path;
		EXPECT_EQ(w->getText(), title) << path;
		EXPECT_EQ(rowTexts(*w), before) << path;
		EXPECT_EQ(configInt(OXLE_KEY("lastmode")), 5) << path;
	}
	// The guard is for file listings only.
	w->loadList(MODE_DVD, "d:/");
	EXPECT_EQ(w->getText(), "OXLE: DVD Drive - D:");
	w->loadList(MODE_FILES, "c:/");
	EXPECT_EQ(newRequests(), std::vector<std::string>{"VLC|GFL|c:/"});
}

TEST_F(OxleListing, DiscListingsAndUnknownModes)
{
	std::unique_ptr<eOXLE> w = openConnected();
	w->loadList(MODE_VCD, "");
	EXPECT_EQ(w->getText(), "OXLE: (S)VCD Drive - D:");
	EXPECT_EQ(A::playlist(*w).front().path, "vcdx://D:@1:01-");
	EXPECT_EQ(rows(*w).size(), 20u);
	EXPECT_EQ(configInt(OXLE_KEY("lastmode")), MODE_VCD);
	w->loadList(MODE_SVCD, "");
	EXPECT_EQ(w->getText(), "OXLE: (S)SVCD Drive - D:");
	EXPECT_EQ(A::listMode(*w), MODE_SVCD);

	w->loadList(7, "whatever");
	EXPECT_EQ(w->getText(), "OXLE: (S)SVCD Drive - D:");
	EXPECT_TRUE(A::playlist(*w).empty());
	EXPECT_TRUE(rows(*w).empty());
	EXPECT_EQ(configInt(OXLE_KEY("lastmode")), 7);
	EXPECT_EQ(newRequests(), std::vector<std::string>{});

	// An empty path in file mode is the no-connection list, without asking.
	w->loadList(MODE_FILES, "");
	EXPECT_EQ(newRequests(), std::vector<std::string>{});
	EXPECT_EQ(w->getText(), noConnectionTitle);
	EXPECT_FALSE(CONNECTION);
	// From then on every mode ends there, discs included.
	w->loadList(MODE_DVD, "");
	EXPECT_EQ(w->getText(), noConnectionTitle);
	EXPECT_EQ(A::playlist(*w).size(), 21u);
}

TEST_F(OxleListing, BadRepliesGiveAnEmptyOrNoConnectionList)
{
	const std::string whole = orderingListing;
	struct Case
	{
		const char* what;
		FakeServer::Reply reply;
		bool connected;
		size_t rows;
	};
	const Case cases[] = {
		{"closed without a reply", FakeServer::Reply::closeWithoutReply(), false, 21},
		{"not XML", FakeServer::Reply::text("Directory listing:\nfoo\nbar\n"), true, 0},
		{"half a document", FakeServer::Reply::text(whole.substr(0, whole.size() / 2)), true, 0},
		{"never answers", FakeServer::Reply::stall(), true, 0},
		{"missing attributes", FakeServer::Reply::text(listDocument("<e type=\"file\"/><e name=\"x\"/>")), true, 1},
		{"bytes over 127", FakeServer::Reply::text(listDocument(fileElement("\xc3\xa9t\xc3\xa9.avi", "C:\\\xc3\xa9"))),
			true, 1},
	};
	for (const Case& c : cases)
	{
		SetUp();
		std::unique_ptr<eOXLE> w = openConnected();
		reply("VLC|GFL|C:\\other", c.reply);
		w->loadList(MODE_FILES, "C:\\other");
		EXPECT_EQ(CONNECTION, c.connected) << c.what;
		EXPECT_EQ(rows(*w).size(), c.rows) << c.what;
		EXPECT_EQ(w->getText(), c.connected ? "C:\\other" : noConnectionTitle) << c.what;
		w.reset();
		TearDown();
	}
}

TEST_F(OxleListing, FiftyThousandEntries)
{
	std::string children;
	const int count = 50000;
	for (int i = 0; i < count; ++i)
		children += fileElement("file" + std::to_string(i) + ".avi", "C:\\big\\" + std::to_string(i));
	std::unique_ptr<eOXLE> w = openConnected();
	reply("VLC|GFL|C:\\big", listDocument(children));
	w->loadList(MODE_FILES, "C:\\big");
	EXPECT_EQ(A::playlist(*w).size(), size_t(count));
	EXPECT_EQ(rows(*w).size(), size_t(count));
	EXPECT_EQ(A::cachedIcons(*w), 4u);
}

TEST_F(OxleListing, IconNamesFromTheServerStayInThePicturesFolder)
{
	std::unique_ptr<eOXLE> w = openConnected();
	// Names that leave the folder are refused even where they would reach a picture.
	const char* pics[] = {"../oxle/dvd.png", "../../enigma/pictures/oxle/dvd.png", "../../../../dev/zero",
		"/etc/passwd", "", "..", "nonexistent.png", "dvd.png"};
	const size_t count = std::size(pics);
	std::string children;
	for (size_t i = 0; i < count; ++i)
		children += fileElement("f" + std::to_string(i), "p", "1", pics[i]);
	reply("VLC|GFL|C:\\pics", listDocument(children));
	w->loadList(MODE_FILES, "C:\\pics");
	std::vector<eListBoxEntryOXLE*> r = rows(*w);
	ASSERT_EQ(r.size(), count);
	for (size_t i = 0; i + 1 < count; ++i)
		EXPECT_EQ(r[i]->getIcon(), nullptr) << pics[i];
	EXPECT_NE(r.back()->getIcon(), nullptr);
}

TEST_F(OxleListing, ViewListChoosesTheRowToMakeCurrent)
{
	std::unique_ptr<eOXLE> w = openConnected();
	std::vector<PLAYLIST>& list = A::playlist(*w);
	list.clear();
	for (const char* name : {"a", "b", "c", "d", "e"})
		list.push_back(playable(name));
	w->viewList(3);
	ASSERT_NE(A::listbox(*w)->getCurrent(), nullptr);
	EXPECT_EQ(A::listbox(*w)->getCurrent()->getIndex(), 3);
	EXPECT_EQ(A::currentIndex(*w), 3);
	EXPECT_NE(A::listbox(*w)->getHelpText().find("File: d"), eString::npos);

	// Parent rows are never chosen, and neither is anything in a message list.
	PLAYLIST parent;
	parent.type = TYPE_PARENT;
	list.assign(2, parent);
	list.push_back(playable("x"));
	w->viewList(1);
	ASSERT_NE(A::listbox(*w)->getCurrent(), nullptr);
	EXPECT_NE(A::listbox(*w)->getCurrent()->getIndex(), 1);
}

TEST_F(OxleListing, OkOpensDirectoriesAndStartsFiles)
{
	std::unique_ptr<eOXLE> w = openConnected();
	std::vector<eListBoxEntryOXLE*> r = rows(*w);

	// A file: its position and names are taken, the listing stays, and it is played.
	w->listSelected(r[4]);
	EXPECT_EQ(A::currentIndex(*w), 4);
	EXPECT_EQ(loadFile, "A.avi");
	EXPECT_EQ(nextFile, "b.avi");
	EXPECT_EQ(newRequests().at(0), "VLC|PLY|C:\\\\media\\\\A.avi|0|1");
	EXPECT_FALSE(A::browserVisible(*w));
	EXPECT_EQ(rows(*w).size(), 6u);

	// The start failed (no stream there); the browser is back. A start rebuilds the
	// rows.
	A::browserVisible(*w) = true;
	r = rows(*w);
	w->listSelected(r[5]);
	EXPECT_EQ(nextFile, "Playlist End");
	A::browserVisible(*w) = true;
	r = rows(*w);
	mark = requests().size();

	// The parent: a new file listing of its path.
	reply("VLC|GFL|C:\\media\\..", listDocument(dirElement("media", "C:\\media")));
	w->listSelected(r[0]);
	EXPECT_EQ(newRequests(), std::vector<std::string>{"VLC|GFL|C:\\media\\.."});
	EXPECT_EQ(rowTexts(*w), std::vector<std::string>{"media"});
	EXPECT_EQ(l_path, "C:\\media");

	// OK through the list box reaches the same slot.
	reply("VLC|GFL|C:\\media", orderingListing);
	w->show();
	w->setFocus(A::listbox(*w));
	press(*w, i_cursorActions->ok);
	EXPECT_EQ(newRequests().back(), "VLC|GFL|C:\\media");
	EXPECT_EQ(rows(*w).size(), 6u);
	w->hide();
}

TEST_F(OxleListing, SelectionsAreIgnoredDuringPlaybackAndWithoutServer)
{
	std::unique_ptr<eOXLE> w = openConnected();
	A::browserVisible(*w) = false;
	w->listSelected(rows(*w)[1]);
	w->listSelChanged(rows(*w)[4]);
	EXPECT_EQ(newRequests(), std::vector<std::string>{});
	EXPECT_EQ(A::currentIndex(*w), 0);
	EXPECT_EQ(loadFile, "");
	A::browserVisible(*w) = true;

	w->listSelected(nullptr);
	w->listSelChanged(nullptr);

	w->showNoServerList();
	EXPECT_EQ(w->getText(), noConnectionTitle);
	w->listSelected(rows(*w)[3]);
	w->listSelChanged(rows(*w)[3]);
	EXPECT_EQ(A::currentIndex(*w), 0);
	EXPECT_EQ(loadFile, "");
	EXPECT_EQ(newRequests(), std::vector<std::string>{});
}

TEST_F(OxleListing, CursorMovesShowTheEntryInStatusAndFrontPanel)
{
	std::unique_ptr<eOXLE> w = openConnected();
	std::vector<PLAYLIST>& list = A::playlist(*w);
	list[4].startOffset = 5;
	audioChannel = 2;
	list[4].sizeMB = 700;
	w->listSelChanged(rows(*w)[4]);
	EXPECT_EQ(A::currentIndex(*w), 4);
	EXPECT_EQ(A::listbox(*w)->getHelpText(),
		"Startoffset: 05min.\nAudioChannel: 2\nFile: A.avi\nSize: 700 MB, Date: 2024-02-03");
	EXPECT_EQ(DesktopServices::lcdText(), "A.avi");

	w->listSelChanged(rows(*w)[0]);
	EXPECT_EQ(A::listbox(*w)->getHelpText(), "Go up one directory level");
	w->listSelChanged(rows(*w)[2]);
	EXPECT_EQ(A::listbox(*w)->getHelpText(), "Enter directory");
	EXPECT_EQ(DesktopServices::lcdText(), "Zeta");

	// A name with a per-cent sign is text, not a format.
	list[5].name = "100%s%n.avi";
	w->listSelChanged(rows(*w)[5]);
	EXPECT_NE(A::listbox(*w)->getHelpText().find("File: 100%s%n.avi\n"), eString::npos);

	// Down through the window reaches the same slot.
	w->show();
	w->setFocus(A::listbox(*w));
	press(*w, i_cursorActions->down);
	EXPECT_EQ(A::currentIndex(*w), 1);
	EXPECT_EQ(A::listbox(*w)->getHelpText(), "Enter directory");
	w->hide();
}

TEST_F(OxleListing, ANearTimerEventClosesTheWindowAfterAListing)
{
	std::unique_ptr<eOXLE> w = openConnected();
	w->show();
	TIMEREVENT = 1;
	eTimer guard(eApp);
	guard.timeout.connect([&w] { w->close(99); });
	guard.start(5000, true);
	eApp->post([&w] { w->viewList(0); });
	EXPECT_EQ(w->exec(), 0);
	w->hide();
	TIMEREVENT = 0;
}

TEST(OxleQuote, EveryByteButLettersDigitsAndColonIsEscaped)
{
	struct Case
	{
		const char* in;
		const char* out;
	};
	const Case cases[] = {
		{"a b/c:1", "a%20b%2fc:1"},
		{"\n", "%a"},
		{"\xe4", "%e4"},
		{"AZaz09:", "AZaz09:"},
		{"100%", "100%25"},
		{"", ""},
	};
	for (const Case& c : cases)
		EXPECT_EQ(eOXLE::quote(c.in), c.out) << c.in;
}
