#include <qf3d/Build.h>
#include <qf3d/ContentWriter.h>
#include <fstream>
#include <iterator>
#include <sstream>

namespace qf3d
{
namespace
{
/** Bounded big-endian reads; running past the end is a malformed file. */
class Reader
{
public:
	Reader(const Bytes& b, size_t begin, size_t end, const std::string& name) : m_b(b), m_at(begin), m_end(end), m_name(name) {}
	bool done() const { return m_at >= m_end; }
	size_t at() const { return m_at; }
	void need(size_t n) const
	{
		if (n > m_end - m_at)
			throw std::runtime_error("Malformed QF3D file: " + m_name);
	}
	int int32()
	{
		need(4);
		const int v = int(uint32_t(m_b[m_at]) << 24 | uint32_t(m_b[m_at + 1]) << 16 | uint32_t(m_b[m_at + 2]) << 8 | m_b[m_at + 3]);
		m_at += 4;
		return v;
	}
	int int16()
	{
		need(2);
		const int v = int16_t(uint16_t(m_b[m_at] << 8 | m_b[m_at + 1]));
		m_at += 2;
		return v;
	}
	int int8()
	{
		need(1);
		return int8_t(m_b[m_at++]);
	}
	std::string utf()
	{
		const int n = int16();
		if (n < 0)
			throw std::runtime_error("Malformed QF3D file: " + m_name);
		need(size_t(n));
		std::string s(m_b.begin() + long(m_at), m_b.begin() + long(m_at) + n);
		m_at += size_t(n);
		return s;
	}
	/** A chunk's size, checked against what is left. */
	size_t size()
	{
		const int n = int32();
		if (n < 0)
			throw std::runtime_error("Malformed QF3D file: " + m_name);
		need(size_t(n));
		return size_t(n);
	}
	void skip(size_t n)
	{
		need(n);
		m_at += n;
	}

private:
	const Bytes& m_b;
	size_t m_at;
	size_t m_end;
	std::string m_name;
};

std::string tagName(int tag)
{
	std::string s;
	for (int shift = 24; shift >= 0; shift -= 8)
	{
		const char c = char(tag >> shift);
		s += c >= 32 && c < 127 ? c : '?';
	}
	return s;
}

std::string quoted(const std::string& s)
{
	return "\"" + s + "\"";
}

void sheet(Reader& r, std::ostream& out)
{
	out << "  image " << quoted(r.utf()) << "\n";
	const int n = r.int16();
	for (int i = 0; i < n; ++i)
	{
		const std::string name = r.utf();
		const int x = r.int16(), y = r.int16(), w = r.int16(), h = r.int16(), px = r.int16(), py = r.int16();
		out << "  sprite " << quoted(name) << " x " << x << " y " << y << " w " << w << " h " << h << " pivot " << px << " " << py << "\n";
	}
}

void font(Reader& r, int version, std::ostream& out)
{
	out << "  image " << quoted(r.utf()) << "\n";
	const int leading = r.int16(), tracking = r.int16();
	out << "  leading " << leading << " tracking " << tracking << "\n";
	const int n = r.int16();
	for (int i = 0; i < n; ++i)
	{
		const int code = r.int16() & 0xFFFF;
		const int x = r.int16(), y = r.int16(), w = r.int16(), h = r.int16(), base = r.int16();
		out << "  glyph " << code << " x " << x << " y " << y << " w " << w << " h " << h << " baseline " << base;
		if (version >= 2)
		{
			const int left = r.int16(), advance = r.int16();
			out << " left " << left << " advance " << advance;
		}
		out << "\n";
	}
}

void compos(Reader& r, int version, std::ostream& out)
{
	const int n = r.int16();
	for (int i = 0; i < n; ++i)
	{
		out << "  composite " << quoted(r.utf()) << "\n";
		const int parts = r.int16();
		for (int k = 0; k < parts; ++k)
		{
			const std::string sprite = r.utf();
			const int x = r.int16(), y = r.int16();
			out << "    part " << quoted(sprite) << " at " << x << " " << y << "\n";
		}
		if (version == 2)
		{
			const int extras = r.int16();
			for (int k = 0; k < extras; ++k)
			{
				const std::string name = r.utf();
				const int a = r.int16(), b = r.int16();
				out << "    extra " << quoted(name) << " " << a << " " << b << "\n";
			}
		}
	}
}

void strings(Reader& r, int n, const char* what, std::ostream& out)
{
	for (int i = 0; i < n; ++i)
		out << "    " << what << " " << quoted(r.utf()) << "\n";
}

void texts(Reader& r, std::ostream& out, int* idCount)
{
	while (!r.done())
	{
		const int tag = r.int32();
		const size_t size = r.size();
		out << "  " << tagName(tag) << " size " << size << "\n";
		const size_t end = r.at() + size;
		if (tag == int(Tag::LDAT))
			strings(r, r.int16(), "locale", out);
		else if (tag == int(Tag::LIDS))
			strings(r, *idCount = r.int16(), "id", out);
		else if (tag == int(Tag::TXGP))
			strings(r, *idCount, "text", out);
		if (r.at() < end)
			r.skip(end - r.at());
	}
}
}

std::string dump(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	if (!in)
		throw std::runtime_error("cannot read " + path);
	const Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
	std::ostringstream out;
	Reader r(b, 0, b.size(), path);
	if (b.size() < 4 || r.int32() != int(Tag::QF3D))
	{
		out << "untagged layout, " << b.size() << " bytes\n";
		return out.str();
	}
	const int length = r.int32();
	out << "QF3D payload " << length << "\n";
	if (length < 0 || size_t(length) > b.size() - 8)
		throw std::runtime_error("Malformed QF3D file: " + path);
	int ids = 0;
	while (!r.done())
	{
		const int tag = r.int32();
		const size_t size = r.size();
		const size_t end = r.at() + size;
		const bool known = tag == int(Tag::SPRT) || tag == int(Tag::COMP) || tag == int(Tag::FONT) || tag == int(Tag::TEXT);
		if (!known)
		{
			out << tagName(tag) << " size " << size << " (skipped)\n";
			r.skip(size);
			continue;
		}
		const int version = r.int16();
		out << tagName(tag) << " size " << size << " version " << version << "\n";
		const bool supported = version == 1 || (version == 2 && (tag == int(Tag::COMP) || tag == int(Tag::FONT)));
		if (!supported)
		{
			out << "  (version not read)\n";
			r.skip(end - r.at());
			continue;
		}
		if (tag == int(Tag::SPRT))
			sheet(r, out);
		else if (tag == int(Tag::FONT))
			font(r, version, out);
		else if (tag == int(Tag::COMP))
			compos(r, version, out);
		else
			texts(r, out, &ids);
	}
	return out.str();
}
}
