#include "GameTestSupport.h"
#include <game/BitmapFont.h>
#include <game/CompoSpriteSet.h>
#include <game/SpriteSheet.h>
#include <game/TextGroupSet.h>
#include <io/BundleInputStream.h>

using namespace gametest;

namespace
{
enum Kind
{
	SHEET,
	COMPO,
	FONT,
	TEXTS
};

/** Loads a file of the bundle as its kind; throws as the reader does. */
void load(RecordingContext& ctx, Kind kind, const std::string& name)
{
	switch (kind)
	{
	case SHEET:
		game::SpriteSheet(&ctx, name);
		break;
	case FONT:
		game::BitmapFont(&ctx, name);
		break;
	case TEXTS:
	{
		game::TextGroupSet set(name);
		set.loadLocaleCodes();
		set.loadTextGroup("ALL");
		break;
	}
	case COMPO:
	{
		struct AnySprite : game::SpriteProvider
		{
			lang::Ptr<game::SpriteSheet> sheet = new game::SpriteSheet(nullptr);
			game::Sprite* getSprite(const std::string& n) override { return sheet->createSprite(n, 0, 0, 4, 4, 0, 0); }
		} provider;
		io::BundleInputStream file(name);
		game::CompoSpriteSet set(file, &provider);
		break;
	}
	}
}

struct Sample
{
	const char* name;
	Kind kind;
	qf3d::Bytes bytes;
};

std::vector<Sample> samples()
{
	const qf3d::SheetRecord sheet = {"i.png", {{"a", 0, 0, 4, 4, 1, 1}, {"", 4, 0, 4, 4, 0, 0}}};
	const qf3d::FontRecord font = {"i.png", 9, 1, {{'A', 0, 0, 4, 8, 6}, {'B', 4, 0, 4, 8, 6}}};
	const std::vector<qf3d::CompoRecord> compos = {{"c", {{"a", 0, 0}, {"b", 3, 3}}, {{"e", 1, 1}}}};
	qf3d::TextSetRecord texts;
	texts.locales = {"en", "fr"};
	texts.ids = {"t", "u"};
	texts.texts = {{"T", "U"}, {"TT", "UU"}};
	qf3d::Layout untagged, unknown, v2;
	untagged.untagged = true;
	unknown.unknownChunk = true;
	v2.version = 2;
	return {
		{"s.sheet", SHEET, qf3d::encodeSheet(sheet, unknown)},
		{"u.sheet", SHEET, qf3d::encodeSheet(sheet, untagged)},
		{"f.font", FONT, qf3d::encodeFont(font, unknown)},
		{"u.font", FONT, qf3d::encodeFont(font, untagged)},
		{"c.compo", COMPO, qf3d::encodeCompos(compos, v2)},
		{"t.lang", TEXTS, qf3d::encodeTexts(texts, unknown)},
		{"u.lang", TEXTS, qf3d::encodeTexts(texts, untagged)},
	};
}

int readInt(const qf3d::Bytes& b, size_t at)
{
	return int(uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3]);
}

/** Offsets of every size field of a sample: payload length, chunk and sub-chunk sizes, untagged text tables. */
std::vector<size_t> sizeFields(const Sample& s)
{
	std::vector<size_t> out;
	const qf3d::Bytes& b = s.bytes;
	if (readInt(b, 0) == int(qf3d::Tag::QF3D))
	{
		out.push_back(4);
		for (size_t at = 8; at + 8 <= b.size();)
		{
			const int tag = readInt(b, at), size = readInt(b, at + 4);
			out.push_back(at + 4);
			if (tag == int(qf3d::Tag::TEXT))
			{
				for (size_t sub = at + 10; sub + 8 <= at + 8 + size_t(size); sub += 8 + size_t(readInt(b, sub + 4)))
					out.push_back(sub + 4);
			}
			at += 8 + size_t(size);
		}
	}
	else if (s.kind == TEXTS)
	{
		// Byte, block length, block (count + 2 codes), id count, 2 ids, then the offset table.
		out.push_back(1);
		const size_t table = 5 + size_t(readInt(b, 1)) + 2 + 2 * 3;
		out.push_back(table);
		out.push_back(table + 4);
	}
	return out;
}

