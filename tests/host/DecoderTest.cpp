#include <gtest/gtest.h>

#include <fcntl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Decoder.h"
#include "FdIo.h"
#include "Journal.h"
#include "JournalReader.h"
#include "TempDir.h"
#include "Ts.h"
#include "UniqueFd.h"
#include "VirtualDecoder.h"
#include "WaitUntil.h"

namespace
{
using std::chrono::milliseconds;

const int videoPid = 0x100, audioPid = 0x101, pmtPid = 0x1000;
const int videoId = ts::VIDEO_STREAM_ID, audioId = ts::AUDIO_STREAM_ID;
const int pmtTable = 2;
const size_t pipeCapacity = 1024 * 1024;
const size_t feederBlock = 64 * 1024;
// How long a writer that should stay blocked is watched.
const milliseconds blockedFor(200);

// Writes parts into the FIFO on a thread of its own with blocking writes, as the
// plugin's feeder does; each part through an open and close of its own.
class FifoWriter
{
public:
	FifoWriter(const std::string& fifo, std::vector<std::string> parts)
		: worker([this, fifo, parts = std::move(parts)] {
			  for (const auto& part : parts)
			  {
				  const UniqueFd out(open(fifo.c_str(), O_WRONLY | O_CLOEXEC));
				  for (size_t at = 0; out && at < part.size(); at += feederBlock)
				  {
					  const size_t n = std::min(feederBlock, part.size() - at);
					  if (fdio::writeAll(out.get(), part.data() + at, n) != n)
						  break;
					  written += n;
				  }
			  }
			  finished = true;
		  })
	{
	}
	~FifoWriter() { join(); }
	void join()
	{
		if (worker.joinable())
			worker.join();
	}
	std::atomic<size_t> written{0};
	std::atomic<bool> finished{false};

private:
	std::thread worker;
};

// Video PES of undecodable bytes, bounded audio PES and sections on the PMT PID.
struct Synthetic
{
	ts::Builder ts;
	long long videoPackets = 0, audioPackets = 0, pmtPackets = 0, pesEach = 0;

	explicit Synthetic(int rounds)
	{
		for (int i = 0; i < rounds; ++i, ++pesEach)
		{
			pmtPackets += ts.unit(pmtPid, ts::section(pmtTable));
			videoPackets += ts.unit(videoPid, ts::pes(videoId, std::string(5000 + size_t(i % 7) * 100, char(i))));
			audioPackets +=
				ts.unit(audioPid, ts::pes(audioId, std::string(400, char(i)), ts::NO_TIME, ts::NO_TIME, true));
		}
	}
};

class DecoderTest : public testing::Test
{
protected:
	void SetUp() override
	{
		ASSERT_TRUE(dir.ok());
		ASSERT_TRUE(Journal::instance().open(journal));
		Decoder::parms = decoderParameters();
		Decoder::parms.vpid = videoPid;
		Decoder::parms.apid = audioPid;
		Decoder::Set();
		ASSERT_TRUE(decoder.start(fifo, VirtualDecoder::Pacing::Fast));
	}
	void TearDown() override
	{
		decoder.stop();
		Journal::instance().close();
	}
	TempDir dir;
	const std::string fifo = dir / "pvr";
	const std::string journal = dir / "journal";
	VirtualDecoder& decoder = VirtualDecoder::instance();
};
} // namespace

// Damage is the demultiplexer's test; here the FIFO, writers that come and go, the journal.
TEST_F(DecoderTest, CountsEveryPidExactlyAcrossWriters)
{
	const Synthetic s(100);
	const std::string& sent = s.ts.bytes;
	// The first writer stops in the middle of a packet.
	const size_t cut = sent.size() / 2 + 77;
	FifoWriter writer(fifo, {sent.substr(0, cut), sent.substr(cut)});
	ASSERT_TRUE(waitUntil([&] { return decoder.stats().bytes >= long(sent.size()); }));
	decoder.stop();

	VirtualDecoder::Stats st = decoder.stats();
	EXPECT_EQ(st.bytes, long(sent.size()));
	EXPECT_EQ(st.packets[videoPid], s.videoPackets);
	EXPECT_EQ(st.packets[audioPid], s.audioPackets);
	EXPECT_EQ(st.packets[pmtPid], s.pmtPackets);
	EXPECT_EQ(st.pes[videoPid], s.pesEach);
	EXPECT_EQ(st.pes[audioPid], s.pesEach);
	EXPECT_EQ(st.pes.count(pmtPid), 0u);
	EXPECT_EQ(st.ccErrors, 0);
	// The last journal line tells the same, with the PIDs as decimal keys.
	const auto pvr = JournalReader(journal).all("pvr");
	ASSERT_FALSE(pvr.empty());
	const JournalEvent& last = pvr.back();
	EXPECT_EQ(last["final"], "true");
	EXPECT_EQ(last.number("packets.256"), st.packets[videoPid]);
	EXPECT_EQ(last.number("pes.257"), s.pesEach);
	EXPECT_EQ(last.number("cc_errors"), 0);
}

TEST_F(DecoderTest, PauseHoldsTheWriterUntilResume)
{
	const Synthetic s(400); // twice the pipe and more
	ASSERT_GT(s.ts.bytes.size(), 2 * pipeCapacity);
	Decoder::Pause(1);
	FifoWriter writer(fifo, {s.ts.bytes});
	// The writer fills the pipe and then blocks, as the feeder does on a paused box. (No
	// ASSERT before the resume: the writer would never finish.)
	EXPECT_TRUE(waitUntil([&] { return writer.written >= pipeCapacity / 2; }));
	std::this_thread::sleep_for(blockedFor);
	EXPECT_EQ(decoder.stats().bytes, 0);
	EXPECT_FALSE(writer.finished);
	EXPECT_LE(writer.written, pipeCapacity + feederBlock);

	Decoder::Resume(true);
	writer.join();
	ASSERT_TRUE(waitUntil([&] { return decoder.stats().bytes == long(s.ts.bytes.size()); }));
	decoder.stop();
	EXPECT_EQ(decoder.stats().packets[videoPid], s.videoPackets);
	EXPECT_EQ(decoder.stats().ccErrors, 0);
}
