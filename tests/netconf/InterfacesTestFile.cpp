#include "InterfacesTestFile.h"

#include <filesystem>
#include <set>

#include "BoxRoot.h"

void InterfacesTest::SetUp()
{
	root = std::make_unique<TempBoxRoot>();
	ASSERT_TRUE(root->ok());
	std::filesystem::create_directories(std::filesystem::path(path()).parent_path());
	setBoxRoot(root->path());
}

void InterfacesTest::TearDown()
{
	setBoxRoot("");
	root.reset();
}

void InterfacesTest::writeInterfaces(const std::string& contents) const
{
	ASSERT_TRUE(root->writeFile(INTERFACES, contents));
}

std::string InterfacesTest::folderListing() const
{
	std::set<std::string> names;
	for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(path()).parent_path()))
		names.insert(entry.path().filename().string());
	std::string out;
	for (const std::string& name : names)
		out += (out.empty() ? "" : " ") + name;
	return out;
}
