#include "Tool.h"
#include <qf3d/ContentWriter.h>
#include <io/FileInputStream.h>
#include <io/Files.h>
#include <io/PathName.h>
#include <lang/Throwable.h>
#include <lua/LuaState.h>
#include <lua/LuaTable.h>
#include <lang/string.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <stdexcept>

namespace qf3d
{
namespace
{
/** Where in the description we are, for messages: "sheets[2] \"title\": sprites[3] \"button\"". */
class Entry
{
public:
	Entry(const std::string& description, const std::string& where) : m_description(description), m_where(where) {}
	Entry child(const std::string& where) const { return Entry(m_description, m_where + ": " + where); }
	std::string message(const std::string& problem) const { return m_description + ": " + m_where + ": " + problem; }
	[[noreturn]] void fail(const std::string& problem) const { throw BuildError(message(problem)); }

private:
	std::string m_description;
	std::string m_where;
};

std::string label(const char* list, int i, const std::string& name)
{
	return std::string(list) + "[" + std::to_string(i) + "]" + (name.empty() ? "" : " \"" + name + "\"");
}

std::string text(const lua::LuaTable& t, const char* key, const Entry& e, bool required = true)
{
	if (t.isString(key))
		return t.getString(key);
	if (required || !t.isNil(key))
		e.fail(std::string("\"") + key + "\" must be a string");
	return "";
}

int number(const lua::LuaTable& t, const char* key, const Entry& e, int fallback, bool required = false)
{
	if (t.isNumber(key))
	{
		const float v = t.getNumber(key);
		if (v != std::floor(v) || v < -32768 || v > 32767)
			e.fail(std::string("\"") + key + "\" must be a whole number that fits 16 bits");
		return int(v);
	}
	if (required || !t.isNil(key))
		e.fail(std::string("\"") + key + "\" must be a number");
	return fallback;
}

Colour colour(const lua::LuaTable& t, const char* key, const Entry& e, const Colour& fallback)
{
	if (t.isNil(key))
		return fallback;
	if (!t.isTable(key))
		e.fail(std::string("\"") + key + "\" must be a table {r, g, b[, a]} of 0 to 255");
	const lua::LuaTable c = t.getTable(key);
	Colour out;
	float* channels[] = {&out.r, &out.g, &out.b, &out.a};
	const int n = c.size();
	if (n < 3 || n > 4)
		e.fail(std::string("\"") + key + "\" must be a table {r, g, b[, a]} of 0 to 255");
	for (int i = 1; i <= n; ++i)
	{
		const float v = c.getNumber(i);
		if (!c.isNumber(i) || v < 0 || v > 255)
			e.fail(std::string("\"") + key + "\" must be a table {r, g, b[, a]} of 0 to 255");
		*channels[i - 1] = v;
	}
	return out;
}

Layout layout(const lua::LuaTable& t, const Entry& e)
{
	Layout l;
	const std::string name = text(t, "layout", e, false);
	if (name == "untagged")
		l.untagged = true;
	else if (!name.empty() && name != "tagged")
		e.fail("\"layout\" must be \"tagged\" or \"untagged\"");
	l.version = number(t, "version", e, 0);
	l.unknownChunk = t.getBoolean("unknownChunk");
	return l;
}

/**
 * The glyph code that carries the line's ascent and descent, so that anchors keep the face's
 * line whatever the characters: U+FFFF is a noncharacter, which no text holds. It is zero wide.
 */
const unsigned LINE_BOX = 0xFFFF;

/** Makes the folders a written file needs. */
void makeDirectories(const std::string& path)
{
	const size_t slash = path.rfind('/');
	if (slash == std::string::npos || slash == 0)
		return;
	try
	{
		io::makeFolders(path.substr(0, slash), 0755);
	}
	catch (const lang::Throwable& e)
	{
		throw std::runtime_error(e.getMessage().format());
	}
}

// "U+00E9 \"é\"" for messages.
std::string characterName(unsigned code)
{
	char hex[16];
	std::snprintf(hex, sizeof hex, "U+%04X", code);
	return std::string(hex) + " \"" + lang::string::toUTF8string(std::basic_string<unsigned int>(1, code)) + "\"";
}

// Characters that draw: no C0 or C1 controls, no surrogates, no noncharacter U+FFFF (the line box).
bool drawable(unsigned code)
{
	return code >= 0x20 && !(code >= 0x7F && code < 0xA0) && !(code >= 0xD800 && code < 0xE000) && code != LINE_BOX;
}

// A description is data: one that runs this long is stuck in a loop.
void ranTooLong(lua_State* lua, lua_Debug*)
{
	luaL_error(lua, "the description did not finish within %d Lua instructions (an endless loop?)", lua_gethookcount(lua));
}

/** A script whose text needs what the engine does not do: it draws each unit's glyph in turn, left to right. */
struct Script
{
	unsigned first, last;
	const char* name;
	const char* needs;
};

const char* const RTL = "right-to-left order";
const char* const JOINED = "right-to-left order and joined letter forms";
const char* const INDIC = "conjuncts, reordered vowel signs and placed marks";
const char* const MARKS = "marks placed and stacked on their letters";

const Script UNSHAPED[] = {
	{0x0590, 0x05FF, "Hebrew", RTL},
	{0x0600, 0x06FF, "Arabic", JOINED},
	{0x0700, 0x074F, "Syriac", JOINED},
	{0x0750, 0x077F, "Arabic", JOINED},
	{0x0780, 0x07BF, "Thaana", RTL},
	{0x07C0, 0x07FF, "N'Ko", JOINED},
	{0x0800, 0x083F, "Samaritan", RTL},
	{0x0840, 0x085F, "Mandaic", JOINED},
	{0x0860, 0x086F, "Syriac", JOINED},
	{0x0870, 0x08FF, "Arabic", JOINED},
	{0x0900, 0x097F, "Devanagari", INDIC},
	{0x0980, 0x09FF, "Bengali", INDIC},
	{0x0A00, 0x0A7F, "Gurmukhi", INDIC},
	{0x0A80, 0x0AFF, "Gujarati", INDIC},
	{0x0B00, 0x0B7F, "Oriya", INDIC},
	{0x0B80, 0x0BFF, "Tamil", INDIC},
	{0x0C00, 0x0C7F, "Telugu", INDIC},
	{0x0C80, 0x0CFF, "Kannada", INDIC},
	{0x0D00, 0x0D7F, "Malayalam", INDIC},
	{0x0D80, 0x0DFF, "Sinhala", INDIC},
	{0x0E00, 0x0E7F, "Thai", MARKS},
	{0x0E80, 0x0EFF, "Lao", MARKS},
	{0x0F00, 0x0FFF, "Tibetan", "stacked letters and placed marks"},
	{0x1000, 0x109F, "Myanmar", INDIC},
	{0x1100, 0x11FF, "Hangul Jamo", "syllables composed from their jamo"},
	{0x1780, 0x17FF, "Khmer", INDIC},
	{0x1800, 0x18AF, "Mongolian", "joined letter forms"},
	{0xA8E0, 0xA8FF, "Devanagari", INDIC},
	{0xFB1D, 0xFB4F, "Hebrew", RTL},
	{0xFB50, 0xFDFF, "Arabic", RTL},
	{0xFE70, 0xFEFC, "Arabic", RTL},
};

const Script* unshapedScript(unsigned code)
{
	for (const Script& s : UNSHAPED)
		if (code >= s.first && code <= s.last)
			return &s;
	return nullptr;
}

std::string unshapedProblem(const Script& s, unsigned code)
{
	return std::string(s.name) + " (" + characterName(code) + ") needs " + s.needs +
		", which the engine does not do: it draws each character's glyph in turn, left to right";
}

class Builder
{
public:
	Builder(const std::string& description, const std::string& outDir, const BuildOptions& options) :
		m_description(description), m_out(outDir), m_options(options)
	{
	}

