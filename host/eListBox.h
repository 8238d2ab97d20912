#ifndef OXLE_HOST_ELISTBOX_H
#define OXLE_HOST_ELISTBOX_H

#include <list>

#include "eDecoWidget.h"

class eListBoxBase;
class eTextPara;
class gPainter;

// One row of a list box. Rows belong to the list box they were appended to.
class eListBoxEntry
{
public:
	explicit eListBoxEntry(eListBoxBase* parent, const eString& helptext = " ");
	virtual ~eListBoxEntry();
	virtual bool operator<(const eListBoxEntry& other) const;
	virtual int eventHandler(const eWidgetEvent& event);
	virtual const eString& redraw(gPainter* painter, const eRect& rect, gColor activeBackground,
		gColor activeForeground, gColor normalBackground, gColor normalForeground, int highlight) = 0;
	const eString& getHelpText() const { return helptext; }

protected:
	// Fills the row's background in the active or normal colour.
	void drawEntryRect(gPainter* painter, const eRect& rect, gColor activeBackground, gColor activeForeground,
		gColor normalBackground, gColor normalForeground, int highlight);
	eListBoxBase* listbox;
	eString helptext;
};

class eListBoxEntryText : public eListBoxEntry
{
public:
	eListBoxEntryText(eListBoxBase* parent, const char* text = nullptr, void* key = nullptr, int align = 0,
		const eString& helptext = " ");
	eListBoxEntryText(
		eListBoxBase* parent, const eString& text, void* key = nullptr, int align = 0, const eString& helptext = " ");
	~eListBoxEntryText() override;
	bool operator<(const eListBoxEntry& other) const override;
	const eString& redraw(gPainter* painter, const eRect& rect, gColor activeBackground, gColor activeForeground,
		gColor normalBackground, gColor normalForeground, int highlight) override;
	virtual const eString& getText() const { return text; }
	void* getKey() const { return key; }
	// Height of a text row in the active skin's list font.
	static int getEntryHeight();

protected:
	eString text;
	void* key;
	int align;
	eTextPara* para = nullptr;
	int yOffs = 0;
};

// A scrolling list of rows; Up/Down move the current row, OK selects it.
class eListBoxBase : public eDecoWidget
{
public:
	eListBoxBase(eWidget* parent, int ownEntryHeight = 0, int takefocus = 1, const char* decoration = "eListBox");
	~eListBoxBase() override;

	// holdCurrent keeps the current row; noInvalidate skips the redraw.
	void append(eListBoxEntry* entry, bool holdCurrent = false, bool noInvalidate = false);
	// Removes a row without deleting it; the caller owns it afterwards.
	void take(eListBoxEntry* entry);
	void clearList();
	void beginAtomic();
	void endAtomic();
	void setCurrent(eListBoxEntry* entry, bool sendSelected = false);
	eListBoxEntry* getCurrentEntry() const;
	int getCount() const { return int(entries.size()); }
	const std::list<eListBoxEntry*>& getEntries() const { return entries; }
	int getEntryHeightOwn() const { return entryHeight; }
	int getTop() const { return top; }

	void redrawWidget(gPainter* painter, const eRect& area) override;
	const char* className() const override { return "eListBox"; }

protected:
	int eventHandler(const eWidgetEvent& event) override;
	virtual void SendSelected(eListBoxEntry* entry) = 0;
	virtual void SendSelChanged(eListBoxEntry* entry) = 0;
	void moveSelection(int delta);
	int visibleRows() const;
	void changed();

	std::list<eListBoxEntry*> entries;
	std::list<eListBoxEntry*>::iterator current;
	int entryHeight;
	int top = 0;
	int atomic = 0;
	bool atomicSelChanged = false;
};

template <class T> class eListBox : public eListBoxBase
{
public:
	explicit eListBox(
		eWidget* parentWidget, int ownEntryHeight = 0, int focusable = 1, const char* decorationName = "eListBox")
		: eListBoxBase(parentWidget, ownEntryHeight, focusable, decorationName)
	{
	}
	T* getCurrent() const { return static_cast<T*>(getCurrentEntry()); }

	SigC::Signal1<void, T*> selected;
	SigC::Signal1<void, T*> selchanged;

protected:
	void SendSelected(eListBoxEntry* entry) override { selected.emit(static_cast<T*>(entry)); }
	void SendSelChanged(eListBoxEntry* entry) override { selchanged.emit(static_cast<T*>(entry)); }
};

#endif
