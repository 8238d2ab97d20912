#ifndef OXLE_TESTS_NETCONF_INTERFACESTESTFILE_H
#define OXLE_TESTS_NETCONF_INTERFACESTESTFILE_H

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "TempBoxRoot.h"

// Every interfaces test runs in a throw-away box root, so that the entry points that
// work on the box's /etc/network/interfaces find the test's file there.
class InterfacesTest : public ::testing::Test
{
protected:
	static constexpr const char* INTERFACES = "/etc/network/interfaces";

	void SetUp() override;
	void TearDown() override;

	// The desktop path of the box's interfaces file.
	std::string path() const { return root->file(INTERFACES); }
	void writeInterfaces(const std::string& contents) const;
	std::string readInterfaces() const { return root->readFile(INTERFACES); }
	// Names in the folder of the interfaces file, sorted, joined by spaces.
	std::string folderListing() const;

	std::unique_ptr<TempBoxRoot> root;
};

#endif