	std::vector<std::string> run()
	{
		lua::LuaState lua;
		lua_sethook(lua.getLua(), ranTooLong, LUA_MASKCOUNT, m_options.instructionLimit);
		try
		{
			io::FileInputStream in(m_description);
			lua.compile(in, m_description, nullptr);
		}
		catch (const lang::Throwable& e)
		{
			throw BuildError(m_description + ": " + e.getMessage().format());
		}
		const lua::LuaTable& g = lua.globals();
		forEach(g, "sheets", [&](const lua::LuaTable& t, const Entry& e) { sheet(t, e); });
		forEach(g, "composites", [&](const lua::LuaTable& t, const Entry& e) { composites(t, e); });
		// Texts first: fonts may ask for every character of them.
		forEach(g, "texts", [&](const lua::LuaTable& t, const Entry& e) { texts(t, e); });
		forEach(g, "fonts", [&](const lua::LuaTable& t, const Entry& e) { font(t, e); });
		// Everything is checked before anything is written.
		for (const auto& f : m_files)
		{
			makeDirectories(f.first);
			writeFile(f.first, f.second);
		}
		std::vector<std::string> written;
		for (const auto& f : m_files)
			written.push_back(f.first);
		return written;
	}

private:
	std::string m_description;
	std::string m_out;
	BuildOptions m_options;
	std::map<std::string, Bytes> m_files;
	/** The text sets of this build by their "file". */
	std::map<std::string, TextSetRecord> m_texts;
	/** Every sprite of the build by name, for composite parts. */
	std::set<std::string> m_sprites;

