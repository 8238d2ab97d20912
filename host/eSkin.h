#ifndef OXLE_HOST_ESKIN_H
#define OXLE_HOST_ESKIN_H

#include "eString.h"
#include "gFont.h"
#include "gPixmap.h"

class eWidget;

// The active look: named colours, fonts, integer values, images and element layouts.
// A name the skin lacks gives one warning and a usable fallback.
class eSkin
{
public:
	static eSkin* getActive();
	virtual ~eSkin() = default;

	virtual gColor queryColor(const eString& name) = 0;
	virtual gFont queryFont(const eString& name) = 0;
	// The skin keeps the image; null when the skin has none of that name.
	virtual gPixmap* queryImage(const eString& name) = 0;
	virtual int queryValue(const eString& name, int defaultValue) = 0;
	// Builds the named element into widget: existing children found by name are placed,
	// missing ones created. Returns 0 on success, non-zero when the skin lacks it.
	virtual int build(eWidget* widget, const char* name) = 0;
};

#endif
