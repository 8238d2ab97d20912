// A listing of 10,000 entries from the server's reply to the rows on screen, step by
// step and whole, beside expat alone reading the same document. Runs the desktop host
// in-process on a throw-away box root; no network. With --document=FILE (last on the
// command line) the reply is one the real server sent instead.
#include <benchmark/benchmark.h>
#include <expat.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "BoxRoot.h"
#include "DesktopServices.h"
#include "ListDocument.h"
#include "ListingView.h"
#include "ServerReply.h"
#include "XMLTreeParser.h"
#include "oxleConfig.h"
#include "oxleGlobals.h"
#include "parseXml.h"

#ifndef OXLE_BENCH_PICTURES_DIR
#error "OXLE_BENCH_PICTURES_DIR names the project's picture folder"
#endif

namespace
{
const int folderEntries = 10000;
// The parent entry comes first, before the folder's own children.
const size_t madeEntries = folderEntries + 1;
const char documentOption[] = "--document=";
// No CD drive configured: the start value of the plugin's setting.
const eString noCdDrive = "";
// A blank list shows its background and frame; drawn rows bring icons and
// anti-aliased text, hence many more colours.
const int fewestDrawnColours = 16;

// Set up once in main, before any benchmark runs; GUI thread only.
std::string document;
size_t listedEntries = madeEntries;
ListingView* view = nullptr;

void XMLCALL ignoreStart(void*, const XML_Char*, const XML_Char**)
{
}
void XMLCALL ignoreEnd(void*, const XML_Char*)
{
}
void XMLCALL ignoreText(void*, const XML_Char*, int)
{
}

void countEntries(benchmark::State& state)
{
	state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(listedEntries));
}

void countDocument(benchmark::State& state)
{
	state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(document.size()));
	countEntries(state);
}

// The reference: expat reading the document with handlers that do nothing.
void ExpatAlone(benchmark::State& state)
{
	for (auto _ : state)
	{
		XML_Parser parser = XML_ParserCreate(nullptr);
		XML_SetElementHandler(parser, ignoreStart, ignoreEnd);
		XML_SetCharacterDataHandler(parser, ignoreText);
		const XML_Status status = XML_Parse(parser, document.data(), int(document.size()), 1);
		XML_ParserFree(parser);
		if (status != XML_STATUS_OK)
		{
			state.SkipWithError("expat rejected the document");
			break;
		}
	}
	countDocument(state);
}

// The host's parser building its tree of the reply.
void ParseXml(benchmark::State& state)
{
	size_t children = 0;
	for (auto _ : state)
	{
		std::unique_ptr<XMLTreeParser> tree(parseXml(document.c_str()));
		if (!tree)
		{
			state.SkipWithError("the host's parser rejected the document");
			break;
		}
		children = tree->RootNode()->getChildren().size();
	}
	if (children != listedEntries)
		state.SkipWithError("the tree does not hold every entry");
	countDocument(state);
}

// Reply text to the browser's entries (parsing included).
void ReadListDocument(benchmark::State& state)
{
	size_t entries = 0;
	for (auto _ : state)
	{
		std::vector<PLAYLIST> playlist;
		eString lastPath;
		if (!readListDocument(document.c_str(), noCdDrive, playlist, lastPath))
		{
			state.SkipWithError("the reply is no list document");
			break;
		}
		entries = playlist.size();
		benchmark::DoNotOptimize(playlist.data());
	}
	if (entries != listedEntries)
		state.SkipWithError("entries were lost");
	countDocument(state);
}

std::vector<PLAYLIST> readEntries()
{
	std::vector<PLAYLIST> playlist;
	eString lastPath;
	readListDocument(document.c_str(), noCdDrive, playlist, lastPath);
	return playlist;
}

// The list view's sort of entries as the reply brings them.
void SortEntries(benchmark::State& state)
{
	const std::vector<PLAYLIST> read = readEntries();
	for (auto _ : state)
	{
		state.PauseTiming();
		std::vector<PLAYLIST> playlist = read;
		state.ResumeTiming();
		std::sort(playlist.begin(), playlist.end(), sortByType);
		benchmark::DoNotOptimize(playlist.data());
	}
	countEntries(state);
}

// Sorted entries to rows in the list box, the previous listing's rows cleared.
void BuildRows(benchmark::State& state)
{
	std::vector<PLAYLIST> playlist = readEntries();
	std::sort(playlist.begin(), playlist.end(), sortByType);
	for (auto _ : state)
		view->buildRows(playlist, 0);
	if (size_t(view->rowCount()) != listedEntries)
		state.SkipWithError("rows are missing");
	countEntries(state);
}

