#ifndef OXLE_HOST_ELABEL_H
#define OXLE_HOST_ELABEL_H

#include "eDecoWidget.h"

class eTextPara;

// Text or a picture. Properties: "align" (left/center/right), "vcenter", "wrap" (on),
// "alphatest" (on: transparent pixels of the picture show what lies below),
// "backgroundColor"/"foregroundColor" (skin colour names), "font" (skin font name),
// "text".
class eLabel : public eDecoWidget
{
public:
	explicit eLabel(eWidget* parent = nullptr, int flags = 0, int takefocus = 0, const char* decoration = "eLabel");
	~eLabel() override;

	int setProperty(const eString& prop, const eString& value) override;
	void setBlitFlags(int blit) { blitFlags = blit; }
	int getBlitFlags() const { return blitFlags; }
	void setShortcutPixmap(const eString& name);
	void setAlign(int textAlign) { align = textAlign; }

	void redrawWidget(gPainter* painter, const eRect& area) override;
	void eraseBackground(gPainter* painter, const eRect& area) override;
	const char* className() const override { return "eLabel"; }

	enum
	{
		flagVCenter = 4,
		flagWrap = 16
	};

protected:
	int flags;
	int align = 0;
	int blitFlags = 0;
	bool alphatest = false;
	gPixmap* shortcutPixmap = nullptr;
};

#endif
