#ifndef OXLE_HOST_ERECT_H
#define OXLE_HOST_ERECT_H

struct ePoint
{
	int x = 0, y = 0;
	ePoint() = default;
	ePoint(int x_, int y_) : x(x_), y(y_) {}
	ePoint operator+(const ePoint& o) const { return ePoint(x + o.x, y + o.y); }
	ePoint operator-(const ePoint& o) const { return ePoint(x - o.x, y - o.y); }
	bool operator==(const ePoint& o) const { return x == o.x && y == o.y; }
	bool operator!=(const ePoint& o) const { return !(*this == o); }
};

struct eSize
{
	int w = 0, h = 0;
	eSize() = default;
	eSize(int w_, int h_) : w(w_), h(h_) {}
	int width() const { return w; }
	int height() const { return h; }
	bool operator==(const eSize& o) const { return w == o.w && h == o.h; }
	bool operator!=(const eSize& o) const { return !(*this == o); }
};

// Half-open rectangle: left/top inclusive, right/bottom exclusive.
class eRect
{
	int x1 = 0, y1 = 0, x2 = 0, y2 = 0;

public:
	eRect() = default;
	eRect(int left, int top, int width, int height) : x1(left), y1(top), x2(left + width), y2(top + height) {}
	eRect(ePoint p, eSize s) : eRect(p.x, p.y, s.w, s.h) {}

	bool isNull() const { return x2 <= x1 || y2 <= y1; }
	bool isEmpty() const { return isNull(); }
	int left() const { return x1; }
	int top() const { return y1; }
	int right() const { return x2; }
	int bottom() const { return y2; }
	int width() const { return x2 - x1; }
	int height() const { return y2 - y1; }
	ePoint topLeft() const { return ePoint(x1, y1); }
	eSize size() const { return eSize(width(), height()); }
	bool contains(int x, int y) const { return x >= x1 && x < x2 && y >= y1 && y < y2; }
	bool contains(ePoint p) const { return contains(p.x, p.y); }
	void moveBy(int dx, int dy)
	{
		x1 += dx;
		x2 += dx;
		y1 += dy;
		y2 += dy;
	}
	eRect translated(ePoint d) const
	{
		eRect r = *this;
		r.moveBy(d.x, d.y);
		return r;
	}
	eRect intersect(const eRect& o) const
	{
		eRect r;
		r.x1 = x1 > o.x1 ? x1 : o.x1;
		r.y1 = y1 > o.y1 ? y1 : o.y1;
		r.x2 = x2 < o.x2 ? x2 : o.x2;
		r.y2 = y2 < o.y2 ? y2 : o.y2;
		if (r.isNull())
			return eRect();
		return r;
	}
	bool operator==(const eRect& o) const { return x1 == o.x1 && y1 == o.y1 && x2 == o.x2 && y2 == o.y2; }
	bool operator!=(const eRect& o) const { return !(*this == o); }
};

#endif