	template <class F> void forEach(const lua::LuaTable& g, const char* list, F f)
	{
		if (g.isNil(list))
			return;
		const Entry top(m_description, list);
		if (!g.isTable(list))
			top.fail("must be a list of tables");
		const lua::LuaTable items = g.getTable(list);
		for (int i = 1, count = items.size(); i <= count; ++i)
		{
			if (!items.isTable(i))
				Entry(m_description, label(list, i, "")).fail("must be a table");
			const lua::LuaTable t = items.getTable(i);
			const std::string name = t.isString("file") ? t.getString("file") : "";
			const Entry entry(m_description, label(list, i, name));
			// A field of the wrong kind deep in an entry (a missing table) fails that entry.
			try
			{
				f(t, entry);
			}
			catch (const lang::Throwable& x)
			{
				entry.fail(x.getMessage().format());
			}
		}
	}

	std::string output(const lua::LuaTable& t, const Entry& e)
	{
		const std::string file = text(t, "file", e);
		if (file.empty() || file[0] == '/' || file.find("..") != std::string::npos)
			e.fail("\"file\" must be a relative path inside the output folder");
		const std::string path = m_out + "/" + file;
		if (m_files.count(path))
			e.fail("\"" + file + "\" is written twice");
		return path;
	}

	static std::string imageBeside(const std::string& path)
	{
		const io::PathName p(path);
		return std::string(p.basename()) + ".png";
	}

	void addFile(const std::string& path, const Bytes& bytes, const Entry& e)
	{
		if (m_files.count(path))
			e.fail("\"" + path + "\" is written twice");
		m_files[path] = bytes;
	}

	/** A file's bytes (or a count); what the engine could not read back (a count past its field) fails the entry. */
	template <class F> static auto encoded(const Entry& e, F encode) -> decltype(encode())
	{
		try
		{
			return encode();
		}
		catch (const std::exception& x)
		{
			e.fail(x.what());
		}
	}

