#ifndef GR_SORTBUFFER_H
#define GR_SORTBUFFER_H

#include <stddef.h>
#include <stdint.h>
#include <vector>

namespace gr
{
/**
 * Scratch memory for sorting triangles, kept by a context and reused by
 * every sort so that sorting allocates nothing once it has grown.
 */
class SortBuffer
{
public:
	SortBuffer() : m_floats(nullptr), m_shorts(nullptr) {}
	~SortBuffer();

	/** Lays out b floats, then a 16-bit values, then an end marker. */
	void reset(int a, int b);

	float* floats() { return m_floats; }
	uint16_t* shorts() { return m_shorts; }
	size_t size() const { return m_buf.size(); }

private:
	std::vector<uint8_t> m_buf;
	float* m_floats;
	uint16_t* m_shorts;

	SortBuffer(const SortBuffer&) = delete;
	SortBuffer& operator=(const SortBuffer&) = delete;
};
}

#endif
