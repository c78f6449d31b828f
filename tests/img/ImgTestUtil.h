#ifndef IMG_TESTS_IMGTESTUTIL_H
#define IMG_TESTS_IMGTESTUTIL_H

#include "ImageFixtures.h"
#include <gr/SurfaceFormat.h>
#include <img/ImageReader.h>
#include <io/ByteArrayInputStream.h>
#include <io/IOException.h>
#include <gtest/gtest.h>
#include <cstring>
#include <functional>
#include <string>

namespace imgtest
{
using imgfix::Bytes;
using SF = gr::SurfaceFormat;

inline std::string fixturePath(const std::string& name)
{
	return std::string(ENGINE_SOURCE_DIR) + "/tests/data/img/" + name;
}

/** A memory stream named like a file, so messages can be checked for the name. */
inline lang::Ptr<io::InputStream> memory(const Bytes& bytes, const std::string& name = "test.img")
{
	io::ByteArrayInputStream* s = new io::ByteArrayInputStream(bytes.data(), static_cast<int>(bytes.size()));
	s->setName(name);
	return s;
}

inline lang::Ptr<img::ImageReader> open(const Bytes& bytes, io::FileFormat format, const std::string& name = "test.img")
{
	return new img::ImageReader(memory(bytes, name), format);
}

/** Reads the next surface as R, G, B, A bytes. */
inline Bytes readRGBA(img::ImageReader& r)
{
	const int w = r.surfaceWidth(), h = r.surfaceHeight();
	Bytes out(static_cast<size_t>(w) * h * 4, 0xCD);
	r.readSurface(out.data(), w * 4, w, h, SF(SF::SURFACE_A8B8G8R8), nullptr, SF());
	return out;
}

/**
 * Reads the next surface in the file's own format into a buffer of the format's size for
 * it, failing the test when the reader writes past that size.
 */
inline Bytes readNative(img::ImageReader& r)
{
	const int w = r.surfaceWidth(), h = r.surfaceHeight();
	const SF fmt = r.format();
	const size_t size = static_cast<size_t>(fmt.getMemoryUsage(w, h));
	const size_t GUARD = 64;
	Bytes out(size + GUARD, 0xCD);
	r.readSurface(out.data(), fmt.getMemoryUsage(w, 1), w, h, fmt, nullptr, SF());
	EXPECT_EQ(Bytes(GUARD, 0xCD), Bytes(out.begin() + static_cast<ptrdiff_t>(size), out.end()))
		<< fmt.toString() << " " << w << "x" << h << " written past " << size << " bytes";
	out.resize(size);
	return out;
}

/** The message of the exception of type E that f throws; fails the test when it throws nothing. */
template <class E> std::string messageOf(const std::function<void()>& f)
{
	try
	{
		f();
	}
	catch (const E& e)
	{
		return e.getMessage().format();
	}
	ADD_FAILURE() << "no exception";
	return std::string();
}

/**
 * Delivers its bytes up to failAt, then throws from the read that would pass
 * it (a read that straddles failAt first gets the bytes before it when
 * partial is set).
 */
class FailingInputStream : public io::InputStream
{
public:
	FailingInputStream(const Bytes& bytes, int failAt, bool partial)
		: io::InputStream(lang::Ptr<io::InputStream>()), m_bytes(bytes), m_pos(0), m_failAt(failAt), m_partial(partial)
	{
	}
	int read(void* buf, int n) override
	{
		const int size = static_cast<int>(m_bytes.size());
		if (n > size - m_pos)
			n = size - m_pos;
		if (m_pos + n > m_failAt)
		{
			if (!m_partial || m_pos >= m_failAt)
				throw io::IOException(lang::Format("Disk gone under {0}", toString()));
			n = m_failAt - m_pos;
		}
		std::memcpy(buf, m_bytes.data() + m_pos, static_cast<size_t>(n));
		m_pos += n;
		return n;
	}
	int skip(int n) override
	{
		m_pos += n;
		return n;
	}
	bool seek(int, SeekMode) override { return false; }
	int available() const override { return -1; }
	std::string toString() const override { return "failing.img"; }

private:
	Bytes m_bytes;
	int m_pos;
	int m_failAt;
	bool m_partial;
};

// The patterns the fixture script gives ImageMagick (9 x 4 pixels).
inline void patternA(int x, int y, int c[4])
{
	c[0] = 25 * x + 5;
	c[1] = 60 * y + 15;
	c[2] = 250 - 20 * x - 30 * y;
	c[3] = 255 - 20 * x - 10 * y;
}

inline void patternB(int x, int y, int c[4])
{
	const int i = (x + 3 * y) % 16;
	c[0] = 17 * i;
	c[1] = 255 - 17 * i;
	c[2] = (53 * i) % 256;
	c[3] = 255;
}

inline void patternC(int x, int y, int c[4])
{
	c[0] = c[1] = c[2] = 28 * x + 5 * y;
	c[3] = 255 - 25 * x;
}

inline void patternD(int x, int y, int c[4])
{
	static const int colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
	const int* k = colours[(x + y) % 4];
	c[0] = k[0];
	c[1] = k[1];
	c[2] = k[2];
	c[3] = 255;
}

/** Pattern D with its white pixels transparent. */
inline void patternDTransparentWhite(int x, int y, int c[4])
{
	patternD(x, y, c);
	if (c[0] == 255 && c[1] == 255 && c[2] == 255)
		c[3] = 0;
}
}

#endif
