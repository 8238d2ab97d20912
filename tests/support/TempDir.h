#ifndef OXLE_TESTS_SUPPORT_TEMPDIR_H
#define OXLE_TESTS_SUPPORT_TEMPDIR_H

#include <string>

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it when the object
// goes. Names may hold slashes; the folders on the way are made as needed. Failures give an
// empty path (or an empty read), so that the test's own assertion names what is missing.
class TempDir
{
public:
	explicit TempDir(const std::string& prefix = "oxle-test");
	~TempDir();
	TempDir(const TempDir&) = delete;
	TempDir& operator=(const TempDir&) = delete;
	// The folder goes with the object it moved to.
	TempDir(TempDir&& other) noexcept : dir(std::move(other.dir)) { other.dir.clear(); }

	bool ok() const { return !dir.empty(); }
	const std::string& path() const { return dir; }
	// Where name is (or would be); nothing is made. Empty without a folder, so that
	// nothing lands at the file system's root.
	std::string operator/(const std::string& name) const { return ok() ? dir + "/" + name : std::string(); }

	// Writes contents to name and returns its path.
	std::string file(const std::string& name, const std::string& contents = std::string()) const;
	std::string subdir(const std::string& name) const;
	std::string read(const std::string& name) const;
	// Any file, whole; empty when it cannot be read.
	static std::string slurp(const std::string& path);

private:
	std::string dir;
};

#endif
