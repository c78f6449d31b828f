#ifndef GAME_CONTENTFILE_H
#define GAME_CONTENTFILE_H

#include <io/ByteArrayInputStream.h>
#include <io/DataInputStream.h>
#include <string>

namespace game
{
/**
 * A content file read whole into memory, with the container's rules: the "QF3D" magic and
 * payload length, then tagged chunks until the data ends. Every size is checked against the
 * data before it is used, so damaged files fail with "Malformed QF3D file: {0}".
 */
class ContentFile
{
public:
	enum Tag
	{
		TAG_QF3D = 0x51463344,
		TAG_SPRT = 0x53505254,
		TAG_COMP = 0x434F4D50,
		TAG_FONT = 0x464F4E54,
		TAG_TEXT = 0x54455854,
		TAG_LDAT = 0x4C444154,
		TAG_LIDS = 0x4C494453,
		TAG_TXGP = 0x54584750
	};

	/** Reads a bundle file; name is the one messages give. */
	explicit ContentFile(const std::string& bundleName);
	/** Reads a stream whole; messages give its toString(). */
	explicit ContentFile(io::InputStream& in);

	/**
	 * Reads the magic and the payload length. Without the magic, rewinds to the start
	 * and answers false (the untagged layout follows).
	 */
	bool readHeader();
	/** Reads the next chunk's tag and size; false at the end of the data. */
	bool nextChunk(int* tag, int* size);
	/**
	 * Reads the version of a handled chunk; a version outside [minVersion, maxVersion]
	 * has the rest of the chunk skipped and gives 0.
	 */
	int readVersion(int size, int minVersion, int maxVersion);
	/** Skips n bytes, failing as malformed when n is negative or runs past the data. */
	void skip(int n);
	/** Throws io::IOException "Malformed QF3D file: {0}". */
	[[noreturn]] void malformed() const;

	io::DataInputStream& in() { return m_in; }
	int available() const { return m_bytes.available(); }
	const std::string& name() const { return m_name; }

private:
	io::ByteArrayInputStream m_bytes;
	io::DataInputStream m_in;
	std::string m_name;
};
}

#endif
