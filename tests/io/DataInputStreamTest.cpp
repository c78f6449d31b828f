#include "TestStreams.h"
#include <io/ByteArrayInputStream.h>
#include <io/DataInputStream.h>
#include <io/IOException.h>
#include <gtest/gtest.h>
#include <cmath>
#include <functional>
#include <limits>

namespace
{
// A named memory source.
struct Bytes : io::ByteArrayInputStream
{
	Bytes(std::vector<unsigned char> b, const char* name = "test.dat")
	    : io::ByteArrayInputStream(b.data(), static_cast<int>(b.size()))
	{
		setName(name);
	}
};
}

TEST(DataInputStream, TypedReadsAreBigEndian)
{
	Bytes src({
		0xFF, 0xFE,                                     // short -2
		0xFF, 0xFE,                                     // bytes 255, 254
		0xFF, 0xFE,                                     // chars -1, -2
		0x3F, 0x80, 0x00, 0x00,                         // float 1.0
		0x00, 0x00, 0x01, 0x00,                         // int 256
		0x80, 0x00, 0x00, 0x00,                         // int minimum
		0x7F, 0xFF,                                     // short 32767
		0xC0, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18, // double -pi
		0x00, 0x02,                                     // two booleans
		0x7F, 0xC0, 0x00, 0x00,                         // float NaN
	});
	io::DataInputStream in(src);
	EXPECT_EQ(-2, in.readShort());
	EXPECT_EQ(255, in.readByte());
	EXPECT_EQ(254, in.readByte());
	EXPECT_EQ(-1, in.readChar());
	EXPECT_EQ(-2, in.readChar());
	EXPECT_EQ(1.0f, in.readFloat());
	EXPECT_EQ(256, in.readInt());
	EXPECT_EQ(std::numeric_limits<int>::min(), in.readInt());
	EXPECT_EQ(32767, in.readShort());
	EXPECT_EQ(-M_PI, in.readDouble());
	EXPECT_FALSE(in.readBoolean());
	EXPECT_TRUE(in.readBoolean());
	EXPECT_TRUE(std::isnan(in.readFloat()));
	EXPECT_EQ(0, in.available());
}

TEST(DataInputStream, Strings)
{
	Bytes src({0x00, 0x03, 'A', 'B', 'C', 0x00, 0x00, 0x00, 0x02, 0xC3, 0xA9});
	io::DataInputStream in(src);
	EXPECT_EQ("ABC", in.readUTF());
	EXPECT_EQ("", in.readUTF());
	EXPECT_EQ("\xC3\xA9", in.readUTF()); // bytes as they are, not decoded

	Bytes src2({0x00, 0x03, 'A', 'B', 'C', 0x00, 0x00});
	io::DataInputStream in2(src2);
	char buf[4] = {'#', '#', '#', '#'};
	in2.readUTF(buf, 4);
	EXPECT_STREQ("ABC", buf);
	in2.readUTF(buf, 1);
	EXPECT_STREQ("", buf);
}

TEST(DataInputStream, ReadCharsEndsEachPieceAtItsFirstZero)
{
	Bytes src({0x41, 0x00, 0x42, 0x43, 0x44});
	io::DataInputStream in(src);
	EXPECT_EQ("A", in.readChars(4));
	EXPECT_EQ("", in.readChars(0));
	EXPECT_EQ("", in.readChars(-5));
	EXPECT_EQ("D", in.readChars(1));

	// Longer than one piece; a zero in the first piece does not cut the second.
	std::string letters;
	for (int i = 0; i < 300; ++i)
		letters += static_cast<char>('a' + i % 26);
	std::string withZero = letters;
	withZero[10] = 0;
	io::ByteArrayInputStream src2((letters + withZero).data(), 600);
	io::DataInputStream in2(src2);
	EXPECT_EQ(letters, in2.readChars(300));
	EXPECT_EQ(letters.substr(0, 10) + letters.substr(249), in2.readChars(300));
}

TEST(DataInputStream, ErrorsNameTheSource)
{
	struct Case { std::vector<unsigned char> data; std::function<void(io::DataInputStream&)> read; const char* message; };
	const Case cases[] = {
		{{0, 0, 1}, [](io::DataInputStream& in) { in.readInt(); }, "Unexpected end of file in level.dat."},
		{{}, [](io::DataInputStream& in) { in.readByte(); }, "Unexpected end of file in level.dat."},
		{{1}, [](io::DataInputStream& in) { in.readShort(); }, "Unexpected end of file in level.dat."},
		{{1, 2, 3, 4, 5, 6, 7}, [](io::DataInputStream& in) { in.readDouble(); }, "Unexpected end of file in level.dat."},
		{{0, 5, 'a', 'b'}, [](io::DataInputStream& in) { in.readUTF(); }, "Unexpected end of file in level.dat."},
		{{'a'}, [](io::DataInputStream& in) { in.readChars(2); }, "Unexpected end of file in level.dat."},
		{{0xFF, 0xFF}, [](io::DataInputStream& in) { in.readUTF(); }, "Invalid UTF-8 data in level.dat."},
		{{0x80, 0x00}, [](io::DataInputStream& in) { char b[4]; in.readUTF(b, 4); }, "Invalid UTF-8 data in level.dat."},
		{{0, 3, 'A', 'B', 'C'}, [](io::DataInputStream& in) { char b[3]; in.readUTF(b, 3); }, "Too small buffer (3) for UTF-8 data in level.dat."},
		{{0, 0}, [](io::DataInputStream& in) { char b[1]; in.readUTF(b, 0); }, "Too small buffer (0) for UTF-8 data in level.dat."},
		{{1, 2}, [](io::DataInputStream& in) { char b[1]; in.readFully(b, -1); }, "Invalid read size -1 in level.dat."},
	};
	for (const Case& c : cases)
	{
		io::ByteArrayInputStream src(c.data.data(), static_cast<int>(c.data.size()));
		src.setName("level.dat");
		io::DataInputStream in(src);
		EXPECT_EQ(c.message, iotest::messageOf<io::IOException>([&] { c.read(in); })) << c.message;
	}
}

TEST(DataInputStream, SourcesThatDeliverInPiecesStillReadWhole)
{
	iotest::PieceStream src({0x00, 0x00, 0x01, 0x00, 0x00, 0x02, 'h', 'i'}, 1, false, "pipe");
	io::DataInputStream in(src);
	EXPECT_EQ(256, in.readInt());
	EXPECT_EQ("hi", in.readUTF());
	EXPECT_EQ("Unexpected end of file in pipe.", iotest::messageOf<io::IOException>([&] { in.readByte(); }));
}

TEST(DataInputStream, ForwardsStreamOperationsAndServesTheInterface)
{
	Bytes src({1, 2, 3, 4, 5, 6}, "sheet.dat");
	io::DataInputStream in(src);
	EXPECT_EQ("sheet.dat", in.toString());
	EXPECT_EQ(6, in.available());
	EXPECT_EQ(2, in.skip(2));
	EXPECT_TRUE(in.seek(-1, io::InputStream::SEEK_END_));
	EXPECT_EQ(6, in.readByte());
	EXPECT_TRUE(in.seek(2, io::InputStream::SEEK_BEGIN));
	io::DataInput& data = in;
	unsigned char b[2];
	EXPECT_EQ(2, data.read(b, 2));
	EXPECT_EQ(3, b[0]);
	EXPECT_EQ(1, data.skip(1));
	EXPECT_EQ(6, data.readByte());
	EXPECT_EQ(0, src.available());
}
