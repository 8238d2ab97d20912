#include "eDesktopSkin.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "ColorBlend.h"
#include "XMLTreeParser.h"
#include "eDebug.h"
#include "eLabel.h"
#include "eProgress.h"
#include "eWidget.h"

#ifndef OXLE_SKIN_FILE
#define OXLE_SKIN_FILE "data/skins/default/skin.xml"
#endif

namespace
{
const uint8_t fallbackGrey = 0x80;
const int hexBase = 16;
const int rgbDigits = 6;
const int argbDigits = 8;
const int keyImageSide = 18;

// The properties an element's <widget> may set, in the order they are applied.
const char* const widgetProperties[] = {"position", "size", "cposition", "csize", "font", "backgroundColor",
	"foregroundColor", "align", "vcenter", "wrap", "alphatest", "pixmap", "border", "leftColor", "rightColor",
	"helptext", "text"};

std::unique_ptr<eDesktopSkin>& activeSkin()
{
	static std::unique_ptr<eDesktopSkin> skin;
	return skin;
}

// Skins replaced by activate() stay alive: widgets may still show their images.
std::vector<std::unique_ptr<eDesktopSkin>>& retiredSkins()
{
	static std::vector<std::unique_ptr<eDesktopSkin>> skins;
	return skins;
}

const char* attr(XMLTreeNode* node, const char* name)
{
	return node->GetAttributeValue(name);
}

eWidget* createWidget(const std::string& kind, eWidget* parent)
{
	if (kind == "eWidget")
		return new eWidget(parent);
	if (kind == "eProgress")
		return new eProgress(parent);
	if (kind != "eLabel")
		eWarning("skin: unknown widget kind \"%s\", making an eLabel", kind.c_str());
	return new eLabel(parent);
}

gPixmap* makeDisc(gRGB color)
{
	auto* pm = new gPixmap(keyImageSide, keyImageSide);
	const int r = keyImageSide / 2;
	for (int y = 0; y < keyImageSide; ++y)
		for (int x = 0; x < keyImageSide; ++x)
		{
			const int dx = 2 * x + 1 - keyImageSide, dy = 2 * y + 1 - keyImageSide;
			const bool inside = dx * dx + dy * dy <= 4 * r * r;
			pm->setPixel(x, y, inside ? color.argb() : ColorBlend::transparent);
		}
	return pm;
}
} // namespace

eSkin* eSkin::getActive()
{
	return eDesktopSkin::active();
}

eDesktopSkin::eDesktopSkin() = default;

eDesktopSkin::~eDesktopSkin() = default;

eDesktopSkin* eDesktopSkin::active()
{
	if (!activeSkin())
	{
		activeSkin().reset(new eDesktopSkin);
		activeSkin()->load(defaultPath());
	}
	return activeSkin().get();
}

bool eDesktopSkin::activate(const std::string& path)
{
	std::unique_ptr<eDesktopSkin> skin(new eDesktopSkin);
	const bool ok = skin->load(path);
	if (activeSkin())
		retiredSkins().push_back(std::move(activeSkin()));
	activeSkin() = std::move(skin);
	return ok;
}

std::string eDesktopSkin::defaultPath()
{
	const char* env = getenv("OXLE_SKIN");
	return env && *env ? env : OXLE_SKIN_FILE;
}

bool eDesktopSkin::load(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	if (!in)
	{
		eWarning("skin: cannot open %s; every look-up falls back", path.c_str());
		return false;
	}
	std::stringstream content;
	content << in.rdbuf();
	const std::string xml = content.str();
	document.reset(new XMLTreeParser);
	if (!document->Parse(xml.data(), int(xml.size()), 1) || !document->RootNode())
	{
		eWarning("skin: %s: %s at line %d; every look-up falls back", path.c_str(), document->ErrorString(),
			document->ErrorLine());
		document.reset();
		return false;
	}
	const size_t slash = path.rfind('/');
	folder = slash == std::string::npos ? "." : path.substr(0, slash);
	for (XMLTreeNode* section : document->RootNode()->getChildren())
		readSection(section);
	return true;
}

void eDesktopSkin::readSection(XMLTreeNode* section)
{
	const std::string type = section->GetType();
	for (XMLTreeNode* n : section->getChildren())
	{
		const char* name = attr(n, "name");
		if (!name)
		{
			eWarning("skin: <%s> without a name in <%s>", n->GetType(), type.c_str());
			continue;
		}
		if (type == "colors")
		{
			gColor c;
			const char* value = attr(n, "value");
			if (value && parseHexColor(value, c))
				colors[name] = c;
			else
				eWarning("skin: colour %s has no usable value", name);
		}
		else if (type == "fonts")
		{
			const char* family = attr(n, "family");
			const char* size = attr(n, "size");
			fonts[name] = gFont(family ? family : "Regular", size ? atoi(size) : defaultFontSize);
		}
		else if (type == "values")
		{
			const char* value = attr(n, "value");
			values[name] = value ? atoi(value) : 0;
		}
		else if (type == "images")
		{
			const char* file = attr(n, "file");
			if (file)
				imageFiles[name] = file[0] == '/' ? std::string(file) : folder + "/" + file;
		}
		else if (type == "decorations")
		{
			Decoration d;
			const char* width = attr(n, "border");
			const char* color = attr(n, "color");
			d.borderWidth = width ? atoi(width) : 0;
			if (color)
				d.border = parseColor(color);
			decorations[name] = d;
		}
		else if (type == "elements")
			elements[name] = n;
	}
}