	void sheet(const lua::LuaTable& t, const Entry& e)
	{
		const std::string path = output(t, e);
		const std::string image = imageBeside(path);
		if (!t.isTable("sprites"))
			e.fail("\"sprites\" must be a list");
		const lua::LuaTable list = t.getTable("sprites");
		std::vector<Bitmap> bitmaps;
		SheetRecord record;
		record.image = image;
		for (int i = 1, count = list.size(); i <= count; ++i)
		{
			const lua::LuaTable s = list.getTable(i);
			const std::string name = s.isString("name") ? s.getString("name") : "";
			const Entry se = e.child(label("sprites", i, name));
			if (name.empty())
				se.fail("\"name\" must be a non-empty string");
			Shape shape;
			shape.kind = text(s, "shape", se);
			if (shape.kind == "circle" || shape.kind == "ring")
				shape.width = shape.height = 2 * number(s, "radius", se, 0, true);
			else
			{
				shape.width = number(s, "width", se, 0, true);
				shape.height = number(s, "height", se, 0, true);
				shape.radius = float(number(s, "radius", se, 0));
			}
			shape.thickness = float(number(s, "thickness", se, 0));
			shape.outline = float(number(s, "outline", se, 0));
			shape.colour = colour(s, "color", se, Colour());
			if (shape.kind == "gradient" || !s.isNil("from"))
			{
				shape.gradient = true;
				shape.from = colour(s, "from", se, Colour());
				shape.to = colour(s, "to", se, Colour());
				const std::string direction = text(s, "direction", se, false);
				if (!direction.empty() && direction != "vertical" && direction != "horizontal")
					se.fail("\"direction\" must be \"vertical\" or \"horizontal\"");
				shape.vertical = direction != "horizontal";
			}
			try
			{
				bitmaps.push_back(drawShape(shape));
			}
			catch (const std::invalid_argument& x)
			{
				se.fail(x.what());
			}
			int px = shape.width / 2, py = shape.height / 2;
			if (!s.isNil("pivot"))
			{
				const lua::LuaTable p = s.getTable("pivot");
				if (!s.isTable("pivot") || !p.isNumber(1) || !p.isNumber(2))
					se.fail("\"pivot\" must be {x, y}");
				px = int(p.getNumber(1)), py = int(p.getNumber(2));
			}
			record.sprites.push_back(SpriteRecord{name, 0, 0, shape.width, shape.height, px, py});
			m_sprites.insert(name);
		}
		std::vector<std::pair<int, int>> sizes;
		for (const Bitmap& b : bitmaps)
			sizes.emplace_back(b.width, b.height);
		int w = 0, h = 0;
		std::vector<Placement> at;
		try
		{
			at = pack(sizes, &w, &h);
		}
		catch (const BuildError& x)
		{
			e.fail(x.what());
		}
		Bitmap atlas(w, h);
		for (size_t i = 0; i < bitmaps.size(); ++i)
		{
			atlas.paste(bitmaps[i], at[i].x, at[i].y);
			record.sprites[i].x = at[i].x;
			record.sprites[i].y = at[i].y;
		}
		const Layout l = layout(t, e);
		addFile(path, encoded(e, [&] { return encodeSheet(record, l); }), e);
		addFile(io::PathName(io::PathName(path).parent().toString(), image).toString(), encodePng(atlas), e);
	}

