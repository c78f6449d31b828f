#include "TestStreams.h"
#include <io/ByteArrayInputStream.h>
#include <io/ByteArrayOutputStream.h>
#include <io/InputStream.h>
#include <io/OutputStream.h>
#include <gtest/gtest.h>
#include <cstdint>
#include <numeric>

namespace
{
std::vector<unsigned char> counting(int n)
{
	std::vector<unsigned char> v(static_cast<size_t>(n));
	for (int i = 0; i < n; ++i)
		v[static_cast<size_t>(i)] = static_cast<unsigned char>(i * 7 + 1);
	return v;
}
}

TEST(ByteArrayInputStream, ReadSkipSeekAndAvailable)
{
	const std::vector<unsigned char> bytes = counting(10);
	io::ByteArrayInputStream in(bytes.data(), 10);
	unsigned char buf[16];

	EXPECT_EQ(4, in.read(buf, 4));
	EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 4), std::vector<unsigned char>(buf, buf + 4));
	EXPECT_EQ(6, in.available());
	EXPECT_EQ(0, in.read(buf, 0));

	EXPECT_TRUE(in.seek(0, io::InputStream::SEEK_END_));
	EXPECT_EQ(0, in.read(buf, 4));
	EXPECT_TRUE(in.seek(-3, io::InputStream::SEEK_END_));
	EXPECT_EQ(3, in.read(buf, 10));
	EXPECT_EQ(bytes[7], buf[0]);

	EXPECT_TRUE(in.seek(8, io::InputStream::SEEK_BEGIN));
	EXPECT_EQ(2, in.skip(2));
	EXPECT_EQ(0, in.available());

	EXPECT_TRUE(in.seek(2, io::InputStream::SEEK_BEGIN));
	EXPECT_TRUE(in.seek(3, io::InputStream::SEEK_CURRENT));
	EXPECT_TRUE(in.seek(-1, io::InputStream::SEEK_CURRENT));
	EXPECT_EQ(6, in.available());
	EXPECT_TRUE(in.seek(7, static_cast<io::InputStream::SeekMode>(9))); // unknown mode: position kept
	EXPECT_EQ(6, in.available());
	EXPECT_EQ("ByteArrayInputStream", in.toString());
}

TEST(ByteArrayInputStream, ConstructionAndReset)
{
	io::ByteArrayInputStream empty;
	EXPECT_EQ(nullptr, empty.data());
	EXPECT_EQ(0, empty.available());

	io::ByteArrayInputStream zeros(nullptr, 5);
	ASSERT_EQ(5, zeros.available());
	EXPECT_EQ(std::vector<uint8_t>(5, 0), std::vector<uint8_t>(zeros.data(), zeros.data() + 5));

	const char text[] = "abc";
	zeros.setName("level.bin");
	zeros.skip(2);
	zeros.reset(text, 3);
	EXPECT_EQ(3, zeros.available());
	EXPECT_EQ('a', zeros.data()[0]);
	EXPECT_EQ("level.bin", zeros.toString());
	zeros.reset(nullptr, 0);
	EXPECT_EQ(nullptr, zeros.data());
}

TEST(ByteArrayInputStream, ReadsAnotherStreamWhole)
{
	struct Case { int size; int piece; bool lengthKnown; };
	const Case cases[] = {
		{2500, 4096, false, }, // reads of 1024, 1024, 452
		{2048, 4096, false},   // an exact multiple of the piece size
		{0, 4096, false},
		{2500, 300, false},    // short reads before the end
		{2500, 4096, true},
		{2500, 7, true},
		{0, 7, true},
	};
	for (const Case& c : cases)
	{
		const std::vector<unsigned char> bytes = counting(c.size);
		iotest::PieceStream source(bytes, c.piece, c.lengthKnown);
		io::ByteArrayInputStream in(source);
		EXPECT_EQ(c.size, in.available()) << c.size << " " << c.piece << " " << c.lengthKnown;
		EXPECT_EQ(bytes, std::vector<unsigned char>(in.data(), in.data() + in.size()));
		EXPECT_EQ("pieces.bin", in.toString());
		if (c.size == 2500 && c.piece == 4096 && !c.lengthKnown)
		{
			EXPECT_EQ((std::vector<int>{1024, 1024, 452}), source.m_reads);
		}
	}
}

TEST(ByteArrayOutputStream, AppendsInOrder)
{
	io::ByteArrayOutputStream out(64);
	const std::vector<unsigned char> a = counting(3);
	const std::vector<unsigned char> b = counting(100);
	out.write(a.data(), 3);
	out.write(nullptr, 0);
	out.write(b.data(), 100);
	std::vector<unsigned char> expected(a);
	expected.insert(expected.end(), b.begin(), b.end());
	EXPECT_EQ(expected, out.data());
	EXPECT_EQ("ByteArrayOutputStream", out.toString());
}

