#ifndef OXLE_TESTS_E2E_MEDIATREE_H
#define OXLE_TESTS_E2E_MEDIATREE_H

#include <string>

// A folder tree on the "PC" that a test builds for the server to share, removed with
// everything in it at the end.
class MediaTree
{
public:
	MediaTree();
	~MediaTree();
	MediaTree(const MediaTree&) = delete;
	MediaTree& operator=(const MediaTree&) = delete;

	bool ok() const { return !root.empty(); }
	const std::string& path() const { return root; }
	// The absolute path of a name below the root.
	std::string operator/(const std::string& name) const { return root + "/" + name; }

	// Makes a folder (and its parents) below the root.
	bool addDir(const std::string& name) const;
	// Writes a small file below the root.
	bool addFile(const std::string& name, const std::string& contents = "not really media") const;

	// A test clip made with ffmpeg: a test picture and a tone, seconds long.
	enum class Clip
	{
		Mpeg2Ts, // MPEG-2 video and MPEG-1 layer II audio in a transport stream
		H264Mp4, // H.264 video and AAC audio in MP4
	};
	// false with the encoder's complaint in error when ffmpeg failed.
	bool addClip(const std::string& name, Clip kind, int seconds, std::string& error) const;

private:
	std::string root;
};

#endif