	void composites(const lua::LuaTable& t, const Entry& e)
	{
		const std::string path = output(t, e);
		Layout l = layout(t, e);
		if (l.untagged)
			e.fail("composite files have no untagged layout");
		const int version = l.version ? l.version : 1;
		if (!t.isTable("items"))
			e.fail("\"items\" must be a list");
		const lua::LuaTable items = t.getTable("items");
		std::vector<CompoRecord> records;
		for (int i = 1, count = items.size(); i <= count; ++i)
		{
			const lua::LuaTable c = items.getTable(i);
			CompoRecord r;
			r.name = c.isString("name") ? c.getString("name") : "";
			const Entry ce = e.child(label("items", i, r.name));
			if (r.name.empty())
				ce.fail("\"name\" must be a non-empty string");
			const lua::LuaTable parts = c.getTable("parts");
			for (int k = 1, count = parts.size(); k <= count; ++k)
			{
				const lua::LuaTable p = parts.getTable(k);
				const std::string sprite = p.isString("sprite") ? p.getString("sprite") : "";
				const Entry pe = ce.child(label("parts", k, sprite));
				// Version 1 and 2 parts both name sprites of this build.
				if (version <= 2 && !m_sprites.count(sprite))
					pe.fail("no sprite \"" + sprite + "\" in this build");
				r.parts.push_back(CompoPart{sprite, number(p, "x", pe, 0), number(p, "y", pe, 0)});
			}
			// Extras are optional: version 1 has none.
			const lua::LuaTable extras = c.isNil("extras") ? lua::LuaTable(c.getState()) : c.getTable("extras");
			for (int k = 1, count = extras.size(); k <= count; ++k)
			{
				const lua::LuaTable x = extras.getTable(k);
				const Entry xe = ce.child(label("extras", k, ""));
				r.extras.push_back(CompoExtra{text(x, "name", xe), number(x, "a", xe, 0), number(x, "b", xe, 0)});
			}
			records.push_back(r);
		}
		addFile(path, encoded(e, [&] { return encodeCompos(records, l); }), e);
	}

	void warn(const std::string& message)
	{
		if (m_options.warn)
			m_options.warn(message);
		else
			std::fprintf(stderr, "qf3d: warning: %s\n", message.c_str());
	}

	/** A character the font cannot have: a warning, or the build's failure when strict. */
	void lacking(const Entry& e, const std::string& problem)
	{
		if (m_options.strict)
			e.fail(problem);
		warn(e.message(problem));
	}

	/**
	 * The characters a font asks for: "ranges" (single characters or {first, last}) and every
	 * character of the text groups named by "texts" (a text set's "file", for all its locales,
	 * or { file = ..., locales = { ... } }). Neither: U+0020-007E and U+00A0-00FF.
	 * Characters beyond 16 bits go to wide: glyphs are keyed by UTF-16 units.
	 */
	std::set<unsigned> characters(const lua::LuaTable& t, const Entry& e, std::set<unsigned>& wide)
	{
		std::set<unsigned> codes;
		if (t.isNil("ranges") && t.isNil("texts"))
		{
			for (unsigned c = 0x20; c <= 0xFF; ++c)
				if (drawable(c))
					codes.insert(c);
			return codes;
		}
		if (!t.isNil("ranges"))
		{
			if (!t.isTable("ranges"))
				e.fail("\"ranges\" must be a list of characters and {first, last} pairs");
			const lua::LuaTable ranges = t.getTable("ranges");
			// Text groups warn for their own characters; ranges warn here.
			std::set<std::string> warned;
			for (int i = 1, count = ranges.size(); i <= count; ++i)
			{
				const Entry re = e.child(label("ranges", i, ""));
				double first = 0, last = 0;
				if (ranges.isNumber(i))
					first = last = ranges.getNumber(i);
				else if (ranges.isTable(i) && ranges.getTable(i).size() == 2 && ranges.getTable(i).isNumber(1) && ranges.getTable(i).isNumber(2))
					first = ranges.getTable(i).getNumber(1), last = ranges.getTable(i).getNumber(2);
				else
					re.fail("must be a character code or {first, last}");
				if (first != std::floor(first) || last != std::floor(last) || first < 0 || last > 0xFFFF || first > last)
					re.fail("must be whole codes from U+0000 to U+FFFF, first not above last (glyphs are keyed by 16-bit units)");
				for (unsigned c = unsigned(first); c <= unsigned(last); ++c)
				{
					if (!drawable(c))
						continue;
					codes.insert(c);
					const Script* script = unshapedScript(c);
					if (script && warned.insert(script->name).second)
						warn(re.message(unshapedProblem(*script, c)));
				}
			}
		}
		if (!t.isNil("texts"))
		{
			if (!t.isTable("texts"))
				e.fail("\"texts\" must be a list of text files of this build");
			const lua::LuaTable list = t.getTable("texts");
			for (int i = 1, count = list.size(); i <= count; ++i)
			{
				std::string file;
				std::vector<std::string> locales;
				if (list.isString(i))
					file = list.getString(i);
				else if (!list.isTable(i))
					e.child(label("texts", i, "")).fail("must be a text file's name or { file = ..., locales = { ... } }");
				else
				{
					const lua::LuaTable x = list.getTable(i);
					file = text(x, "file", e.child(label("texts", i, "")));
					const lua::LuaTable l = x.getTable("locales");
					for (int k = 1, count = l.size(); k <= count; ++k)
					{
						if (!l.isString(k))
							e.child(label("texts", i, file)).fail("\"locales\" must be a list of strings");
						locales.push_back(l.getString(k));
					}
				}
				const Entry te = e.child(label("texts", i, file));
				auto set = m_texts.find(file);
				if (set == m_texts.end())
					te.fail("no text file \"" + file + "\" in this build");
				const TextSetRecord& r = set->second;
				if (locales.empty())
					locales = r.locales;
				for (const std::string& locale : locales)
				{
					const size_t k = size_t(std::find(r.locales.begin(), r.locales.end(), locale) - r.locales.begin());
					if (k == r.locales.size())
						te.fail("the text file has no locale \"" + locale + "\"");
					for (const std::string& s : r.texts[k])
						for (unsigned c : lang::string::toUTF32string(s))
						{
							if (c > 0xFFFF)
								wide.insert(c);
							else if (drawable(c))
								codes.insert(c);
						}
				}
			}
		}
		return codes;
	}

