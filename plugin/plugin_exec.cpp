// The plugin's one entry: the host calls it and gets control back when the viewer
// (or the timer-list guard) closes the main window.
#include "eOXLE.h"

extern "C" __attribute__((visibility("default"))) int plugin_exec()
{
	eOXLE window;
	window.show();
	window.exec();
	window.hide();
	return 0;
}
