#ifndef GAME_ANCHOR_H
#define GAME_ANCHOR_H

namespace game
{
/** Which point of a sprite, composite or text lands on the drawing position. */
class Anchor
{
public:
	enum Vertical
	{
		TOP,
		VCENTER,
		BOTTOM,
		BASELINE,
		VPIVOT
	};
	enum Horizontal
	{
		LEFT,
		HCENTER,
		RIGHT,
		HPIVOT
	};

	int vertical;
	int horizontal;

	Anchor() : vertical(TOP), horizontal(LEFT) {}
	Anchor(int v, int h) : vertical(v), horizontal(h) {}

	/**
	 * Sets the one component the keyword names ("TOP" ... "VPIVOT", "LEFT" ... "HPIVOT").
	 * A null or empty keyword changes nothing; other text throws lang::Exception "Invalid anchor: {0}".
	 */
	void fromString(const char* keyword);

	bool operator==(const Anchor& o) const { return vertical == o.vertical && horizontal == o.horizontal; }
	bool operator!=(const Anchor& o) const { return !(*this == o); }
};
}

#endif
