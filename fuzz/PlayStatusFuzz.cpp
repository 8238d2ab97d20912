// The plugin's play-status reader. Raw bytes: a refusal leaves the status alone. What
// the server's writer answers to "GTI": every figure and text comes back as written.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "InfobarMath.h"
#include "server/Listing.h"
#include "server/PlayStatus.h"

namespace
{
const std::size_t textBytes = 64;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	FuzzedDataProvider input(data, size);
	PlayStatus status;
	status.time = -7;
	if (input.ConsumeBool())
	{
		if (!readPlayStatus(input.ConsumeRemainingBytesAsString(), status))
			fuzzCheck(status.time == -7 && status.length == 0 && status.position == 0 && status.codec == "unknown" &&
					status.resolution == "unknown",
				"a refused reply leaves the status alone");
		return 0;
	}
	oxle::server::PlayStatus written;
	written.time = input.ConsumeIntegral<int>();
	written.length = input.ConsumeIntegral<int>();
	written.position = input.ConsumeIntegral<int>();
	written.codec = input.ConsumeRandomLengthString(textBytes);
	written.resolution = input.ConsumeRemainingBytesAsString();
	if (!oxle::server::Listing::representable(written.codec) ||
		!oxle::server::Listing::representable(written.resolution))
		return 0;
	fuzzCheck(readPlayStatus(written.document(), status), "the server's answer reads");
	fuzzCheck(status.time == written.time && status.length == written.length && status.position == written.position,
		"the figures come back");
	fuzzCheck(status.codec == written.codec && status.resolution == written.resolution, "the texts come back");
	return 0;
}
