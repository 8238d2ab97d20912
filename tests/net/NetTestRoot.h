#ifndef OXLE_TESTS_NET_NETTESTROOT_H
#define OXLE_TESTS_NET_NETTESTROOT_H

class TempBoxRoot;

// The box root every test of the command channel runs in (set up in NetTestMain.cpp).
TempBoxRoot& netTestRoot();

#endif
