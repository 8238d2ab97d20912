#ifndef OXLE_HOST_EWIDGETEVENT_H
#define OXLE_HOST_EWIDGETEVENT_H

class eAction;

struct eWidgetEvent
{
	enum eventType
	{
		evtKey = 0,
		willShow = 1,
		willHide = 2,
		gotFocus = 3,
		lostFocus = 4,
		changedText = 5,
		changedFont = 6,
		changedForegroundColor = 7,
		changedBackgroundColor = 8,
		changedSize = 9,
		changedPosition = 10,
		changedPixmap = 11,
		childChangedHelpText = 12,
		execBegin = 13,
		execDone = 14,
		evtAction = 15,
		wantClose = 16
	};

	int type;
	int parameter = 0;
	const eAction* action = nullptr;

	explicit eWidgetEvent(int t, int param = 0) : type(t), parameter(param) {}
	eWidgetEvent(int t, const eAction* a) : type(t), action(a) {}
};

#endif
