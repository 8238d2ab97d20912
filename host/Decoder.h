#ifndef OXLE_HOST_DECODER_H
#define OXLE_HOST_DECODER_H

// The hardware decoder's programming record. Fields in their fixed order: video PID,
// audio PID, teletext PID, PCR PID, PMT PID, audio type (0 MPEG audio, 1 AC-3 in
// private stream 1, 3 AC-3 from a DVD source). -1 means none.
struct decoderParameters
{
	int vpid = -1;
	int apid = -1;
	int tpid = -1;
	int pcrpid = -1;
	int pmtpid = -1;
	int audio_type = 0;
};

class Decoder
{
public:
	static decoderParameters parms;
	// Applies parms to the decoder.
	static int Set();
	static void Flush(int keepPids);
	static void flushBuffer();
	static void flushClipBuffer();
	static void Pause(int mode);
	static void Resume(bool unmute);
	// Pictures and audio frames decoded since the last Set() or Flush(): still 0 after
	// seconds of data means the data is nothing the decoder can play.
	static long long decodedFrames();
};

#endif
