#include <audio/AudioReader.h>
#include <io/IOException.h>
#include <lang/Exception.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <algorithm>
#include <climits>
#include <cstring>

namespace audio
{
namespace
{
// Skips a chunk's body and its pad byte. A body that runs past the end of the stream is a damaged file, on
// every kind of stream; only the pad byte after a last odd-sized chunk may be missing.
void skipChunk(const lang::Ptr<io::InputStream>& in, const unsigned char* id, unsigned size, bool pad)
{
	const long long left = in->available();
	if (left >= 0 && left < (long long)size)
		lang::throwError(io::IOException(lang::Format("The \"{0}\" chunk of {1} bytes runs past the end of {2}",
			std::string(reinterpret_cast<const char*>(id), 4), std::to_string(size), in->toString())));
	long long n = (long long)size + (pad ? 1 : 0);
	if (left >= 0)
		n = std::min(n, left);
	while (n > 0)
	{
		const int skipped = in->skip(int(std::min<long long>(n, 1 << 30)));
		if (skipped <= 0)
			return;
		n -= skipped;
	}
}
}

void AudioReader::readHeader_wav()
{
	const int startAvailable = m_stream->available();
	unsigned char riff[12];
	readFully(m_stream, riff, 12);
	if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0)
		lang::throwError(lang::Exception(
			lang::Format("Only RIFF/WAVE sounds are currently supported; {0} is neither RIFF/WAVE nor MP3", m_stream->toString())));
	unsigned consumed = 12;

	bool haveFmt = false;
	while (m_stream->available() >= 1)
	{
		unsigned char chunk[8];
		readFully(m_stream, chunk, 8);
		consumed += 8;
		const unsigned size = getUInt32LE(chunk, 4);
		const unsigned padded = size + (size & 1);
		if (std::memcmp(chunk, "fmt ", 4) == 0)
		{
			if (size < 16 || size > 128)
				lang::throwError(io::IOException(
					lang::Format("Invalid fmt chunk size {0} while reading {1}", double(size), m_stream->toString())));
			unsigned char fmt[128 + 1];
			readFully(m_stream, fmt, int(size));
			skipChunk(m_stream, chunk, 0, size & 1);
			consumed += padded;
			const unsigned tag = getUInt16LE(fmt, 0);
			if (tag != 1)
				lang::throwError(lang::Exception(lang::Format("WAV was not PCM! RIFF AudioEncoding TwoCC value: 0x{0,x}", int(tag))));
			m_channels = int(getUInt16LE(fmt, 2));
			m_sampleRate = int(std::min<unsigned>(getUInt32LE(fmt, 4), INT_MAX));
			m_byteRate = int(std::min<unsigned>(getUInt32LE(fmt, 8), INT_MAX));
			m_blockAlign = int(getUInt16LE(fmt, 12));
			m_bitsPerSample = int(getUInt16LE(fmt, 14));
			m_audioFormat = int(tag);
			// Whole frames are counted and looped by the block align: one that disagrees with the
			// layout would shift every frame after a wrap.
			if (m_channels < 1 || m_bitsPerSample < 1 || m_blockAlign != m_channels * ((m_bitsPerSample + 7) / 8))
				lang::throwError(io::IOException(lang::Format(
					"Invalid WAV layout in {0}: channels {1}, bits per sample {2}, block align {3}", m_stream->toString(),
					m_channels, m_bitsPerSample, m_blockAlign)));
			haveFmt = true;
		}
		else if (std::memcmp(chunk, "data", 4) == 0)
		{
			if (!haveFmt)
				lang::throwError(lang::Exception(lang::Format("Missing fmt chunk before data chunk in wav file")));
			// A size past the end of the file is cut to what is there.
			const int left = m_stream->available();
			unsigned dataSize = std::min<unsigned>(size, INT_MAX);
			if (left >= 0)
				dataSize = std::min<unsigned>(dataSize, unsigned(left));
			// Whole frames only: a partial last one would shift every frame after a loop's wrap.
			if (m_blockAlign > 0)
				dataSize -= dataSize % unsigned(m_blockAlign);
			m_dataSize = int(dataSize);
			m_dataOffset = startAvailable >= 0 && left >= 0 ? startAvailable - left : int(consumed);
			return;
		}
		else
		{
			skipChunk(m_stream, chunk, size, size & 1);
			consumed += padded;
		}
	}
	// No data chunk: a silent clip.
	m_dataSize = 0;
}

int AudioReader::readData_wav(void* buffer, int offset, int bytes)
{
	if (offset < 0 || bytes <= 0 || offset >= m_dataSize)
		return 0;
	if (!m_stream->seek(m_dataOffset + offset, io::InputStream::SEEK_BEGIN))
		return 0;
	return readUpTo(*m_stream, buffer, std::min(bytes, m_dataSize - offset));
}
}
