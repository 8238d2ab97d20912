#include "eNumber.h"

#include "FocusUtil.h"
#include "eDesktopSkin.h"
#include "gPainter.h"

namespace
{
const int maxFields = 16;
const int digitKeys = 10;
const int decimalBase = 10;
const int octetBits = 8;
const int octets = 4;
const uint32_t octetMask = 0xff;
} // namespace

eNumber::eNumber(eWidget* parentWidget, int fields, int minimum, int maximum, int digits, int* init, int isactive,
	eWidget* description, int grabfocus, const char* decorationName)
	: eDecoWidget(parentWidget, grabfocus, decorationName),
	  len(fields < 1 ? 1 : (fields > maxFields ? maxFields : fields)), min(minimum), max(maximum),
	  maxdigits(digits < 1 ? 1 : digits), active(isactive), descr(description)
{
	if (active < 0 || active >= len)
		active = 0;
	for (int i = 0; i < len; ++i)
		number[i] = init ? init[i] : min;
}

int eNumber::getNumber(int field) const
{
	return field >= 0 && field < len ? number[field] : 0;
}

void eNumber::setNumber(int field, int value)
{
	if (field < 0 || field >= len)
		return;
	number[field] = value;
	invalidate();
}

void eNumber::unpack(uint32_t l, int* t)
{
	for (int i = 0; i < octets; ++i)
		t[i] = int((l >> (octetBits * (octets - 1 - i))) & octetMask);
}

void eNumber::pack(uint32_t& l, const int* t)
{
	l = 0;
	for (int i = 0; i < octets; ++i)
		l |= (uint32_t(t[i]) & octetMask) << (octetBits * (octets - 1 - i));
}

int eNumber::eventHandler(const eWidgetEvent& ev)
{
	if (ev.type != eWidgetEvent::evtAction || !ev.action)
		return eDecoWidget::eventHandler(ev);
	for (int n = 0; n < digitKeys; ++n)
	{
		if (ev.action != i_shortcutActions->map.entry(n))
			continue;
		// The first digit replaces the field; the following ones append to it until
		// the field is full, and then the next field takes over.
		int v = digit == 0 ? n : number[active] * decimalBase + n;
		v = v > max ? max : v;
		number[active] = v;
		if (++digit >= maxdigits)
		{
			digit = 0;
			if (active + 1 < len)
				++active;
		}
		invalidate();
		numberChanged.emit();
		return 1;
	}
	if (ev.action == &i_cursorActions->left || ev.action == &i_cursorActions->right)
	{
		const int step = ev.action == &i_cursorActions->right ? 1 : -1;
		if (active + step >= 0 && active + step < len)
		{
			active += step;
			digit = 0;
			invalidate();
		}
		return 1;
	}
	return eDecoWidget::eventHandler(ev);
}

void eNumber::redrawWidget(gPainter* painter, const eRect& area)
{
	drawDecoration(painter, area);
	eDesktopSkin* skin = eDesktopSkin::active();
	const bool focused = hasFocus(this);
	const eRect r = getAbsoluteRect();
	const int fieldWidth = r.width() / len;
	painter->setFont(font.isNull() ? skin->queryFont("global.normal") : font);
	for (int i = 0; i < len; ++i)
	{
		const eRect field(r.left() + i * fieldWidth, r.top(), fieldWidth, r.height());
		const bool current = focused && i == active;
		if (current)
		{
			painter->setForegroundColor(skin->queryColor("global.selected.background"));
			painter->fill(field);
		}
		painter->setForegroundColor(current
				? skin->queryColor("global.selected.foreground")
				: (foregroundColor.valid ? foregroundColor : skin->queryColor("global.normal.foreground")));
		painter->renderText(
			field, eString::sprintf("%d", number[i]), gPainter::RT_HALIGN_CENTER | gPainter::RT_VALIGN_CENTER);
	}
}
