// The main window's listings where the journal cannot see the fault.
#include <iterator>
#include <tuple>

#include "WindowTest.h"

namespace
{
const char NO_CONNECTION_TITLE[] = "OXLE: NO CONNECTION TO OXLE_X86 - PLEASE CHECK";
const std::string LISTING_PAGE = listDocument(dirElement("..", "C:\\media\\..") +
	dirElement("Zeta", "C:\\media\\Zeta") + dirElement("alpha", "C:\\media\\alpha") +
	fileElement("b.avi", "C:\\media\\b.avi") + fileElement("A.avi", "C:\\media\\A.avi", "music.png"));
} // namespace

TEST_F(OxleWindowTest, RowsShareOneCachedIconPerPictureFromThePicturesFolderOnly)
{
	std::unique_ptr<eOXLE> w = openConnected(LISTING_PAGE);
	EXPECT_EQ(rowTexts(*w), (std::vector<std::string>{"", "Zeta", "alpha", "A.avi", "b.avi"}));
	EXPECT_EQ(row(*w, 1)->getIcon(), row(*w, 2)->getIcon());
	EXPECT_NE(row(*w, 3)->getIcon(), row(*w, 4)->getIcon());
	EXPECT_EQ(A::cachedIcons(*w), 4u); // goup, folder, music, film
	for (int i = 0; i < 3; ++i)
		w->viewList(0);
	EXPECT_EQ(A::cachedIcons(*w), 4u);

	// Names that leave the folder are refused, even where they would reach a picture.
	const char* pics[] = {"../oxle/dvd.png", "/etc/passwd", "", "..", "none.png", "dvd.png"};
	std::string children;
	for (size_t i = 0; i < std::size(pics); ++i)
		children += fileElement("f" + std::to_string(i), "p", pics[i]);
	reply("VLC|GFL|C:\\pics", listDocument(children));
	w->loadList(MODE_FILES, "C:\\pics");
	ASSERT_EQ(size_t(A::listbox(*w)->getCount()), std::size(pics));
	for (int i = 0; i + 1 < int(std::size(pics)); ++i)
		EXPECT_EQ(row(*w, i)->getIcon(), nullptr) << pics[i];
	EXPECT_NE(row(*w, int(std::size(pics)) - 1)->getIcon(), nullptr);
	EXPECT_EQ(A::cachedIcons(*w), 5u);
}

TEST_F(OxleWindowTest, AFileListingAsksForThePathTheMediaFolderOrWithThePassword)
{
	const std::tuple<const char*, int, const char*, std::vector<std::string>, const char*> cases[] = {
		// path, media folder option, password, requests, title
		{"C:\\media\\Films", 0, "", {"VLC|GFL|C:\\media\\Films"}, "C:\\media\\Films"},
		{"c:/..", 0, "", {"VLC|GFL|c:/.."}, "Directories"},
		{"c:/..", 1, "", {"VLC|MDI|NO"}, "Using Mediadiroption"},
		{"/srv/x", 0, "4711", {"RQS|PSW|4711", "VLC|GFL|/srv/x"}, "/srv/x"},
	};
	std::unique_ptr<eOXLE> w = openConnected(LISTING_PAGE);
	for (const auto& [path, mediadir, password, requests, title] : cases)
	{
		eConfig::getInstance()->setKey(OXLE_KEY("mediadir"), mediadir);
		eConfig::getInstance()->setKey(OXLE_KEY("lastmode"), MODE_DVD);
		myPass = password;
		reply(requests.back(), LISTING_PAGE);
		mark();
		w->loadList(MODE_FILES, path);
		EXPECT_EQ(sent(), requests) << path;
		EXPECT_EQ(w->getText(), title) << path;
		EXPECT_EQ(size_t(A::listbox(*w)->getCount()), 5u) << path;
		EXPECT_EQ(HostTestEnv::configInt(OXLE_KEY("lastmode")), MODE_FILES) << path;
	}
}

TEST_F(OxleWindowTest, BadListingRepliesGiveAnEmptyOrTheNoConnectionList)
{
	const std::tuple<const char*, FakeServer::Reply, bool, size_t> cases[] = {
		// reply, still connected, rows
		{"not XML", FakeServer::Reply::text("Directory listing:\nfoo\n"), true, 0},
		{"half a document", FakeServer::Reply::text(LISTING_PAGE.substr(0, LISTING_PAGE.size() / 2)), true, 0},
		{"never answers", FakeServer::Reply::stall(), true, 0},
		{"missing attributes", FakeServer::Reply::text(listDocument("<e type=\"file\"/><e name=\"x\"/>")), true, 1},
		{"closed without a reply", FakeServer::Reply::closeWithoutReply(), false, 21},
	};
	std::unique_ptr<eOXLE> w = openConnected(LISTING_PAGE);
	for (const auto& [what, answer, connected, rows] : cases)
	{
		reply("VLC|GFL|C:\\other", answer);
		w->loadList(MODE_FILES, "C:\\other");
		EXPECT_EQ(CONNECTION, connected) << what;
		EXPECT_EQ(size_t(A::listbox(*w)->getCount()), rows) << what;
		EXPECT_EQ(w->getText(), connected ? "C:\\other" : NO_CONNECTION_TITLE) << what;
	}
	EXPECT_EQ(rowTexts(*w).front(), "NO CONNECTION TO OXLE_X86 SERVER AVAILABLE");
	// From then on every mode ends there, discs included.
	w->loadList(MODE_DVD, "");
	EXPECT_EQ(w->getText(), NO_CONNECTION_TITLE);
}

TEST(OxleQuote, EveryByteButLettersDigitsAndColonIsEscaped)
{
	const char* const cases[][2] = {
		{"a b/c:1", "a%20b%2fc:1"}, {"\n", "%a"}, {"\xe4", "%e4"}, {"AZaz09:", "AZaz09:"}, {"100%", "100%25"}};
	for (const auto& c : cases)
		EXPECT_EQ(eOXLE::quote(c[0]), c[1]) << c[0];
}
