// The stream window: file types by extension and the window's text.
#include <string>

#include <gtest/gtest.h>

#include "WindowsTestHost.h"
#include "eLabel.h"
#include "eOXLEStream.h"
#include "oxleGlobals.h"

struct eOXLEStreamTestAccess
{
	static eLabel* label(eOXLEStream& w) { return w.label; }
	static eListBox<eListBoxEntryText>* listbox(eOXLEStream& w) { return w.listbox; }
};
using A = eOXLEStreamTestAccess;

namespace
{
TEST(StreamWindow, FileTypesByExtension)
{
	struct Case
	{
		const char *name, *description;
	};
	const Case cases[] = {
		{"film.divx", " - DivX / XVID"},
		{"film.AVI", " - DivX / XVID"},
		{"a.b.xvid", " - DivX / XVID"},
		{"script.avs", " - AviSyth"},
		{"clip.mpeg", " - MPEG - Layer 1/2"},
		{"clip.Mp2v", " - MPEG - Layer 1/2"},
		{"AVSEQ01.DAT", " - MPEG - Layer 1/2"},
		{"x.asf", " - Advanced Streaming Format"},
		{"x.wmv", " - Windows Media Video"},
		{"rec.ts", " - Transport Stream"},
		{"VTS_01_1.VOB", " - Video Object"},
		{"song.ogg", " - Music for the Masses"},
		{"song.wma", " - Music for the Masses"},
		{"disc.iso", " - Binary Video Format"},
		{"Playlist End", "PLAYLIST END - Not registered, yet."},
		{"name.", " - Not registered, yet."},
		{"movie.mkv", "MKV - Not registered, yet."},
		{"archive.tar.gz", "GZ - Not registered, yet."},
		{"clip.mpgx", "MPGX - Not registered, yet."}, // compared whole, not as a prefix
		{"Play Chapter (if it exists) 07", "PLAY CHAPTER (IF IT EXISTS) 07 - Not registered, yet."},
		{"", " - Not registered, yet."},
	};
	for (const Case& c : cases)
		EXPECT_EQ(fileTypeDescription(c.name), c.description) << c.name;
}

TEST(StreamWindow, TextNamesBothStreamsWithTheirTypes)
{
	loadFile = "film.divx";
	nextFile = "Playlist End";
	eOXLEStream w;
	EXPECT_EQ(w.getText(), "StreamInfo");
	const std::string text = A::label(w)->getText();
	const std::string head = "OXLE 2.0.0\n\n\nStream 1:\tfilm.divx\n\nFiletype:\t - DivX / XVID\n\n\n"
							 "Stream 2:\tPlaylist End\n\nFiletype:\tPLAYLIST END - Not registered, yet.\n\n\n";
	EXPECT_EQ(text.substr(0, head.size()), head);
	EXPECT_GT(text.size(), head.size()) << "no contact and credit lines";
	EXPECT_EQ(A::label(w)->getSize(), eSize(600, 400));
	ASSERT_EQ(A::listbox(w)->getCount(), 1);
	EXPECT_EQ(A::listbox(w)->getSize(), eSize(1, 1));

	// A name with a "%" is shown as it is.
	loadFile = "100%.avi";
	eOXLEStream percent;
	EXPECT_NE(std::string(A::label(percent)->getText()).find("Stream 1:\t100%.avi\n"), std::string::npos);
}
} // namespace
