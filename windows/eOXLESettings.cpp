#include "eOXLESettings.h"

#include <cstdlib>

#include "eButton.h"
#include "eCheckbox.h"
#include "eConfig.h"
#include "eLabel.h"
#include "eNumber.h"
#include "eSlider.h"
#include "eTCP.h"
#include "eTextInputField.h"
#include "i18n.h"
#include "oxleConfig.h"
#include "oxleGlobals.h"

eNumber* infoDelay = nullptr;
eLabel* l_delay = nullptr;

namespace
{
const char bufferSizeKey[] = OXLE_KEY("buffersize");
const char autoplayKey[] = OXLE_KEY("autoplay");
const char mediadirKey[] = OXLE_KEY("mediadir");
const char autoinfoKey[] = OXLE_KEY("autoinfo");
const char infodelayKey[] = OXLE_KEY("infodelay");
const char serverIpKey[] = OXLE_KEY("serverip");
const char serverPortKey[] = OXLE_KEY("serverport");
// Keys of earlier versions, dropped whenever the settings are saved.
const char* const obsoleteKeys[] = {OXLE_KEY("checkset"), OXLE_KEY("vlcVersion"), OXLE_KEY("mainOS")};

// The slider's steps are buffer blocks, 4 per cent each.
const int percentPerStep = 4;
const int defaultInfoDelayMinutes = 5;
const int msPerMinute = 60000;
const int maxInfoDelayMinutes = 99;
const int infoDelayDigits = 2;
const int addressChars = 16;
const int portChars = 6;
const int passwordChars = 16;
const char addressCharacters[] = ".0123456789";
const char digitCharacters[] = "0123456789";

// Layout of the client area. The rows of the text fields and buttons follow the skin's
// font size.
struct Place
{
	int x, y, w, h;
};
const ePoint windowPosition(90, 110);
const eSize windowSize(550, 390);
const Place bufferLabelPlace{20, 20, 170, 24};
const Place bufferSliderPlace{200, 20, 220, 24};
const Place continuousPlayPlace{20, 50, 250, 35};
const Place mediaDirPlace{200, 50, 350, 35};
const Place intervalInfosPlace{20, 100, 350, 35};
const Place delayLabelPlace{455, 100, 300, 35};
const Place delayNumberPlace{460, 100, 65, 35};
const int labelColumn = 20;
const int fieldColumn = 200;
const int fieldWidth = 200;
const int textLabelWidth = 160;
const int addressRow = 150;
const int portRow = 190;
const int passwordRow = 230;
const int scanRow = 270;
const int shutdownRow = 310;
const int labelRowGap = 4;  // label height beyond the font size
const int fieldRowGap = 10; // field and button height beyond the font size

void place(eWidget* widget, int x, int y, int w, int h)
{
	widget->move(ePoint(x, y));
	widget->resize(eSize(w, h));
}

void place(eWidget* widget, const Place& at)
{
	place(widget, at.x, at.y, at.w, at.h);
}

eCheckbox* makeCheckbox(eWidget* parent, const char* text, const Place& at)
{
	eCheckbox* box = new eCheckbox(parent);
	box->setText(_(text));
	place(box, at);
	box->setHelpText("");
	return box;
}

eLabel* makeLabel(eWidget* parent, const char* text, int y)
{
	eLabel* label = new eLabel(parent);
	label->setText(text);
	place(label, labelColumn, y, textLabelWidth, fd + labelRowGap);
	return label;
}

eTextInputField* makeField(eWidget* parent, eLabel* descr, const char* name, const eString& text, int maxChars,
	const char* useable, int y, const char* help)
{
	eTextInputField* field = new eTextInputField(parent, descr);
	field->setName(name);
	field->setMaxChars(maxChars);
	field->setUseableChars(useable);
	field->setText(text);
	place(field, fieldColumn, y, fieldWidth, fd + fieldRowGap);
	field->loadDeco();
	field->setHelpText(_(help));
	return field;
}

eButton* makeButton(eWidget* parent, const char* text, const char* key, int y, const char* help)
{
	eButton* button = new eButton(parent);
	button->setText(_(text));
	button->setShortcut(key);
	button->setShortcutPixmap(key);
	place(button, fieldColumn, y, fieldWidth, fd + fieldRowGap);
	button->loadDeco();
	button->setHelpText(_(help));
	return button;
}
} // namespace

eOXLESettings::eOXLESettings() : eWindow(0)
{
	setText(_("OXLE Settings"));
	cmove(windowPosition);
	cresize(windowSize);
	init();
}

