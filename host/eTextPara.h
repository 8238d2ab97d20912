#ifndef OXLE_HOST_ETEXTPARA_H
#define OXLE_HOST_ETEXTPARA_H

#include <memory>

#include "eRect.h"
#include "eString.h"
#include "gFont.h"

// A laid-out paragraph of text. The area bounds wrapping when RS_WRAP is asked for;
// otherwise a line runs past the area's right edge.
class eTextPara
{
public:
	enum
	{
		RS_WRAP = 1,
		RS_DIRECT = 2,
		RS_FADE = 4
	};

	explicit eTextPara(eRect area);
	~eTextPara();
	eTextPara(const eTextPara&) = delete;
	eTextPara& operator=(const eTextPara&) = delete;

	void setFont(const gFont& font);
	int renderString(const eString& text, int flags = 0);
	// Box of the inked glyphs relative to the paragraph's origin.
	eRect getBoundBox();
	eRect getArea() const { return area; }

	struct Impl;
	Impl* impl() const { return d.get(); }

private:
	eRect area;
	std::unique_ptr<Impl> d;
};

#endif
