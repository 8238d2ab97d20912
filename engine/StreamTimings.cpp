#include "StreamTimings.h"

StreamTimings& streamTimings()
{
	static StreamTimings timings;
	return timings;
}

void resetStreamTimings()
{
	streamTimings() = StreamTimings();
}
