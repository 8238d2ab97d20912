#include "RootSeeder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "eConfig.h"
#include "eDebug.h"

namespace fs = std::filesystem;

const char* const RootSeeder::interfacesSample = "auto lo\n"
												 "iface lo inet loopback\n"
												 "\n"
												 "auto eth0\n"
												 "iface eth0 inet static\n"
												 "\taddress 127.0.0.20\n"
												 "\tnetmask 255.0.0.0\n"
												 "\tgateway 127.0.0.1\n";
const char* const RootSeeder::serverIpKey = "/enigma/plugins/oxle/serverip";
const char* const RootSeeder::serverIpDefault = "127.0.0.1";

namespace
{
const char* const picturesDir = "/var/tuxbox/config/enigma/pictures/oxle";
const char* const interfacesFile = "/etc/network/interfaces";
const char* const showiframePath = "/var/bin/showiframe";
// Folders the plugin and the host write into; dev/ receives the decoder's FIFO.
const char* const boxDirs[] = {"/var/tuxbox/config/enigma", "/etc/network", "/var/bin", "/var/etc", "/var/run", "/dev"};
// The pictures folder holds PNG pictures and the MPEG still of the background; the
// data folder also keeps the script that draws them, which has no place on a box.
const char* const pictureTypes[] = {".png", ".mvi"};

bool isPicture(const fs::path& file)
{
	for (const char* type : pictureTypes)
		if (file.extension() == type)
			return true;
	return false;
}
} // namespace

RootSeeder::RootSeeder(std::string root_, std::string dataDir_, std::string showiframeTool_)
	: root(std::move(root_)), dataDir(std::move(dataDir_)), showiframeTool(std::move(showiframeTool_))
{
}

bool RootSeeder::prepareRoot(const std::string& requested, std::string& out, std::string& error)
{
	std::string dir = requested;
	if (dir.empty())
	{
		const char* env = std::getenv("OXLE_BOX_ROOT");
		if (env && *env)
			dir = env;
	}
	std::error_code ec;
	if (dir.empty())
	{
		fs::path base = fs::temp_directory_path(ec);
		if (ec)
			base = "/tmp";
		std::string templ = (base / "oxle-box-XXXXXX").string();
		if (!mkdtemp(templ.data()))
		{
			error = "cannot create a temporary box root in " + base.string();
			return false;
		}
		dir = templ;
	}
	fs::create_directories(dir, ec);
	if (ec || !fs::is_directory(dir, ec))
	{
		error = "cannot create the box root \"" + dir + "\"" + (ec ? ": " + ec.message() : "");
		return false;
	}
	out = fs::absolute(dir, ec).lexically_normal().string();
	if (ec)
		out = dir;
	// A trailing slash would double the one every box path starts with.
	while (out.size() > 1 && out.back() == '/')
		out.pop_back();
	return true;
}

bool RootSeeder::makeDir(const std::string& boxDir, std::string& error)
{
	std::error_code ec;
	fs::path p = root + boxDir;
	fs::create_directories(p, ec);
	if (ec || !fs::is_directory(p))
	{
		error = "cannot create \"" + p.string() + "\"" + (ec ? ": " + ec.message() : "");
		return false;
	}
	return true;
}

bool RootSeeder::copyPictures(std::string& error)
{
	if (!makeDir(picturesDir, error))
		return false;
	std::error_code ec;
	fs::path source = fs::path(dataDir) / "pictures";
	if (!fs::is_directory(source, ec))
	{
		eWarning("oxle-box: no pictures at %s", source.c_str());
		return true;
	}
	fs::path target = root + picturesDir;
	for (const fs::directory_entry& entry : fs::directory_iterator(source, ec))
	{
		if (!entry.is_regular_file() || !isPicture(entry.path()))
			continue;
		fs::path to = target / entry.path().filename();
		if (fs::exists(to))
			continue;
		fs::copy_file(entry.path(), to, fs::copy_options::skip_existing, ec);
		if (ec)
		{
			error = "cannot copy \"" + entry.path().string() + "\" to \"" + to.string() + "\": " + ec.message();
			return false;
		}
	}
	if (ec)
	{
		error = "cannot list \"" + source.string() + "\": " + ec.message();
		return false;
	}
	return true;
}

bool RootSeeder::writeInterfaces(std::string& error)
{
	fs::path p = root + interfacesFile;
	std::error_code ec;
	if (fs::exists(p, ec))
		return true;
	std::ofstream out(p, std::ios::binary);
	out << interfacesSample;
	out.close();
	if (!out)
	{
		error = "cannot write \"" + p.string() + "\"";
		return false;
	}
	return true;
}

bool RootSeeder::copyShowiframe(std::string& error)
{
	fs::path to = root + showiframePath;
	std::error_code ec;
	if (fs::exists(to, ec))
		return true;
	if (showiframeTool.empty() || !fs::is_regular_file(showiframeTool, ec))
	{
		eWarning("oxle-box: showiframe tool not built (%s); background pictures will not show",
			showiframeTool.empty() ? "no target" : showiframeTool.c_str());
		return true;
	}
	fs::copy_file(showiframeTool, to, fs::copy_options::skip_existing, ec);
	if (!ec)
		fs::permissions(to,
			fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
				fs::perms::others_exec,
			ec);
	if (ec)
	{
		error = "cannot install showiframe at \"" + to.string() + "\": " + ec.message();
		return false;
	}
	return true;
}

bool RootSeeder::seedFiles(std::string& error)
{
	for (const char* dir : boxDirs)
		if (!makeDir(dir, error))
			return false;
	return copyPictures(error) && writeInterfaces(error) && copyShowiframe(error);
}

void RootSeeder::seedConfig()
{
	eConfig* config = eConfig::getInstance();
	int asInt = 0;
	char* asText = nullptr;
	bool present = config->getKey(serverIpKey, asInt) == 0;
	if (config->getKey(serverIpKey, asText) == 0)
	{
		present = true;
		free(asText);
	}
	if (!present)
		config->setKey(serverIpKey, serverIpDefault);
}
