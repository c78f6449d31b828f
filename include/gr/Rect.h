#ifndef GR_RECT_H
#define GR_RECT_H

namespace gr
{
/** Integer rectangle; right and bottom are edge coordinates, not sizes. */
class Rect
{
public:
	Rect() : m_left(0), m_top(0), m_right(0), m_bottom(0) {}
	Rect(int width, int height) : m_left(0), m_top(0), m_right(width), m_bottom(height) {}
	Rect(int left, int top, int right, int bottom) : m_left(left), m_top(top), m_right(right), m_bottom(bottom) {}

	void setLeft(int v) { m_left = v; }
	void setTop(int v) { m_top = v; }
	void setRight(int v) { m_right = v; }
	void setBottom(int v) { m_bottom = v; }

	int left() const { return m_left; }
	int top() const { return m_top; }
	int right() const { return m_right; }
	int bottom() const { return m_bottom; }
	int width() const { return m_right - m_left; }
	int height() const { return m_bottom - m_top; }

	bool operator==(const Rect& o) const
	{
		return m_left == o.m_left && m_top == o.m_top && m_right == o.m_right && m_bottom == o.m_bottom;
	}
	bool operator!=(const Rect& o) const { return !(*this == o); }

private:
	int m_left, m_top, m_right, m_bottom;
};
}

#endif
