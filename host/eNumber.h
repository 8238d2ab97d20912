#ifndef OXLE_HOST_ENUMBER_H
#define OXLE_HOST_ENUMBER_H

#include <cstdint>

#include "eDecoWidget.h"

// One or more number fields edited with the number keys.
class eNumber : public eDecoWidget
{
public:
	eNumber(eWidget* parent, int len, int min, int max, int maxdigits, int* init, int isactive = 0,
		eWidget* descr = nullptr, int grabfocus = 1, const char* decoration = "eNumber");
	int getNumber(int field = 0) const;
	void setNumber(int field, int value);
	void setNumber(int value) { setNumber(0, value); }
	void redrawWidget(gPainter* painter, const eRect& area) override;
	const char* className() const override { return "eNumber"; }

	// A 32-bit IPv4 value into its four octets, most significant first.
	static void unpack(uint32_t l, int* t);
	static void pack(uint32_t& l, const int* t);

	SigC::Signal0<void> numberChanged;

protected:
	int eventHandler(const eWidgetEvent& event) override;
	int len, min, max, maxdigits, active = 0, digit = 0;
	int number[16] = {};
	eWidget* descr;
};

#endif