void putInt(qf3d::Bytes& b, size_t at, int v)
{
	for (int i = 0; i < 4; ++i)
		b[at + size_t(i)] = uint8_t(uint32_t(v) >> (24 - 8 * i));
}
}

TEST(ContentFile, EmptyContainersReadAsEmpty)
{
	Bundle bundle;
	bundle.image("i.png", 8, 8);
	const qf3d::Bytes empty = qf3d::container({});
	for (const char* name : {"e.sheet", "e.font", "e.lang", "e.compo"})
		bundle.write(name, empty);
	RecordingContext ctx;
	lang::Ptr<game::SpriteSheet> sheet = new game::SpriteSheet(&ctx, "e.sheet");
	EXPECT_TRUE(sheet->getSprites().empty());
	lang::Ptr<game::BitmapFont> font = new game::BitmapFont(&ctx, "e.font");
	EXPECT_EQ(font->getStringWidth("A", 0, 1), 0);
	game::TextGroupSet texts("e.lang");
	texts.loadLocaleCodes();
	EXPECT_TRUE(texts.getLocaleCodes().empty());
	EXPECT_EQ(texts.loadTextGroup("ALL"), nullptr);
	EXPECT_NO_THROW(load(ctx, COMPO, "e.compo"));
}

TEST(ContentFile, APayloadLengthPastTheDataIsMalformed)
{
	Bundle bundle;
	qf3d::Bytes bytes = qf3d::container({{0x41424344, qf3d::Bytes(4, 0)}});
	bytes.resize(20);
	putInt(bytes, 4, 1000);
	RecordingContext ctx;
	for (Kind kind : {SHEET, COMPO, FONT, TEXTS})
	{
		bundle.write("big", bytes);
		EXPECT_EQ(thrownMessage([&] { load(ctx, kind, "big"); }), "Malformed QF3D file: " + std::string(kind == COMPO ? bundle.path() + "/" : "") + "big");
	}
}

// Every truncation and every damaged size field either reads or throws an exception naming the file.
TEST(ContentFile, DamagedFilesThrowNamingTheFile)
{
	Bundle bundle;
	bundle.image("i.png", 8, 8);
	RecordingContext ctx;
	int failures = 0, reads = 0;
	auto check = [&](const Sample& s, const qf3d::Bytes& bytes, const std::string& what) {
		bundle.write(s.name, bytes);
		const std::string message = thrownMessage([&] { load(ctx, s.kind, s.name); });
		if (message.empty())
			++reads;
		else
			++failures;
		EXPECT_TRUE(message.empty() || message.find(s.name) != std::string::npos) << s.name << " " << what << ": " << message;
	};
	for (const Sample& s : samples())
	{
		bundle.write(s.name, s.bytes);
		ASSERT_NO_THROW(load(ctx, s.kind, s.name)) << s.name;
		for (size_t n = 0; n < s.bytes.size(); ++n)
			check(s, qf3d::Bytes(s.bytes.begin(), s.bytes.begin() + long(n)), "cut at " + std::to_string(n));
		const std::vector<size_t> fields = sizeFields(s);
		EXPECT_FALSE(s.kind != SHEET && s.kind != FONT && fields.empty()) << s.name;
		for (size_t at : fields)
		{
			for (int v : {-1, 0, 1, int(s.bytes.size()), 0x7FFFFFFF})
			{
				qf3d::Bytes damaged = s.bytes;
				putInt(damaged, at, v);
				check(s, damaged, "size at " + std::to_string(at) + " set to " + std::to_string(v));
			}
		}
	}
	EXPECT_GT(failures, 100);
	EXPECT_GT(reads, 0);
}
