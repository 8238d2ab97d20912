// Path confinement on any path below a scratch folder that holds the shared root, a
// sibling whose name extends the root's, and an outside folder, with links that stay
// in, lead out and loop: a path is let in exactly when it resolves inside the root.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzCheck.h"
#include "server/PathGuard.h"

namespace
{
struct Tree
{
	std::string base, root;
	oxle::server::PathGuard guard;

	Tree()
	{
		char folder[] = "/tmp/oxle-fuzz-paths-XXXXXX";
		fuzzCheck(mkdtemp(folder) != nullptr, "a scratch folder");
		base = folder;
		for (const char* dir : {"/root", "/root/sub", "/root2", "/outside"})
			mkdir((base + dir).c_str(), 0755);
		for (const char* file : {"/root/a.ts", "/root/sub/b.ts", "/root2/c.ts", "/outside/secret"})
			std::ofstream(base + file) << "x";
		symlink("sub", (base + "/root/in").c_str());
		symlink("../outside", (base + "/root/out").c_str());
		symlink((base + "/root2").c_str(), (base + "/root/sibling").c_str());
		symlink("../root/sub/b.ts", (base + "/root2/back").c_str());
		symlink("loop", (base + "/root/loop").c_str());
		char* real = realpath((base + "/root").c_str(), nullptr);
		root = real ? real : "";
		free(real);
		std::string error;
		fuzzCheck(oxle::server::PathGuard::create({base + "/root"}, guard, error), "the guard takes the root");
	}
	~Tree() { std::filesystem::remove_all(base); }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	static const Tree tree;
	const std::string input(reinterpret_cast<const char*>(data), size);
	const std::string path = tree.base + "/" + input;
	std::string canonical = "?", why;
	const bool accepted = tree.guard.resolve(path, canonical, why);
	char* real = realpath(path.c_str(), nullptr);
	const std::string resolved = real ? real : "";
	free(real);
	const bool inside =
		!resolved.empty() && (resolved == tree.root || resolved.compare(0, tree.root.size() + 1, tree.root + "/") == 0);
	fuzzCheck(accepted == inside, "let in exactly when it resolves inside the root");
	fuzzCheck(accepted ? canonical == resolved : canonical == "?", "the answer is the resolved path, or nothing");

	if (oxle::server::PathGuard::isRootsView(input) && input.back() != '/')
		fuzzCheck(oxle::server::PathGuard::isRootsView(input + "/.."), "a further /.. stays the roots view");
	return 0;
}