void eOXLESettings::init()
{
	int bufferSize = configInt(bufferSizeKey, BUFFER_BLOCKS_DEFAULT);
	bufferLabel = new eLabel(this);
	bufferLabel->setText(eString::sprintf("Buffersize [%d%%]:", bufferSize * percentPerStep));
	place(bufferLabel, bufferLabelPlace);
	bufferSlider = new eSlider(this, bufferLabel, 0, BUFFER_BLOCKS_MAX);
	bufferSlider->setName("sbsize");
	place(bufferSlider, bufferSliderPlace);
	bufferSlider->setHelpText(_("change streaming Buffersize"));
	bufferSlider->changed.connect(SigC::slot(*this, &eOXLESettings::bufferSizeChanged));

	continuousPlay = makeCheckbox(this, "Continous Play", continuousPlayPlace);
	mediaDir = makeCheckbox(this, "Use Mediadir instead of Startdir", mediaDirPlace);
	intervalInfos = makeCheckbox(this, "Interval Infos", intervalInfosPlace);
	intervalInfos->selected.connect(SigC::slot(*this, &eOXLESettings::showNumber));

	l_delay = new eLabel(this);
	l_delay->setText(":");
	place(l_delay, delayLabelPlace);
	int delay = configInt(infodelayKey, defaultInfoDelayMinutes);
	infoDelay = new eNumber(this, 1, 0, maxInfoDelayMinutes, infoDelayDigits, &delay, 0, l_delay, 1);
	place(infoDelay, delayNumberPlace);
	infoDelay->setHelpText(_("no helptext yet"));
	infoDelay->loadDeco();

	continuousPlay->setCheck(configInt(autoplayKey, 0));
	mediaDir->setCheck(configInt(mediadirKey, 0));
	intervalInfos->setCheck(configInt(autoinfoKey, 0));
	infoDelay->setNumber(delay);

	// A stored size outside the usable range opens as the default.
	bufferSize = bufferBlocks(bufferSize);
	setBufferLabel(bufferSize);
	bufferSlider->setValue(bufferSize);

	showNumber();

	const eString address = configString(serverIpKey, eTCP::DEFAULT_SERVER_IP);
	const eString port = configString(serverPortKey, eTCP::DEFAULT_SERVER_PORT);
	addressLabel = makeLabel(this, "Server IP:", addressRow);
	addressField = makeField(this, addressLabel, "server_ip", address, addressChars, addressCharacters, addressRow,
		"Enter Server IP Adress");
	portLabel = makeLabel(this, "Server Port:", portRow);
	portField = makeField(this, portLabel, "server_po", port, portChars, digitCharacters, portRow, "Enter Server Port");
	passwordLabel = makeLabel(this, "Pathpass:", passwordRow);
	passwordField = makeField(this, passwordLabel, "local_pass", myPass, passwordChars, digitCharacters, passwordRow,
		"Enter local Passwort. Passwort will not be saved!!");

	scanButton = makeButton(this, "Server scan", "green", scanRow, "automatic server scan");
	scanButton->selected.connect(SigC::slot(*this, &eOXLESettings::serverScan));
	shutdownButton = makeButton(this, "Shutdown PC", "blue", shutdownRow, "Cose the PC on which oxle_x86 is running");
	shutdownButton->selected.connect(SigC::slot(*this, &eOXLESettings::shutdownPC));
}

void eOXLESettings::setBufferLabel(int steps)
{
	bufferLabel->hide();
	bufferLabel->setText(eString::sprintf("Buffersize [%d%%]:", steps * percentPerStep));
	bufferLabel->show();
}

void eOXLESettings::bufferSizeChanged(int value)
{
	eConfig::getInstance()->setKey(bufferSizeKey, value);
	setBufferLabel(value);
	eConfig::getInstance()->flush();
}

void eOXLESettings::showNumber()
{
	if (intervalInfos->isChecked())
	{
		intervalInfos->setText(_("Interval Infos. Timeinterval"));
		infoDelay->show();
		l_delay->show();
	}
	else
	{
		intervalInfos->setText(_("Interval Infos"));
		infoDelay->hide();
		l_delay->hide();
	}
}

void eOXLESettings::shutdownPC()
{
	eTCP::getInstance()->sendGetRequest("RQS", "CLW", "NO", "", "", false);
	CONNECTION = false;
}

eOXLESettings::~eOXLESettings()
{
	eConfig* config = eConfig::getInstance();
	AUTOPLAY = continuousPlay->isChecked() ? 1 : 0;
	config->setKey(autoplayKey, AUTOPLAY);
	AUTOINFO = intervalInfos->isChecked() ? 1 : 0;
	config->setKey(autoinfoKey, AUTOINFO);
	config->setKey(mediadirKey, mediaDir->isChecked() ? 1 : 0);

	const int minutes = infoDelay->getNumber();
	if (minutes > 0)
	{
		INFODELAY = minutes * msPerMinute;
		config->setKey(infodelayKey, minutes);
	}
	else
	{
		INFODELAY = defaultInfoDelayMinutes * msPerMinute;
		config->setKey(infodelayKey, defaultInfoDelayMinutes);
	}

	for (const char* key : obsoleteKeys)
	{
		int ignored = 0;
		char* value = nullptr;
		const bool present = config->getKey(key, ignored) == 0 || config->getKey(key, value) == 0;
		free(value);
		if (present)
			config->delKey(key);
	}

	config->setKey(bufferSizeKey, bufferSlider->getValue());
	config->setKey(serverIpKey, addressField->getText().c_str());
	config->setKey(serverPortKey, portField->getText().c_str());
	myPass = passwordField->getText();
	config->flush();

	// The widgets go with the window's tree right after this body.
	infoDelay = nullptr;
	l_delay = nullptr;
}
