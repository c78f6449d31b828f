#ifndef QF3D_CONTENTWRITER_H
#define QF3D_CONTENTWRITER_H

#include <game/ContentTag.h>
#include <cstdint>
#include <string>
#include <vector>

/** Encoding of the engine's content files: the "QF3D" container and its four chunk types. */
namespace qf3d
{
typedef std::vector<uint8_t> Bytes;

/** The chunk tags, as the engine reads them. */
typedef game::ContentTag Tag;

/** The most the readers take from a signed 16-bit count (sprites, glyphs, composites, ids, locales). */
const int MAX_COUNT16 = 32767;
/** The most locales the untagged text layout holds: its count is a signed byte. */
const int MAX_UNTAGGED_LOCALES = 127;

/**
 * n as a count field of at most limit; past it, std::length_error "{n} {what}: the engine reads
 * at most {limit}" (a larger count would read back as another number).
 */
int countField(size_t n, int limit, const std::string& what);

/** Big-endian numbers and 16-bit-length strings appended to a byte vector. */
class ByteWriter
{
public:
	void int8(int v);
	void int16(int v);
	void int32(int v);
	/** A signed 16-bit byte count and the bytes; throws std::runtime_error past 32767 bytes. */
	void utf(const std::string& text);
	void append(const Bytes& bytes);
	const Bytes& bytes() const { return m_bytes; }

private:
	Bytes m_bytes;
};

struct SpriteRecord
{
	std::string name;
	int x, y, width, height, pivotX, pivotY;
};

struct SheetRecord
{
	/** Relative to the sheet file's directory. */
	std::string image;
	std::vector<SpriteRecord> sprites;
};

struct CompoPart
{
	std::string sprite;
	int x, y;
};

/** Written by version 2 only; the engine reads and drops them. */
struct CompoExtra
{
	std::string name;
	int a, b;
};

struct CompoRecord
{
	std::string name;
	std::vector<CompoPart> parts;
	std::vector<CompoExtra> extras;
};

struct GlyphRecord
{
	/** UTF-16 code unit. */
	int code;
	int x, y, width, height;
	/** Pixels from the glyph's top edge. */
	int baseline;
	/** Version 2 only: the box's left edge right of the pen, and how far the pen moves. */
	int left = 0;
	int advance = 0;
};

struct FontRecord
{
	std::string image;
	int leading = 0;
	int tracking = 0;
	std::vector<GlyphRecord> glyphs;
};

struct TextSetRecord
{
	std::vector<std::string> locales;
	std::vector<std::string> ids;
	/** texts[locale][id], in the order of locales and ids. */
	std::vector<std::vector<std::string>> texts;
};

/** How a file is laid out: the fixtures use the variants. */
struct Layout
{
	/** The older layout without the container (not for composites). */
	bool untagged = false;
	/** Chunk version; 0 is the type's usual one. */
	int version = 0;
	/** An "ABCD" chunk of 12 bytes before the content chunk. */
	bool unknownChunk = false;
};

struct Chunk
{
	uint32_t tag;
	Bytes body;
};

/** The magic, the payload length and the chunks back to back. */
Bytes container(const std::vector<Chunk>& chunks);
/** A chunk whose body starts with an int16 version. */
Chunk versioned(uint32_t tag, int version, const Bytes& body);
/** Sub-chunks laid out as chunks (tag, size, body), back to back. */
Bytes subChunks(const std::vector<Chunk>& chunks);

/** The fields after the version: also the untagged layout. Counts past their field throw std::length_error. */
Bytes sheetBody(const SheetRecord& sheet);
/** Version 2 adds each glyph's left and advance; version 1 (and the untagged layout) has neither. */
Bytes fontBody(const FontRecord& font, int version = 1);
/** Version 2 adds each composite's extra records. */
Bytes compoBody(const std::vector<CompoRecord>& compos, int version);
/** The LDAT, LIDS and TXGP sub-chunks. */
Bytes textBody(const TextSetRecord& texts);
Bytes untaggedTexts(const TextSetRecord& texts);

Bytes encodeSheet(const SheetRecord& sheet, const Layout& layout = Layout());
Bytes encodeFont(const FontRecord& font, const Layout& layout = Layout());
Bytes encodeCompos(const std::vector<CompoRecord>& compos, const Layout& layout = Layout());
Bytes encodeTexts(const TextSetRecord& texts, const Layout& layout = Layout());

/** Writes bytes to path through a temporary name and a rename; throws std::runtime_error. */
void writeFile(const std::string& path, const Bytes& bytes);
}

#endif