// The first drawing of the visible rows: icons, text laid out and drawn.
void DrawPage(benchmark::State& state)
{
	std::vector<PLAYLIST> playlist = readEntries();
	view->show(playlist, 0);
	for (auto _ : state)
	{
		view->forgetPageLayout();
		view->drawPage();
	}
	if (view->distinctColours() < fewestDrawnColours)
		state.SkipWithError("the page shows no rows");
}

// The whole way: reply text, entries, sort, rows, the first page drawn.
void WholeListing(benchmark::State& state)
{
	for (auto _ : state)
	{
		std::vector<PLAYLIST> playlist;
		eString lastPath;
		if (!readListDocument(document.c_str(), noCdDrive, playlist, lastPath))
		{
			state.SkipWithError("the reply is no list document");
			break;
		}
		view->show(playlist, 0);
		view->drawPage();
	}
	if (size_t(view->rowCount()) != listedEntries || size_t(view->rowsWithIcon()) != listedEntries)
		state.SkipWithError("rows or their icons are missing");
	else if (view->distinctColours() < fewestDrawnColours)
		state.SkipWithError("the page shows no rows");
	state.counters["rows"] = view->rowCount();
	countDocument(state);
}

BENCHMARK(ExpatAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseXml)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadListDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(SortEntries)->Unit(benchmark::kMillisecond);
BENCHMARK(BuildRows)->Unit(benchmark::kMillisecond);
BENCHMARK(DrawPage)->Unit(benchmark::kMillisecond);
BENCHMARK(WholeListing)->Unit(benchmark::kMillisecond);

// Elements directly below the root: the entries a list document brings.
void XMLCALL countChild(void* user, const XML_Char*, const XML_Char**)
{
	auto* depthAndCount = static_cast<std::pair<int, size_t>*>(user);
	if (++depthAndCount->first == 2)
		++depthAndCount->second;
}

void XMLCALL leaveElement(void* user, const XML_Char*)
{
	--static_cast<std::pair<int, size_t>*>(user)->first;
}

size_t entriesIn(const std::string& text)
{
	std::pair<int, size_t> depthAndCount{0, 0};
	XML_Parser parser = XML_ParserCreate(nullptr);
	XML_SetUserData(parser, &depthAndCount);
	XML_SetElementHandler(parser, countChild, leaveElement);
	const bool ok = XML_Parse(parser, text.data(), int(text.size()), 1) == XML_STATUS_OK;
	XML_ParserFree(parser);
	return ok ? depthAndCount.second : 0;
}

bool readFile(const std::string& path, std::string& text)
{
	std::ifstream in(path, std::ios::binary);
	std::ostringstream all;
	all << in.rdbuf();
	text = all.str();
	return bool(in);
}

// A box root with the plugin's pictures, removed at the end of the run.
bool makeBoxRoot(std::string& root)
{
	namespace fs = std::filesystem;
	const char* tmp = getenv("TMPDIR");
	std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/oxle-listing-bench-XXXXXX";
	if (!mkdtemp(pattern.data()))
		return false;
	root = pattern;
	std::error_code error;
	const fs::path pictures = root + OXLE_PICTURES;
	fs::create_directories(pictures, error);
	for (const fs::directory_entry& e : fs::directory_iterator(OXLE_BENCH_PICTURES_DIR, error))
		if (e.path().extension() == ".png")
			fs::copy_file(e.path(), pictures / e.path().filename(), fs::copy_options::overwrite_existing, error);
	return !error;
}
} // namespace

int main(int argc, char** argv)
{
	benchmark::Initialize(&argc, argv);
	// --document=FILE: a reply the real server sent, instead of the one made here.
	std::string documentFile;
	if (argc > 1 && std::strncmp(argv[argc - 1], documentOption, sizeof documentOption - 1) == 0)
		documentFile = argv[--argc] + sizeof documentOption - 1;
	if (benchmark::ReportUnrecognizedArguments(argc, argv))
		return 1;
	if (!documentFile.empty())
	{
		if (!readFile(documentFile, document))
		{
			std::fprintf(stderr, "cannot read %s\n", documentFile.c_str());
			return 1;
		}
		listedEntries = entriesIn(document);
	}
	else
		document = serverReply(folderEntries);
	std::string root;
	if (!makeBoxRoot(root))
	{
		std::fprintf(stderr, "cannot make the box root with the pictures\n");
		return 1;
	}
	setBoxRoot(root);
	DesktopServices::init();
	benchmark::AddCustomContext("document_bytes", std::to_string(document.size()));
	benchmark::AddCustomContext("entries", std::to_string(listedEntries));
	{
		ListingView shared;
		view = &shared;
		benchmark::RunSpecifiedBenchmarks();
		view = nullptr;
	}
	benchmark::Shutdown();
	setBoxRoot("");
	std::error_code ignored;
	std::filesystem::remove_all(root, ignored);
	return 0;
}
