#ifndef OXLE_HOST_EWIDGET_H
#define OXLE_HOST_EWIDGET_H

#include <list>

#include "eAction.h"
#include "eRect.h"
#include "eString.h"
#include "eWidgetEvent.h"
#include "gFont.h"
#include "gPixmap.h"
#include "sigc.h"

class gPainter;

// Base of everything on screen. A widget owns its children: deleting a widget deletes
// its subtree. A widget without a parent is a top-level widget on the OSD.
class eWidget : public SigC::Object
{
public:
	explicit eWidget(eWidget* parent = nullptr, int takefocus = 0);
	virtual ~eWidget();
	eWidget(const eWidget&) = delete;
	eWidget& operator=(const eWidget&) = delete;

	eWidget* getParent() const { return parent; }
	const std::list<eWidget*>& getChildren() const { return children; }
	eWidget* getTLW();

	void show();
	void hide();
	bool isVisible() const; // shown, and every ancestor shown
	bool isShown() const { return shown; }

	void move(ePoint position);
	void resize(eSize size);
	// Client area: the same as the outer area except for decorated windows.
	virtual void cmove(ePoint position);
	virtual void cresize(eSize size);
	ePoint getPosition() const { return position; }
	eSize getSize() const { return size; }
	virtual eSize getClientSize() const { return size; }
	virtual ePoint getClientOffset() const { return ePoint(); }
	ePoint getAbsolutePosition() const;
	eRect getAbsoluteRect() const;

	void setText(const eString& text);
	const eString& getText() const { return text; }
	void setName(const char* name);
	const eString& getName() const { return name; }
	// Depth-first search of the subtree (this widget excluded) by name.
	eWidget* search(const eString& name);

	void setFocus(eWidget* child);
	eWidget* getFocus() const { return focus; }
	bool takesFocus() const { return takefocus != 0; }
	void setHelpText(const eString& text);
	const eString& getHelpText() const { return helptext; }
	void setShortcut(const eString& shortcut);
	const eString& getShortcut() const { return shortcut; }
	virtual void setPixmap(gPixmap* pm);
	gPixmap* getPixmap() const { return pixmap; }
	void addActionMap(eActionMap* map);
	const std::list<eActionMap*>& getActionMaps() const { return actionmaps; }
	void zOrderRaise();
	void zOrderLower();

	void setBackgroundColor(const gColor& color);
	void setForegroundColor(const gColor& color);
	const gColor& getBackgroundColor() const { return backgroundColor; }
	const gColor& getForegroundColor() const { return foregroundColor; }
	void setFont(const gFont& font);
	const gFont& getFont() const { return font; }

	// Runs a modal loop until close() is called on this widget; returns close's value.
	int exec();
	void close(int result);
	bool isExecuting() const { return executing; }

	void invalidate();
	// Named properties set from code or skins; returns 0 when the property is known.
	virtual int setProperty(const eString& prop, const eString& value);

	// Delivers an event to this widget's handler.
	int event(const eWidgetEvent& event) { return eventHandler(event); }

	// Draws this widget (not its children) in absolute screen coordinates.
	virtual void redrawWidget(gPainter* painter, const eRect& area);
	virtual void eraseBackground(gPainter* painter, const eRect& area);

	// Desktop hook: called on the top-level widget when a descendant's help text changes.
	virtual void helpTextChanged(eWidget* source);
	// Desktop hook: called by a window on each of its widgets when the help text of its
	// focused widget (source) is the one to show.
	virtual void focusHelpChanged(eWidget* source);
	// Desktop hook: the journal event a change of this widget's text is, null for none.
	virtual const char* textEvent() const { return nullptr; }

	// Desktop hook: a widget's default class name for journals and snapshots.
	virtual const char* className() const { return "eWidget"; }

protected:
	virtual int eventHandler(const eWidgetEvent& event);
	virtual void willShow() {}
	virtual void willHide() {}
	// A widget that focuses a child gets the actions first; unhandled ones come here.
	int passToFocus(const eWidgetEvent& event);

	eWidget* parent;
	std::list<eWidget*> children;
	eWidget* focus = nullptr;
	int takefocus;
	bool shown = false;
	ePoint position;
	eSize size;
	eString text, name, helptext, shortcut;
	gPixmap* pixmap = nullptr;
	gColor backgroundColor, foregroundColor;
	gFont font;
	std::list<eActionMap*> actionmaps;

private:
	bool executing = false;
	bool closeRequested = false;
	int result = 0;
	bool* destroyedFlag = nullptr;
};

#endif
