#include "eMessageBox.h"

#include <nlohmann/json.hpp>

#include "Journal.h"
#include "Screen.h"
#include "TextParaImpl.h"
#include "eButton.h"
#include "eDesktopSkin.h"
#include "eLabel.h"
#include "eMainloop.h"
#include "gPainter.h"
#include "i18n.h"

namespace
{
const int clientWidth = 500;
const int margin = 12;
const int iconSide = 40;
const int buttonWidth = 100;
const int buttonHeight = 36;
const int buttonGap = 10;
const int minTextHeight = iconSide;
const int msPerSecond = 1000;
const int noResult = 0;
const int cancelled = -1;

struct ButtonKind
{
	int flag;
	const char* text;
};
const ButtonKind buttonKinds[] = {{eMessageBox::btOK, "OK"}, {eMessageBox::btYes, "Yes"}, {eMessageBox::btNo, "No"},
	{eMessageBox::btCancel, "Cancel"}};

int textHeight(const eString& text, int width)
{
	eTextPara para(eRect(0, 0, width, 0));
	para.setFont(eDesktopSkin::active()->queryFont("global.normal"));
	para.renderString(text, eTextPara::RS_WRAP);
	return para.impl()->blockHeight();
}

void journalClose(const eString& caption, int result)
{
	Journal::instance().event("msgbox_close", {{"caption", caption}, {"result", result}});
}

eLabel* makeIcon(eWidget* box, int flags)
{
	const char* glyph = nullptr;
	const char* color = nullptr;
	if (flags & eMessageBox::iconError)
		glyph = "!", color = "eMessageBox.icon.error";
	else if (flags & eMessageBox::iconWarning)
		glyph = "!", color = "eMessageBox.icon.warning";
	else if (flags & eMessageBox::iconQuestion)
		glyph = "?", color = "eMessageBox.icon.question";
	else if (flags & eMessageBox::iconInfo)
		glyph = "i", color = "eMessageBox.icon.info";
	if (!glyph)
		return nullptr;
	eDesktopSkin* skin = eDesktopSkin::active();
	auto* icon = new eLabel(box, eLabel::flagVCenter, 0, nullptr);
	icon->setAlign(gPainter::RT_HALIGN_CENTER);
	icon->setBackgroundColor(skin->queryColor(color));
	icon->setForegroundColor(skin->queryColor("eMessageBox.icon.text"));
	icon->setFont(skin->queryFont("global.large"));
	icon->setText(glyph);
	icon->move(ePoint(margin, margin));
	icon->resize(eSize(iconSide, iconSide));
	return icon;
}
} // namespace

eMessageBox::eMessageBox(eString message, eString caption, int boxFlags, int defaultResult, int timeoutSeconds)
	: eWindow(0), flags(boxFlags), def(defaultResult), timeout(timeoutSeconds)
{
	setText(caption);
	const bool withIcon = makeIcon(this, flags) != nullptr;
	const int textLeft = withIcon ? 2 * margin + iconSide : margin;
	textLabel = new eLabel(this, eLabel::flagWrap, 0, nullptr);
	textLabel->move(ePoint(textLeft, margin));
	textLabel->setText(message);

	eButton* defaultButton = nullptr;
	for (const ButtonKind& kind : buttonKinds)
	{
		if (!(flags & kind.flag))
			continue;
		auto* button = new eButton(this);
		button->setText(_(kind.text));
		const int value = kind.flag;
		button->selected.connect([this, value] {
			journalClose(getText(), value);
			announced = false;
			close(value);
		});
		buttons.push_back(button);
		if (kind.flag == def || !defaultButton)
			defaultButton = button;
	}
	setMessage(message);
	if (defaultButton)
		setFocus(defaultButton);
}

eMessageBox::~eMessageBox()
{
	delete timer;
	if (announced)
		journalClose(getText(), noResult);
}

void eMessageBox::setMessage(const eString& message)
{
	const int textLeft = textLabel->getPosition().x;
	const int textWidth = clientWidth - textLeft - margin;
	int h = textHeight(message, textWidth);
	h = h < minTextHeight ? minTextHeight : h;
	textLabel->resize(eSize(textWidth, h));
	textLabel->setText(message);

	const int buttonCount = int(buttons.size());
	const int buttonsTop = margin + h + margin;
	int x = (clientWidth - buttonCount * buttonWidth - (buttonCount - 1) * buttonGap) / 2;
	for (eButton* button : buttons)
	{
		button->move(ePoint(x, buttonsTop));
		button->resize(eSize(buttonWidth, buttonHeight));
		x += buttonWidth + buttonGap;
	}
	const int clientHeight = buttonsTop + (buttonCount ? buttonHeight + margin : 0);
	cresize(eSize(clientWidth, clientHeight));
	const eSize outer = getSize();
	move(ePoint((Screen::width - outer.w) / 2, (Screen::height - outer.h) / 2));
}

int eMessageBox::eventHandler(const eWidgetEvent& ev)
{
	if (ev.type != eWidgetEvent::evtAction)
		return eWindow::eventHandler(ev);
	if (ev.action == &i_cursorActions->cancel)
	{
		journalClose(getText(), cancelled);
		announced = false;
		close(cancelled);
		return 1;
	}
	if (ev.action == &i_cursorActions->ok && !(focus && focus->isVisible()))
	{
		journalClose(getText(), def);
		announced = false;
		close(def);
		return 1;
	}
	if (ev.action == &i_cursorActions->left || ev.action == &i_cursorActions->right)
	{
		for (size_t i = 0; i < buttons.size(); ++i)
		{
			if (buttons[i] != focus)
				continue;
			const bool right = ev.action == &i_cursorActions->right;
			if (right && i + 1 < buttons.size())
				setFocus(buttons[i + 1]);
			else if (!right && i > 0)
				setFocus(buttons[i - 1]);
			break;
		}
		return 1;
	}
	passToFocus(ev);
	// A modal notice keeps every key to itself.
	return 1;
}

void eMessageBox::willShow()
{
	if (!announced)
	{
		Journal::instance().event(
			"msgbox", {{"text", textLabel->getText()}, {"caption", getText()}, {"flags", flags}, {"timeout", timeout}});
		announced = true;
	}
	if (timeout > 0 && eApp)
	{
		if (!timer)
		{
			timer = new eTimer(eApp);
			timer->timeout.connect(sigc::mem_fun(*this, &eMessageBox::timedOut));
		}
		timer->start(long(timeout) * msPerSecond, true);
	}
}

void eMessageBox::willHide()
{
	if (timer)
		timer->stop();
	if (announced)
	{
		journalClose(getText(), noResult);
		announced = false;
	}
}

void eMessageBox::timedOut()
{
	if (announced)
		journalClose(getText(), def);
	announced = false;
	close(def);
}
