#ifndef OXLE_DESKTOP_EDESKTOPSKIN_H
#define OXLE_DESKTOP_EDESKTOPSKIN_H

#include <map>
#include <memory>
#include <set>
#include <string>

#include "eSkin.h"

class XMLTreeNode;
class XMLTreeParser;

// The desktop's skin: one XML file of colours, fonts, values, images, decorations and
// element layouts. The active skin comes from $OXLE_SKIN, else from the default skin
// of the data folder. Anything the file lacks gives one warning per name and a
// fallback. GUI thread only.
class eDesktopSkin : public eSkin
{
public:
	struct Decoration
	{
		int borderWidth = 0;
		gColor border;
	};

	eDesktopSkin();
	~eDesktopSkin() override;

	// The active skin, loaded from defaultPath() on first use.
	static eDesktopSkin* active();
	// Makes the skin in path the active one (images resolve beside it); false with a
	// diagnostic when it cannot be read, in which case an empty skin (all fallbacks)
	// is active.
	static bool activate(const std::string& path);
	static std::string defaultPath();

	bool load(const std::string& path);

	gColor queryColor(const eString& name) override;
	gFont queryFont(const eString& name) override;
	gPixmap* queryImage(const eString& name) override;
	int queryValue(const eString& name, int defaultValue) override;
	int build(eWidget* widget, const char* name) override;

	// Null (with one warning) when the skin has no such decoration.
	const Decoration* queryDecoration(const eString& name);
	// The picture for a button's shortcut key ("red", "green", …): the skin's image
	// "key_NAME" when it has one, else a coloured disc.
	gPixmap* shortcutImage(const eString& name);
	bool hasColor(const eString& name) const { return colors.count(name) != 0; }
	bool hasElement(const eString& name) const { return elements.count(name) != 0; }

	// Property values: "#rrggbb" / "#ttrrggbb" (tt transparency, 00 opaque) or a skin
	// colour name; "Family:size" or a skin font name.
	gColor parseColor(const eString& value);
	gFont parseFont(const eString& value);
	static bool parseHexColor(const eString& text, gColor& out);

	static constexpr int defaultFontSize = 20;

private:
	void warnOnce(const char* kind, const eString& name);
	void readSection(XMLTreeNode* section);
	int buildChildren(eWidget* root, eWidget* container, XMLTreeNode* node);

	std::unique_ptr<XMLTreeParser> document;
	std::string folder;
	std::map<std::string, gColor> colors;
	std::map<std::string, gFont> fonts;
	std::map<std::string, int> values;
	std::map<std::string, std::string> imageFiles;
	std::map<std::string, std::unique_ptr<gPixmap>> images;
	std::map<std::string, std::unique_ptr<gPixmap>> keyImages;
	std::map<std::string, Decoration> decorations;
	std::map<std::string, XMLTreeNode*> elements;
	std::set<std::string> warned;
};

#endif
