#ifndef OXLE_DESKTOP_VIRTUALDECODER_H
#define OXLE_DESKTOP_VIRTUALDECODER_H

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

class AudioOutput;

// The desktop's stand-in for the box's MPEG decoder behind /dev/pvr. A thread reads
// transport stream from a FIFO, demultiplexes the programmed PIDs, decodes them and
// hands decoded pictures to a frame sink. Decoder::Set/Pause/Resume/Flush forward here.
class VirtualDecoder
{
public:
	enum class Pacing
	{
		Realtime, // reads paced by the stream's PCR, as a hardware decoder drains its buffer
		Fast      // reads as fast as the writer writes
	};

	struct Stats
	{
		long long bytes = 0;
		std::map<int, long long> packets; // per PID
		std::map<int, long long> pes;     // PES starts per PID
		long long ccErrors = 0;
		long long videoFrames = 0;
		long long audioFrames = 0;
		long long decodeErrors = 0;
		// Pictures and audio frames since the last setPids() or flush().
		long long framesSinceReset = 0;
	};

	// A decoded picture as 32-bit ARGB, any size; the sink scales it to the screen.
	struct Frame
	{
		int width = 0, height = 0;
		const uint32_t* argb = nullptr;
	};
	// Called on the decoder's thread, and on the caller's thread for showStill(); the
	// pixels are valid during the call only.
	using FrameSink = std::function<void(const Frame&)>;

	static VirtualDecoder& instance();

	// Creates the FIFO at fifoPath when missing and starts the reader thread.
	bool start(const std::string& fifoPath, Pacing pacing);
	// Ends the reader thread; writes the final "pvr" journal line.
	void stop();

	void setPids(int vpid, int apid, int audioType);
	void pause();
	void resume();
	void flush();
	Stats stats() const;
	void setFrameSink(FrameSink sink);
	// Where decoded sound goes (null: nowhere). Pause, resume and flush act on it too.
	void setAudioOutput(std::shared_ptr<AudioOutput> output);

	// Decodes the first picture of an MPEG-2 elementary-stream still and shows it.
	bool showStill(const std::string& path);

	struct Impl;

private:
	VirtualDecoder();
	~VirtualDecoder();
	std::unique_ptr<Impl> d;
};

#endif
