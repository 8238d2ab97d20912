#include "TempDir.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

TempDir::TempDir(const std::string& prefix)
{
	const char* tmp = getenv("TMPDIR");
	std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
	if (mkdtemp(pattern.data()))
		dir = pattern;
}

TempDir::~TempDir()
{
	std::error_code ignored;
	if (ok())
		fs::remove_all(dir, ignored);
}

std::string TempDir::file(const std::string& name, const std::string& contents) const
{
	if (!ok())
		return std::string();
	const fs::path target = *this / name;
	std::error_code error;
	fs::create_directories(target.parent_path(), error);
	std::ofstream out(target, std::ios::binary | std::ios::trunc);
	out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
	out.close();
	return !error && out ? target.string() : std::string();
}

std::string TempDir::subdir(const std::string& name) const
{
	if (!ok())
		return std::string();
	std::error_code error;
	fs::create_directories(*this / name, error);
	return error ? std::string() : *this / name;
}

std::string TempDir::read(const std::string& name) const
{
	return ok() ? slurp(*this / name) : std::string();
}

std::string TempDir::slurp(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