void eDesktopSkin::warnOnce(const char* kind, const eString& name)
{
	if (warned.insert(std::string(kind) + ":" + name).second)
		eWarning("skin: no %s \"%s\", using a fallback", kind, name.c_str());
}

bool eDesktopSkin::parseHexColor(const eString& text, gColor& out)
{
	if (text.size() < 2 || text[0] != '#')
		return false;
	const std::string digits = text.substr(1);
	if ((digits.size() != rgbDigits && digits.size() != argbDigits) ||
		digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
		return false;
	const uint32_t v = uint32_t(strtoul(digits.c_str(), nullptr, hexBase));
	out = gColor(gRGB(v));
	return true;
}

gColor eDesktopSkin::parseColor(const eString& value)
{
	gColor c;
	if (parseHexColor(value, c))
		return c;
	return queryColor(value);
}

gFont eDesktopSkin::parseFont(const eString& value)
{
	const size_t colon = value.find(':');
	if (colon != eString::npos)
		return gFont(value.substr(0, colon), atoi(value.c_str() + colon + 1));
	return queryFont(value);
}

gColor eDesktopSkin::queryColor(const eString& name)
{
	auto it = colors.find(name);
	if (it != colors.end())
		return it->second;
	warnOnce("colour", name);
	return gColor(gRGB(fallbackGrey, fallbackGrey, fallbackGrey));
}

gFont eDesktopSkin::queryFont(const eString& name)
{
	auto it = fonts.find(name);
	if (it != fonts.end())
		return it->second;
	warnOnce("font", name);
	return gFont("Regular", defaultFontSize);
}

gPixmap* eDesktopSkin::queryImage(const eString& name)
{
	auto loaded = images.find(name);
	if (loaded != images.end())
		return loaded->second.get();
	auto file = imageFiles.find(name);
	if (file == imageFiles.end())
	{
		warnOnce("image", name);
		return nullptr;
	}
	// A broken file is reported by loadPNG once and remembered as missing.
	gPixmap* pm = loadPNG(file->second.c_str());
	images[name].reset(pm);
	return pm;
}

int eDesktopSkin::queryValue(const eString& name, int defaultValue)
{
	auto it = values.find(name);
	if (it != values.end())
		return it->second;
	warnOnce("value", name);
	return defaultValue;
}

const eDesktopSkin::Decoration* eDesktopSkin::queryDecoration(const eString& name)
{
	auto it = decorations.find(name);
	if (it != decorations.end())
		return &it->second;
	warnOnce("decoration", name);
	return nullptr;
}

gPixmap* eDesktopSkin::shortcutImage(const eString& name)
{
	const eString imageName = "key_" + name;
	if (imageFiles.count(imageName))
		if (gPixmap* pm = queryImage(imageName))
			return pm;
	auto it = keyImages.find(name);
	if (it != keyImages.end())
		return it->second.get();
	gPixmap* pm = makeDisc(queryColor(imageName).color);
	keyImages[name].reset(pm);
	return pm;
}

int eDesktopSkin::build(eWidget* widget, const char* name)
{
	const eString key = name ? name : "";
	auto it = elements.find(key);
	if (!widget || it == elements.end())
	{
		warnOnce("element", key);
		return 1;
	}
	XMLTreeNode* element = it->second;
	for (const char* prop : widgetProperties)
		if (const char* value = attr(element, prop))
			if (widget->setProperty(prop, value) != 0)
				eWarning("skin: %s: %s cannot take \"%s\"", key.c_str(), widget->className(), prop);
	return buildChildren(widget, widget, element);
}

int eDesktopSkin::buildChildren(eWidget* root, eWidget* container, XMLTreeNode* node)
{
	for (XMLTreeNode* n : node->getChildren())
	{
		if (strcmp(n->GetType(), "widget") != 0)
			continue;
		const char* name = attr(n, "name");
		const char* kind = attr(n, "kind");
		eWidget* w = name ? root->search(name) : nullptr;
		if (!w)
		{
			w = createWidget(kind ? kind : "eLabel", container);
			if (name)
				w->setName(name);
		}
		for (const char* prop : widgetProperties)
			if (const char* value = attr(n, prop))
				if (w->setProperty(prop, value) != 0)
					eWarning("skin: %s: %s cannot take \"%s\"", name ? name : "(unnamed)", w->className(), prop);
		buildChildren(root, w, n);
	}
	return 0;
}
