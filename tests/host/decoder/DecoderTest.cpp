#include "Decoder.h"
#include "DecoderTestSupport.h"
#include "Journal.h"
#include "TsBuilder.h"
#include "VirtualDecoder.h"

#include <gtest/gtest.h>

namespace
{
class DecoderTest : public ::testing::Test
{
protected:
	TempDir dir;
	std::string fifo = dir / "pvr";
	std::string journal = dir / "journal";
	VirtualDecoder& virt = VirtualDecoder::instance();

	void SetUp() override
	{
		Decoder::parms = decoderParameters();
		ASSERT_TRUE(Journal::instance().open(journal));
	}
	void TearDown() override
	{
		virt.stop();
		Journal::instance().close();
	}
	void play(const std::vector<uint8_t>& ts)
	{
		long long before = virt.stats().bytes;
		FifoWriter writer(fifo, {ts});
		ASSERT_TRUE(waitFor([&] { return virt.stats().bytes >= before + long(ts.size()); }));
	}
};
} // namespace

TEST_F(DecoderTest, EveryCallLeavesAJournalLineWithTheParameters)
{
	Decoder::parms.vpid = 0x100;
	Decoder::parms.apid = 0x101;
	Decoder::parms.audio_type = 3;
	Decoder::flushClipBuffer();
	Decoder::flushBuffer();
	Decoder::Flush(0);
	Decoder::Set();
	Decoder::Pause(1);
	Decoder::Resume(true);
	Journal::instance().close();

	const std::vector<std::string> ops = {"flushClipBuffer", "flushBuffer", "flush", "set", "pause", "resume"};
	std::vector<nlohmann::json> lines;
	for (const nlohmann::json& l : journalLines(journal))
		if (l["ev"] == "decoder")
			lines.push_back(l);
	ASSERT_EQ(lines.size(), ops.size());
	for (size_t i = 0; i < ops.size(); ++i)
	{
		EXPECT_EQ(lines[i]["op"], ops[i]);
		EXPECT_EQ(lines[i]["vpid"], 0x100);
		EXPECT_EQ(lines[i]["apid"], 0x101);
		EXPECT_EQ(lines[i]["atype"], 3);
	}
}

TEST_F(DecoderTest, SetProgramsThePidsTheDecoderPlays)
{
	const std::string& media = TestMedia::mpeg2Mp2();
	ASSERT_FALSE(media.empty());
	std::vector<uint8_t> ts = readFile(media);
	struct Case
	{
		int vpid, apid;
		bool plays;
	};
	for (const Case& c : {Case{0x300, 0x301, false}, Case{0x100, 0x101, true}})
	{
		SCOPED_TRACE(c.vpid);
		ASSERT_TRUE(virt.start(fifo, VirtualDecoder::Pacing::Fast));
		// As the plugin starts a stream: flushes, then Set with the PIDs it found.
		Decoder::flushClipBuffer();
		Decoder::flushBuffer();
		Decoder::Flush(0);
		Decoder::parms.vpid = c.vpid;
		Decoder::parms.apid = c.apid;
		Decoder::parms.audio_type = 0;
		Decoder::Set();
		play(ts);
		virt.stop();
		if (c.plays)
		{
			EXPECT_GE(virt.stats().videoFrames, 48);
			EXPECT_GT(virt.stats().audioFrames, 0);
		}
		else
		{
			EXPECT_EQ(virt.stats().videoFrames, 0);
			EXPECT_EQ(virt.stats().audioFrames, 0);
		}
	}
}

TEST_F(DecoderTest, PauseHoldsTheWriterUntilResume)
{
	TsBuilder b;
	std::vector<uint8_t> es(1000, 0x11);
	while (b.out.size() < 3u * 1024 * 1024)
		b.pes(0x100, 0xE0, es, -1, -1, false);
	ASSERT_TRUE(virt.start(fifo, VirtualDecoder::Pacing::Fast));
	Decoder::Pause(1);
	FifoWriter writer(fifo, {b.out}, 64 * 1024);
	ASSERT_TRUE(waitFor([&] { return writer.written() > 0; }));
	std::this_thread::sleep_for(std::chrono::milliseconds(200));
	EXPECT_FALSE(writer.done());
	EXPECT_EQ(virt.stats().bytes, 0);
	Decoder::Resume(true);
	writer.join();
	EXPECT_TRUE(writer.ok());
	EXPECT_TRUE(waitFor([&] { return virt.stats().bytes == long(b.out.size()); }));
}