namespace
{
// Decorators that change nothing: every operation goes to the source.
struct PassInput : io::InputStream
{
	explicit PassInput(io::InputStream& in) : io::InputStream(in) {}
	explicit PassInput(lang::Ptr<io::InputStream> in) : io::InputStream(in) {}
};
struct PassOutput : io::OutputStream
{
	explicit PassOutput(io::OutputStream& out) : io::OutputStream(out) {}
	explicit PassOutput(lang::Ptr<io::OutputStream> out) : io::OutputStream(out) {}
};
}

TEST(InputStream, ForwardsEveryOperation)
{
	const std::vector<unsigned char> bytes = counting(10);
	io::ByteArrayInputStream source(bytes.data(), 10);
	source.setName("data/level1.bin");
	PassInput byRef(source);
	unsigned char buf[4];
	EXPECT_EQ(2, byRef.read(buf, 2));
	EXPECT_EQ(3, byRef.skip(3));
	EXPECT_EQ(5, byRef.available());
	EXPECT_TRUE(byRef.seek(-1, io::InputStream::SEEK_END_));
	EXPECT_EQ(1, source.available());
	EXPECT_EQ("data/level1.bin", byRef.toString());
	EXPECT_EQ(&source, &byRef.getEmbeddedStream());

	// A held stream is kept alive by the wrapper.
	lang::Ptr<io::InputStream> held = new io::ByteArrayInputStream(bytes.data(), 10);
	{
		PassInput owner(held);
		EXPECT_EQ(2, held->refs());
		EXPECT_EQ(held.ptr(), &owner.getEmbeddedStream());
		EXPECT_EQ(4, owner.read(buf, 4));
		EXPECT_EQ(bytes[3], buf[3]);
	}
	EXPECT_EQ(1, held->refs());
}

TEST(OutputStream, ForwardsEveryOperation)
{
	io::ByteArrayOutputStream sink;
	PassOutput byRef(sink);
	byRef.write("ab", 2);
	lang::Ptr<io::OutputStream> held = new io::ByteArrayOutputStream;
	PassOutput owner(held);
	owner.write("xyz", 3);
	EXPECT_EQ((std::vector<uint8_t>{'a', 'b'}), sink.data());
	EXPECT_EQ(3u, static_cast<io::ByteArrayOutputStream&>(*held).data().size());
	EXPECT_EQ("ByteArrayOutputStream", byRef.toString());
	EXPECT_EQ("ByteArrayOutputStream", owner.toString());
}

TEST(StreamDeathTest, BrokenContractsStop)
{
	GTEST_FLAG_SET(death_test_style, "threadsafe");
	const std::vector<unsigned char> bytes = counting(10);
	io::ByteArrayInputStream in(bytes.data(), 10);
	unsigned char buf[4];
	EXPECT_DEATH(in.read(buf, -1), "n >= 0");
	in.seek(8, io::InputStream::SEEK_BEGIN);
	EXPECT_DEATH(in.skip(3), "m_index.*<= size");
	EXPECT_DEATH(in.skip(0x7FFFFFFF), "m_index.*<= size"); // no wrap-around past the check
	EXPECT_DEATH(in.skip(-1), "n >= 0");
	EXPECT_DEATH(in.seek(-1, io::InputStream::SEEK_BEGIN), "offset >= 0");
	EXPECT_DEATH(in.seek(11, io::InputStream::SEEK_BEGIN), "offset <= size");
	EXPECT_DEATH(in.seek(3, io::InputStream::SEEK_CURRENT), "index \\+ offset <= size");
	EXPECT_DEATH(in.seek(-9, io::InputStream::SEEK_CURRENT), "index \\+ offset >= 0");
	EXPECT_DEATH(in.seek(0x7FFFFFFF, io::InputStream::SEEK_CURRENT), "index \\+ offset <= size");
	EXPECT_DEATH(in.seek(1, io::InputStream::SEEK_END_), "offset <= 0");
	EXPECT_DEATH(in.seek(-11, io::InputStream::SEEK_END_), "size \\+ offset >= 0");

	// Forwarding through a stream built on nothing.
	PassInput nothing{lang::Ptr<io::InputStream>()};
	EXPECT_DEATH(nothing.available(), "m_ptr");
	PassOutput nowhere{lang::Ptr<io::OutputStream>()};
	EXPECT_DEATH(nowhere.write("a", 1), "m_ptr");
}
