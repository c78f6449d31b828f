#ifndef GAME_CONTENTFILE_H
#define GAME_CONTENTFILE_H

#include <game/ContentTag.h>
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
	 * Moves to the body of the next chunk with the tag whose version lies in
	 * [minVersion, maxVersion] (from 1), skipping every other chunk; answers the
	 * version, or 0 at the end of the data.
	 */
	int nextChunkOf(uint32_t tag, int minVersion, int maxVersion);
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
