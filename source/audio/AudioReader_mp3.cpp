#include <audio/AudioReader.h>
#include <io/IOException.h>
#include <lang/Debug.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <mpg123.h>
#include <algorithm>
#include <mutex>

namespace audio
{
int AudioReader::sm_refCount = 0;

namespace
{
const int FEED_BYTES = 2048;
std::mutex s_libraryMutex;

[[noreturn]] void fail(const char* what, const lang::Ptr<io::InputStream>& stream)
{
	lang::throwError(io::IOException(lang::Format(std::string(what) + " while reading {0}", stream->toString())));
}
}

/**
 * One decoding pass over an MP3 stream, owned by one reader or one playing
 * instance. It keeps its own place in the input, so passes sharing a
 * stream only seek it before each read. Reading on from where the last
 * read ended is the normal case; any other offset decodes forward to it,
 * from the start when it lies behind: the decoder's own seek lands a
 * sample or so off now and then (its synthesis state differs from a
 * plain pass), and the first frames after the stream's start are trimmed
 * (gapless) in a way a seek does not reproduce.
 */
class Mp3Decoder : public lang::Object
{
public:
	Mp3Decoder(const AudioReader& reader) :
		m_owner(&reader), m_stream(reader.m_stream), m_rate(reader.m_sampleRate), m_channels(reader.m_channels),
		m_handle(nullptr), m_input(0), m_position(0), m_inputEnded(false)
	{
		AudioReader::startLibrary(m_stream);
		int err = MPG123_OK;
		m_handle = mpg123_new(nullptr, &err);
		if (m_handle && err != MPG123_OK)
		{
			mpg123_delete(m_handle);
			m_handle = nullptr;
		}
		if (!m_handle)
			return;
		// Bad files are reported by exceptions and diagnostic lines, not by the library on stderr.
		mpg123_param(m_handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0.);
		// The mixer takes 16-bit samples only, whatever the decoder would prefer.
		mpg123_format_none(m_handle);
		const long* rates = nullptr;
		size_t rateCount = 0;
		mpg123_rates(&rates, &rateCount);
		for (size_t i = 0; i < rateCount; ++i)
			mpg123_format(m_handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
		restart();
	}

	~Mp3Decoder() override
	{
		if (m_handle)
			mpg123_delete(m_handle);
		AudioReader::stopLibrary();
	}

	bool valid() const { return m_handle != nullptr && m_open; }
	bool belongsTo(const AudioReader& reader) const { return m_owner == &reader && m_stream == reader.m_stream; }
	mpg123_handle* handle() const { return m_handle; }

	/** Feeds the stream's first bytes until the decoder knows the format; false when it never does. */
	bool readFormat(long& rate, int& channels, int& encoding)
	{
		unsigned char in[FEED_BYTES];
		for (;;)
		{
			const int n = readInput(in);
			if (n <= 0)
				return false;
			size_t done = 0;
			const int result = mpg123_decode(m_handle, in, size_t(n), nullptr, 0, &done);
			if (result == MPG123_NEW_FORMAT)
				return mpg123_getformat(m_handle, &rate, &channels, &encoding) == MPG123_OK;
			if (result != MPG123_NEED_MORE)
				return false;
		}
	}

	/** Up to bytes bytes of PCM from byte offset of the decoded sound; 0 at the end. */
	int read(void* buffer, int offset, int bytes)
	{
		if (!valid() || offset < 0 || bytes <= 0)
			return 0;
		if (long(offset) != m_position && !moveTo(offset))
			return 0;
		return decode(static_cast<unsigned char*>(buffer), bytes);
	}

private:
	const AudioReader* m_owner;
	lang::Ptr<io::InputStream> m_stream;
	long m_rate;
	int m_channels;
	mpg123_handle* m_handle;
	int m_input; // stream offset of the next input byte
	long m_position; // byte offset of the next PCM byte
	bool m_inputEnded;
	bool m_open = false;
	bool m_formatChanged = false;

	void restart()
	{
		// A fresh feed starts from a clean decoder, exactly like the first pass.
		m_open = mpg123_open_feed(m_handle) == MPG123_OK;
		m_input = 0;
		m_position = 0;
		m_inputEnded = false;
		m_formatChanged = false;
	}

	int readInput(unsigned char* in)
	{
		if (m_inputEnded || !m_stream->seek(m_input, io::InputStream::SEEK_BEGIN))
			return 0;
		const int n = m_stream->read(in, FEED_BYTES);
		if (n < 0)
			lang::Debug::printf("AudioReader::readData_mp3() ANOMALOUS BUFFER READ, returned len: %d\n", n);
		if (n <= 0)
		{
			m_inputEnded = true;
			return 0;
		}
		m_input += n;
		return n;
	}

	bool moveTo(int offset)
	{
		if (long(offset) < m_position)
		{
			restart();
			if (!m_open)
				return false;
		}
		unsigned char skip[4096];
		while (m_position < long(offset))
		{
			const int step = int(std::min<long>(long(sizeof skip), long(offset) - m_position));
			if (decode(skip, step) <= 0)
				return false;
		}
		return true;
	}

	int decode(unsigned char* out, int bytes)
	{
		if (m_formatChanged)
			return 0;
		size_t got = 0;
		unsigned char in[FEED_BYTES];
		const unsigned char* feed = nullptr;
		size_t feedBytes = 0;
		int result = MPG123_OK;
		for (;;)
		{
			size_t done = 0;
			result = mpg123_decode(m_handle, feed, feedBytes, out + got, size_t(bytes) - got, &done);
			feed = nullptr;
			feedBytes = 0;
			got += done;
			if (result == MPG123_NEW_FORMAT)
			{
				// Said once, maybe with the buffer already full, so it is checked wherever it comes: each pass
				// meets the header's format once; any other ends the sound there, never played as the header's.
				long rate = 0;
				int channels = 0, encoding = 0;
				mpg123_getformat(m_handle, &rate, &channels, &encoding);
				if (rate != m_rate || channels != m_channels || !(encoding & MPG123_ENC_16))
				{
					m_formatChanged = true;
					lang::Debug::printf("AudioReader: %s changes format (from %ld Hz, channels %d to %ld Hz, channels %d): the sound ends there\n",
						m_stream->toString().c_str(), m_rate, m_channels, rate, channels);
					break;
				}
				if (got < size_t(bytes))
					continue;
				result = MPG123_OK;
				break;
			}
			if (result != MPG123_NEED_MORE || got >= size_t(bytes))
				break;
			const int n = readInput(in);
			if (n == 0)
				break;
			feed = in;
			feedBytes = size_t(n);
		}
		if (result != MPG123_OK && result != MPG123_NEED_MORE && result != MPG123_DONE && result != MPG123_NEW_FORMAT)
			lang::Debug::printf("AudioReader: MP3 decoding stopped (%s) in %s\n", mpg123_plain_strerror(result),
				m_stream->toString().c_str());
		m_position += long(got);
		return int(got);
	}
};

void AudioReader::startLibrary(const lang::Ptr<io::InputStream>& stream)
{
	std::lock_guard<std::mutex> lock(s_libraryMutex);
	const bool ok = sm_refCount > 0 || mpg123_init() == MPG123_OK;
	++sm_refCount;
	if (!ok)
	{
		--sm_refCount;
		fail("Failed to initialize MPG123", stream);
	}
}

void AudioReader::stopLibrary()
{
	std::lock_guard<std::mutex> lock(s_libraryMutex);
	if (--sm_refCount == 0)
		mpg123_exit();
}

void AudioReader::readHeader_mp3()
{
	lang::Ptr<Mp3Decoder> probe = new Mp3Decoder(*this);
	m_mpg123 = probe.ptr();
	if (!probe->handle())
		fail("Failed to allocate MPG123", m_stream);
	if (!probe->valid())
		fail("Failed to open MPG123 feed", m_stream);

	long rate = 0;
	int channels = 0, encoding = 0;
	if (!probe->readFormat(rate, channels, encoding))
		fail("Failed to read MP3 header", m_stream);
	m_sampleRate = int(rate);
	m_channels = channels;
	if ((encoding & MPG123_ENC_8) == MPG123_ENC_8)
		m_bitsPerSample = 8;
	else if (encoding & MPG123_ENC_16)
		m_bitsPerSample = 16;
	else if (encoding & MPG123_ENC_32)
		m_bitsPerSample = 32;
	else
		fail("Invalid bits per sample", m_stream);
	m_audioFormat = 1;
	m_dataSize = -1;
	// Instance decoders compare the format they meet with the header's.
	m_mpg123 = new Mp3Decoder(*this);
}

int AudioReader::readData_mp3(void* buffer, int offset, int bytes)
{
	Mp3Decoder* own = static_cast<Mp3Decoder*>(m_mpg123.ptr());
	return own ? own->read(buffer, offset, bytes) : 0;
}

int AudioReader::readData(void* buffer, int offset, int bytes, lang::Ptr<lang::Object>& decoder)
{
	if (m_format != io::FILEFORMAT_MP3)
		return readData(buffer, offset, bytes);
	Mp3Decoder* own = dynamic_cast<Mp3Decoder*>(decoder.ptr());
	if (!own || !own->belongsTo(*this))
	{
		// Made on the mixing thread at an instance's first read; a failed allocation just gives silence.
		own = new Mp3Decoder(*this);
		decoder = own;
	}
	return own->read(buffer, offset, bytes);
}
}
