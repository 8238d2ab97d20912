#include "BoxOptions.h"
#include "BoxRunner.h"

int main(int argc, char** argv)
{
	BoxOptions options;
	switch (options.parse(argc, argv))
	{
	case BoxOptions::Parsed::Done:
		return 0;
	case BoxOptions::Parsed::Bad:
		return BoxRunner::badInputExitCode;
	case BoxOptions::Parsed::Run:
		break;
	}
	BoxRunner runner(options);
	return runner.run();
}
