#include "InfobarMath.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "XMLTreeParser.h"
#include "parseXml.h"

namespace
{
const int secondsPerMinute = 60;
const int secondsPerHour = 3600;
const int minutesPerHour = 60;
const int hoursPerDay = 24;
const int fullBar = 100;
const unsigned int scrollTurnBytes = 20;
const char scrollPadding[] = "     ";
const char streamCategory[] = "Stream 0";
const char codecInfo[] = "Codec";
// The parser hands out UTF-8, whatever the document's own encoding.
const char resolutionInfo[] = "Aufl\xC3\xB6sung";

bool named(const XMLTreeNode* node, const char* name)
{
	return std::strcmp(node->GetType(), name) == 0;
}

bool attributeIs(const XMLTreeNode* node, const char* attribute, const char* value)
{
	const char* v = node->GetAttributeValue(attribute);
	return v && std::strcmp(v, value) == 0;
}

void readInformation(const XMLTreeNode* information, PlayStatus& status)
{
	for (const XMLTreeNode* category = information->GetChild(); category; category = category->GetNext())
	{
		if (!named(category, "category") || !attributeIs(category, "name", streamCategory))
			continue;
		for (const XMLTreeNode* info = category->GetChild(); info; info = info->GetNext())
		{
			if (!named(info, "info"))
				continue;
			if (attributeIs(info, "name", codecInfo))
				status.codec = info->GetData();
			else if (attributeIs(info, "name", resolutionInfo))
				status.resolution = info->GetData();
		}
	}
}
} // namespace

bool readPlayStatus(const eString& reply, PlayStatus& status)
{
	if (reply.empty())
		return false;
	std::unique_ptr<XMLTreeParser> document(parseXml(reply.c_str()));
	if (!document)
		return false;
	for (const XMLTreeNode* node = document->RootNode()->GetChild(); node; node = node->GetNext())
	{
		if (named(node, "time"))
			status.time = std::atoi(node->GetData());
		else if (named(node, "length"))
			status.length = std::atoi(node->GetData());
		else if (named(node, "position"))
			status.position = std::atoi(node->GetData());
		else if (named(node, "information"))
			readInformation(node, status);
	}
	return true;
}

int remainingSeconds(const PlayStatus& status)
{
	const long long rest = (long long)status.length - status.time;
	return rest > 0 ? int(rest) : 0;
}

eString remainingText(int length, int time)
{
	const long long rest = (long long)length - time;
	if (rest > secondsPerMinute)
		return eString::sprintf("+%d min", int(rest / secondsPerMinute));
	return "+0 min";
}

ClockTime expectedEnd(int length, int seekMinutes, int startHour, int startMin)
{
	const long long total = (long long)length - (long long)seekMinutes * secondsPerMinute;
	long long hours = total >= secondsPerHour ? total / secondsPerHour : 0;
	long long minutes = total >= secondsPerMinute ? (total - hours * secondsPerHour) / secondsPerMinute : 0;
	minutes += startMin;
	if (minutes >= minutesPerHour)
	{
		minutes -= minutesPerHour;
		++hours;
	}
	// A file longer than a day still ends at a time of day.
	hours = (hours + startHour) % hoursPerDay;
	ClockTime end;
	end.hour = int(hours);
	end.minute = int(minutes);
	return end;
}

eString hourMinute(int hour, int minute)
{
	return eString::sprintf("%02d:%02d", hour, minute);
}

eString clockText(const std::tm& now, bool blinking, bool& separatorShown)
{
	const char* format = "%02d.%02d.%02d";
	if (blinking)
	{
		if (separatorShown)
			format = "%02d:%02d:%02d";
		separatorShown = !separatorShown;
	}
	return eString::sprintf(format, now.tm_hour, now.tm_min, now.tm_sec);
}

std::tm boxLocalTime(int correctionSeconds)
{
	const std::time_t now = std::time(nullptr) + correctionSeconds;
	std::tm local{};
	localtime_r(&now, &local);
	return local;
}

int positionBarWidth(int skinWidth, int position)
{
	if (position < 0)
		position = 0;
	if (position > fullBar)
		position = fullBar;
	return skinWidth / fullBar * position;
}

void TitleScroll::start(const eString& name)
{
	leftward = true;
	text = name;
	position = (unsigned int)text.length();
}

eString TitleScroll::tail() const
{
	if (position >= text.length())
		return text;
	return text.right(position);
}

bool TitleScroll::step(const eString& name, eString& shown)
{
	if (text.length() <= stillTitleBytes)
		return false;
	if (leftward)
	{
		shown = tail();
		if (--position == 0)
			position = (unsigned int)text.length();
		if (position <= scrollTurnBytes)
		{
			++position;
			leftward = false;
		}
	}
	else
	{
		text = scrollPadding + name;
		shown = tail();
		if (++position >= text.length())
		{
			text = name;
			position = (unsigned int)text.length();
			leftward = true;
		}
	}
	return true;
}

bool selfCloseTick(int& count)
{
	return ++count >= selfCloseTicks;
}