	void font(const lua::LuaTable& t, const Entry& e)
	{
		const std::string path = output(t, e);
		const std::string image = imageBeside(path);
		const int size = number(t, "size", e, 0, true);
		std::set<unsigned> wide;
		const std::set<unsigned> wanted = characters(t, e, wide);
		const std::vector<int> codes(wanted.begin(), wanted.end());
		const std::string fontFile = t.isString("font") ? t.getString("font") : defaultFontFile();
		RenderedFont rendered;
		try
		{
			rendered = renderFont(fontFile, size, colour(t, "color", e, Colour()), codes);
		}
		catch (const std::runtime_error& x)
		{
			e.fail(x.what());
		}
		for (int code : rendered.missing)
			lacking(e, "the face \"" + rendered.face + "\" (" + fontFile + ") has no glyph for " + characterName(unsigned(code)));
		for (unsigned code : wide)
			lacking(e, characterName(code) + " lies beyond 16 bits: a font's glyphs are keyed by UTF-16 units (face \"" + rendered.face + "\")");

		// Version 2 gives every glyph its box's offset from the pen and its advance, so the
		// reader places the ink where FreeType does. The older layout (untagged or version 1)
		// starts each box at the pen and moves the pen by the box's width plus the tracking:
		// ink left of the pen or past the advance then fits only when every box starts `before`
		// pixels left of its glyph's origin and reaches `after` past the advance; the text is
		// drawn `before` pixels right of the pen, and the tracking takes the extra width back.
		Layout l = layout(t, e);
		const bool offsets = !l.untagged && l.version != 1;
		if (offsets && !l.version)
			l.version = 2;
		int before = 0, after = 0;
		for (const RenderedGlyph& g : rendered.glyphs)
		{
			if (offsets || g.ink.width == 0)
				continue;
			before = std::max(before, -g.left);
			after = std::max(after, g.left + g.ink.width - g.advance);
		}
		const int extra = before + after;
		// Refused before the atlas is packed: the glyphs and the line box.
		encoded(e, [&] { return countField(rendered.glyphs.size() + 1, MAX_COUNT16, "glyphs in one font"); });

		// Glyph boxes are as tall as the ink: the rasteriser shades no empty rows.
		auto boxWidth = [&](const RenderedGlyph& g) { return offsets ? g.ink.width : g.advance + extra; };
		std::vector<std::pair<int, int>> sizes;
		std::vector<size_t> inked;
		for (size_t i = 0; i < rendered.glyphs.size(); ++i)
		{
			const RenderedGlyph& g = rendered.glyphs[i];
			if (g.ink.width == 0)
				continue;
			sizes.emplace_back(boxWidth(g), g.ink.height);
			inked.push_back(i);
		}
		int w = 0, h = 0;
		std::vector<Placement> at;
		try
		{
			at = pack(sizes, &w, &h);
		}
		catch (const BuildError& x)
		{
			e.fail(x.what());
		}
		Bitmap atlas(w, h);
		FontRecord record;
		record.image = image;
		record.leading = number(t, "leading", e, rendered.leading);
		record.tracking = number(t, "tracking", e, 0) - extra;
		size_t next = 0;
		for (size_t i = 0; i < rendered.glyphs.size(); ++i)
		{
			const RenderedGlyph& g = rendered.glyphs[i];
			if (next < inked.size() && inked[next] == i)
			{
				const Placement p = at[next++];
				atlas.paste(g.ink, p.x + (offsets ? 0 : before + g.left), p.y);
				record.glyphs.push_back(GlyphRecord{g.code, p.x, p.y, boxWidth(g), g.ink.height, g.top, g.left, g.advance});
			}
			else
				record.glyphs.push_back(GlyphRecord{g.code, 0, 0, boxWidth(g), 0, 0, 0, g.advance}); // no ink, no quad
		}
		record.glyphs.push_back(GlyphRecord{int(LINE_BOX), 0, 0, 0, rendered.ascender + rendered.descender, rendered.ascender, 0, 0});
		addFile(path, encoded(e, [&] { return encodeFont(record, l); }), e);
		addFile(io::PathName(io::PathName(path).parent().toString(), image).toString(), encodePng(atlas), e);
	}

