// The shared desktop host library is the sum of its pieces; this unit only gives the
// library a translation unit of its own.
extern "C" int oxle_host_version()
{
	return 1;
}
