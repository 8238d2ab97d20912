#include <gtest/gtest.h>

#include "TextParaImpl.h"
#include "eTextPara.h"

namespace
{
const gFont regular("Regular", 20);
const char* const longText = "The quick brown fox jumps over the lazy dog and keeps on running far away";
} // namespace

TEST(eTextPara, WrapKeepsWordsInsideTheWidth)
{
	const eRect area(0, 0, 200, 400);
	eTextPara wrapped(area);
	wrapped.setFont(regular);
	wrapped.renderString(longText, eTextPara::RS_WRAP);
	const eRect box = wrapped.getBoundBox();
	EXPECT_GE(box.left(), -2); // a glyph may ink a pixel left of its pen
	EXPECT_LE(box.right(), area.right());
	EXPECT_GT(box.height(), 3 * regular.pointSize);
	EXPECT_GE(wrapped.impl()->lines.size(), 4u);

	eTextPara single(area);
	single.setFont(regular);
	single.renderString(longText);
	EXPECT_GT(single.getBoundBox().right(), area.right());
	EXPECT_LT(single.getBoundBox().height(), 2 * regular.pointSize);
}

TEST(eTextPara, AWordWiderThanTheAreaBreaksBetweenLetters)
{
	eTextPara para(eRect(0, 0, 60, 400));
	para.setFont(regular);
	para.renderString("Supercalifragilistic", eTextPara::RS_WRAP);
	EXPECT_LE(para.getBoundBox().right(), 60);
	EXPECT_GE(para.impl()->lines.size(), 3u);
}

TEST(eTextPara, LinesTabsAndBoundingBoxes)
{
	struct Case
	{
		const char* text;
		size_t lines;
		bool inked;
	};
	const Case cases[] = {
		{"", 1, false}, {"   ", 1, false}, {"one", 1, true}, {"one\ntwo", 2, true}, {"a\n\nb", 3, true},
		{"Stream 1:\tname", 1, true},
		{"Gr\xc3\xb6\xc3\x9f"
		 "e",
			1, true}, // UTF-8
		{"Gr\xf6\xdf"
		 "e \xff\xfe",
			1, true}, // Latin-1 bytes still show something
	};
	for (const Case& c : cases)
	{
		eTextPara para(eRect(10, 20, 300, 200));
		para.setFont(regular);
		para.renderString(c.text);
		EXPECT_EQ(para.impl()->lines.size(), c.lines) << c.text;
		const eRect box = para.getBoundBox();
		EXPECT_EQ(!box.isNull(), c.inked) << c.text;
		if (c.inked)
		{
			// Relative to the paragraph's own coordinates: inside the area's rows.
			EXPECT_GE(box.left(), 10) << c.text;
			EXPECT_GE(box.top(), 20) << c.text;
		}
	}
}

TEST(eTextPara, DecodeUtf8)
{
	const std::vector<uint32_t> cps = decodeUtf8("A\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\xc3");
	const std::vector<uint32_t> want = {'A', 0xe9, 0x20ac, 0x1f600, 0xc3};
	EXPECT_EQ(cps, want);
}