	void texts(const lua::LuaTable& t, const Entry& e)
	{
		const std::string path = output(t, e);
		TextSetRecord record;
		const lua::LuaTable locales = t.getTable("locales");
		for (int i = 1, count = locales.size(); i <= count; ++i)
		{
			if (!locales.isString(i))
				e.fail("\"locales\" must be a list of strings");
			record.locales.push_back(locales.getString(i));
		}
		if (record.locales.empty())
			e.fail("\"locales\" must name at least one locale");
		record.texts.resize(record.locales.size());
		const lua::LuaTable list = t.getTable("texts");
		std::set<std::string> seen;
		for (int i = 1, count = list.size(); i <= count; ++i)
		{
			const lua::LuaTable x = list.getTable(i);
			const std::string id = x.isString("id") ? x.getString("id") : "";
			const Entry xe = e.child(label("texts", i, id));
			if (id.empty())
				xe.fail("\"id\" must be a non-empty string");
			if (!seen.insert(id).second)
				xe.fail("the id is given twice");
			record.ids.push_back(id);
			for (size_t k = 0; k < record.locales.size(); ++k)
			{
				if (!x.isString(record.locales[k]))
					xe.fail("no text for the locale " + record.locales[k]);
				record.texts[k].push_back(x.getString(record.locales[k]));
			}
		}
		std::set<std::string> warned;
		for (size_t k = 0; k < record.locales.size(); ++k)
			for (size_t i = 0; i < record.ids.size(); ++i)
				for (unsigned c : lang::string::toUTF32string(record.texts[k][i]))
				{
					const Script* script = unshapedScript(c);
					if (script && warned.insert(script->name).second)
						warn(e.message(record.locales[k] + " \"" + record.ids[i] + "\": " + unshapedProblem(*script, c)));
				}
		const Layout l = layout(t, e);
		addFile(path, encoded(e, [&] { return encodeTexts(record, l); }), e);
		m_texts[text(t, "file", e)] = record;
	}
};
}

std::vector<std::string> build(const std::string& description, const std::string& outDir, const BuildOptions& options)
{
	return Builder(description, outDir, options).run();
}
}
