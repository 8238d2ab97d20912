#include "ProgressDisplay.h"

#include <mutex>
#include <vector>

#include "StreamRules.h"
#include "boxPath.h"
#include "eLabel.h"
#include "eMainloop.h"
#include "eProgress.h"
#include "eString.h"
#include "gPainter.h"
#include "gPixmap.h"

gPixmap* s_statp = nullptr;
eLabel* v_progress = nullptr;
eProgress* s_stat = nullptr;
eLabel* epT = nullptr;

namespace
{
const char PROGRESS_PICTURE[] = "/var/tuxbox/config/enigma/pictures/oxle/v_progress.png";
const char PERCENT_FORMAT[] = "%02d%%";

// Positions on the 720 x 576 screen.
const ePoint TEXT_POSITION(320, 460);
const eSize TEXT_SIZE(60, 30);
const int BAR_RIGHT = 630;
const int BAR_TOP = 500;
const int FRAME_RIGHT = 624;
const int FRAME_TOP = 497;
const int FRAME_WIDTH_LESS = 13;
const int FRAME_HEIGHT_MORE = 6;
const int FRAME_BORDER = 4;
const int BAR_BLIT_FLAGS = gPainter::BT_ALPHATEST;

// Displays handed over by a streaming thread, waiting for the GUI thread.
std::mutex handedOverLock; // guards handedOver
std::vector<ProgressParts> handedOver;
} // namespace

void createProgressDisplay()
{
	releaseHandedOverParts();
	destroyProgressParts(takeProgressDisplay());

	s_statp = loadPNG(boxPath(PROGRESS_PICTURE).c_str());

	epT = new eLabel(nullptr);
	epT->move(TEXT_POSITION);
	epT->resize(TEXT_SIZE);
	epT->setProperty("align", "center");
	epT->setProperty("vcenter", "");
	epT->setProperty("alphatest", "on");
	epT->setText(eString::sprintf(PERCENT_FORMAT, 0));

	v_progress = new eLabel(nullptr);
	s_stat = new eProgress(nullptr);

	if (s_statp)
	{
		int w = s_statp->width(), h = s_statp->height();
		if (gFBDC* screen = gFBDC::getInstance())
		{
			gPixmapDC pictureDC(s_statp);
			gPainter painter(pictureDC);
			painter.mergePalette(screen->getPixmap());
		}
		v_progress->setPixmap(s_statp);
		v_progress->move(ePoint(BAR_RIGHT - w, BAR_TOP));
		v_progress->resize(eSize(0, h));
		v_progress->setBlitFlags(BAR_BLIT_FLAGS);
		v_progress->show();
		s_stat->setPerc(0);
		s_stat->resize(eSize(w - FRAME_WIDTH_LESS, h + FRAME_HEIGHT_MORE));
		s_stat->border = FRAME_BORDER;
		s_stat->move(ePoint(FRAME_RIGHT - w, FRAME_TOP));
		s_stat->show();
	}
	epT->show();
}

void showProgress(int percent)
{
	if (s_statp && v_progress)
	{
		v_progress->hide();
		v_progress->resize(eSize(progressBarWidth(s_statp->width(), percent), s_statp->height()));
		v_progress->show();
	}
	if (epT)
		epT->setText(eString::sprintf(PERCENT_FORMAT, percent));
}

void hideProgressDisplay()
{
	if (s_statp)
	{
		if (v_progress)
			v_progress->hide();
		if (s_stat)
			s_stat->hide();
	}
	if (epT)
		epT->hide();
}

void hideProgressWidgets()
{
	if (v_progress)
		v_progress->hide();
	if (s_stat)
		s_stat->hide();
	if (epT)
		epT->hide();
}

ProgressParts takeProgressDisplay()
{
	ProgressParts parts;
	parts.picture = s_statp;
	parts.bar = v_progress;
	parts.frame = s_stat;
	parts.text = epT;
	s_statp = nullptr;
	v_progress = nullptr;
	s_stat = nullptr;
	epT = nullptr;
	return parts;
}

void destroyProgressParts(ProgressParts parts)
{
	// The bar shows the picture: it goes before the picture does.
	if (parts.bar)
		parts.bar->setPixmap(nullptr);
	delete parts.frame;
	delete parts.bar;
	delete parts.text;
	delete parts.picture;
}

void handOverProgressParts(ProgressParts parts)
{
	if (parts.empty())
		return;
	{
		std::lock_guard<std::mutex> guard(handedOverLock);
		handedOver.push_back(parts);
	}
	if (eApp)
		eApp->post([] { releaseHandedOverParts(); });
}

void releaseHandedOverParts()
{
	std::vector<ProgressParts> parts;
	{
		std::lock_guard<std::mutex> guard(handedOverLock);
		parts.swap(handedOver);
	}
	for (const ProgressParts& display : parts)
		destroyProgressParts(display);
}
