#ifndef CONVEXDECOMPOSITION_B2TRIANGLE_H
#define CONVEXDECOMPOSITION_B2TRIANGLE_H

/** A triangle kept counter-clockwise. */
class b2Triangle
{
public:
	float x[3];
	float y[3];

	b2Triangle();
	/** Swaps the second and third points when the three run clockwise (or lie on a line). */
	b2Triangle(float x1, float y1, float x2, float y2, float x3, float y3);
	void Set(const b2Triangle& other);
	/** Barycentric test; points on an edge count as inside. */
	bool IsInside(float px, float py) const;
};

#endif
