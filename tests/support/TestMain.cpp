// The main of every in-process test binary on the desktop host.
#include "HostTestEnv.h"

int main(int argc, char** argv)
{
	return HostTestEnv::main(argc, argv);
}
