#include <qf3d/ContentWriter.h>
#include <cstdio>
#include <stdexcept>

namespace qf3d
{
int countField(size_t n, int limit, const std::string& what)
{
	if (n > size_t(limit))
		throw std::length_error(std::to_string(n) + " " + what + ": the engine reads at most " + std::to_string(limit));
	return int(n);
}

void ByteWriter::int8(int v)
{
	m_bytes.push_back(uint8_t(v));
}

void ByteWriter::int16(int v)
{
	m_bytes.push_back(uint8_t(v >> 8));
	m_bytes.push_back(uint8_t(v));
}

void ByteWriter::int32(int v)
{
	const uint32_t u = uint32_t(v);
	for (int shift = 24; shift >= 0; shift -= 8)
		m_bytes.push_back(uint8_t(u >> shift));
}

void ByteWriter::utf(const std::string& text)
{
	if (text.size() > 32767)
		throw std::runtime_error("string too long: " + text.substr(0, 40) + "...");
	int16(int(text.size()));
	m_bytes.insert(m_bytes.end(), text.begin(), text.end());
}

void ByteWriter::append(const Bytes& bytes)
{
	m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
}

Bytes subChunks(const std::vector<Chunk>& chunks)
{
	ByteWriter w;
	for (const Chunk& c : chunks)
	{
		w.int32(int(c.tag));
		w.int32(int(c.body.size()));
		w.append(c.body);
	}
	return w.bytes();
}

Bytes container(const std::vector<Chunk>& chunks)
{
	const Bytes payload = subChunks(chunks);
	ByteWriter w;
	w.int32(int(Tag::QF3D));
	w.int32(int(payload.size()));
	w.append(payload);
	return w.bytes();
}

Chunk versioned(uint32_t tag, int version, const Bytes& body)
{
	ByteWriter w;
	w.int16(version);
	w.append(body);
	return Chunk{tag, w.bytes()};
}

Bytes sheetBody(const SheetRecord& sheet)
{
	ByteWriter w;
	w.utf(sheet.image);
	w.int16(countField(sheet.sprites.size(), MAX_COUNT16, "sprites in one sheet"));
	for (const SpriteRecord& s : sheet.sprites)
	{
		w.utf(s.name);
		for (int v : {s.x, s.y, s.width, s.height, s.pivotX, s.pivotY})
			w.int16(v);
	}
	return w.bytes();
}

Bytes fontBody(const FontRecord& font, int version)
{
	ByteWriter w;
	w.utf(font.image);
	w.int16(font.leading);
	w.int16(font.tracking);
	w.int16(countField(font.glyphs.size(), MAX_COUNT16, "glyphs in one font"));
	for (const GlyphRecord& g : font.glyphs)
	{
		for (int v : {g.code, g.x, g.y, g.width, g.height, g.baseline})
			w.int16(v);
		if (version >= 2)
		{
			w.int16(g.left);
			w.int16(g.advance);
		}
	}
	return w.bytes();
}

Bytes compoBody(const std::vector<CompoRecord>& compos, int version)
{
	ByteWriter w;
	w.int16(countField(compos.size(), MAX_COUNT16, "composites in one file"));
	for (const CompoRecord& c : compos)
	{
		w.utf(c.name);
		w.int16(countField(c.parts.size(), MAX_COUNT16, "parts in the composite \"" + c.name + "\""));
		for (const CompoPart& p : c.parts)
		{
			w.utf(p.sprite);
			w.int16(p.x);
			w.int16(p.y);
		}
		if (version == 2)
		{
			w.int16(countField(c.extras.size(), MAX_COUNT16, "extras in the composite \"" + c.name + "\""));
			for (const CompoExtra& e : c.extras)
			{
				w.utf(e.name);
				w.int16(e.a);
				w.int16(e.b);
			}
		}
	}
	return w.bytes();
}

Bytes textBody(const TextSetRecord& texts)
{
	std::vector<Chunk> chunks;
	ByteWriter locales;
	locales.int16(countField(texts.locales.size(), MAX_COUNT16, "locales"));
	for (const std::string& l : texts.locales)
		locales.utf(l);
	chunks.push_back(Chunk{Tag::LDAT, locales.bytes()});
	ByteWriter ids;
	ids.int16(countField(texts.ids.size(), MAX_COUNT16, "text ids"));
	for (const std::string& id : texts.ids)
		ids.utf(id);
	chunks.push_back(Chunk{Tag::LIDS, ids.bytes()});
	for (const std::vector<std::string>& group : texts.texts)
	{
		ByteWriter g;
		for (const std::string& t : group)
			g.utf(t);
		chunks.push_back(Chunk{Tag::TXGP, g.bytes()});
	}
	return subChunks(chunks);
}

Bytes untaggedTexts(const TextSetRecord& texts)
{
	ByteWriter block;
	block.int8(countField(texts.locales.size(), MAX_UNTAGGED_LOCALES, "locales in the untagged layout"));
	for (const std::string& l : texts.locales)
		block.utf(l);
	ByteWriter w;
	w.int8(0);
	w.int32(int(block.bytes().size()));
	w.append(block.bytes());
	w.int16(countField(texts.ids.size(), MAX_COUNT16, "text ids"));
	for (const std::string& id : texts.ids)
		w.utf(id);
	std::vector<Bytes> groups;
	for (const std::vector<std::string>& group : texts.texts)
	{
		ByteWriter g;
		for (const std::string& t : group)
			g.utf(t);
		groups.push_back(g.bytes());
	}
	// Entry k counts from just after itself to the start of locale k's texts.
	const int n = int(groups.size());
	int start = 0;
	for (int k = 0; k < n; ++k)
	{
		w.int32(4 * (n - k - 1) + start);
		start += int(groups[size_t(k)].size());
	}
	for (const Bytes& g : groups)
		w.append(g);
	return w.bytes();
}

namespace
{
Bytes encode(uint32_t tag, int usualVersion, const Bytes& body, const Layout& layout)
{
	if (layout.untagged)
		return body;
	std::vector<Chunk> chunks;
	if (layout.unknownChunk)
		chunks.push_back(Chunk{0x41424344, Bytes(12, 0xAB)});
	chunks.push_back(versioned(tag, layout.version ? layout.version : usualVersion, body));
	return container(chunks);
}
}

Bytes encodeSheet(const SheetRecord& sheet, const Layout& layout)
{
	return encode(Tag::SPRT, 1, sheetBody(sheet), layout);
}

Bytes encodeFont(const FontRecord& font, const Layout& layout)
{
	return encode(Tag::FONT, 1, fontBody(font, layout.untagged ? 1 : layout.version), layout);
}

Bytes encodeCompos(const std::vector<CompoRecord>& compos, const Layout& layout)
{
	const int version = layout.version ? layout.version : 1;
	Layout tagged = layout;
	tagged.untagged = false;
	return encode(Tag::COMP, 1, compoBody(compos, version), tagged);
}

Bytes encodeTexts(const TextSetRecord& texts, const Layout& layout)
{
	if (layout.untagged)
		return untaggedTexts(texts);
	return encode(Tag::TEXT, 1, textBody(texts), layout);
}

void writeFile(const std::string& path, const Bytes& bytes)
{
	const std::string tmp = path + ".tmp";
	FILE* f = std::fopen(tmp.c_str(), "wb");
	if (!f)
		throw std::runtime_error("cannot write " + tmp);
	// An empty vector may have no data pointer, which fwrite must not be given.
	const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
	if (std::fclose(f) != 0 || !ok)
	{
		std::remove(tmp.c_str());
		throw std::runtime_error("cannot write " + tmp);
	}
	if (std::rename(tmp.c_str(), path.c_str()) != 0)
	{
		std::remove(tmp.c_str());
		throw std::runtime_error("cannot rename " + tmp + " to " + path);
	}
}
}
