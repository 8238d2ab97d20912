#ifndef OXLE_DESKTOP_GUIJOURNAL_H
#define OXLE_DESKTOP_GUIJOURNAL_H

class eWidget;
class eListBoxBase;

// The journal lines the widgets write.
namespace GuiJournal
{
// {"ev":"window","op":op,"class":…,"x":…,"y":…} for a top-level widget; x and y are
// the client area's position, the one the widget's owner places with cmove.
void window(const char* op, const eWidget* w);
// {"ev":"list","rows":[…],"current":index or -1}.
void list(eListBoxBase* list);
} // namespace GuiJournal

#endif
