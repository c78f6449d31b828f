#include <audio/AudioReader.h>
#include <io/IOException.h>
#include <lang/Debug.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <mpg123.h>
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

void AudioReader::readHeader_mp3()
{
	{
		std::lock_guard<std::mutex> lock(s_libraryMutex);
		const bool ok = sm_refCount > 0 || mpg123_init() == MPG123_OK;
		++sm_refCount;
		if (!ok)
			fail("Failed to initialize MPG123", m_stream);
	}
	int err = MPG123_OK;
	m_mpg123 = mpg123_new(nullptr, &err);
	if (!m_mpg123 || err != MPG123_OK)
		fail("Failed to allocate MPG123", m_stream);
	// Bad files are reported by exceptions and diagnostic lines, not by the library on stderr.
	mpg123_param(m_mpg123, MPG123_ADD_FLAGS, MPG123_QUIET, 0.);
	// The mixer takes 16-bit samples only, whatever the decoder would prefer.
	mpg123_format_none(m_mpg123);
	const long* rates = nullptr;
	size_t rateCount = 0;
	mpg123_rates(&rates, &rateCount);
	for (size_t i = 0; i < rateCount; ++i)
		mpg123_format(m_mpg123, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
	if (mpg123_open_feed(m_mpg123) != MPG123_OK)
		fail("Failed to open MPG123 feed", m_stream);

	if (!feedUntilFormat_mp3())
		fail("Failed to read MP3 header", m_stream);

	long rate = 0;
	int channels = 0, encoding = 0;
	mpg123_getformat(m_mpg123, &rate, &channels, &encoding);
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
}

bool AudioReader::feedUntilFormat_mp3()
{
	unsigned char in[FEED_BYTES];
	for (;;)
	{
		const int n = m_stream->read(in, FEED_BYTES);
		if (n <= 0)
			return false;
		size_t done = 0;
		const int result = mpg123_decode(m_mpg123, in, size_t(n), nullptr, 0, &done);
		if (result == MPG123_NEW_FORMAT)
			return true;
		if (result != MPG123_NEED_MORE)
			return false;
	}
}

void AudioReader::shutdown_mp3()
{
	if (m_mpg123)
		mpg123_delete(m_mpg123);
	m_mpg123 = nullptr;
	std::lock_guard<std::mutex> lock(s_libraryMutex);
	if (--sm_refCount == 0)
		mpg123_exit();
}

bool AudioReader::seek_mp3(long target)
{
	// Back to the start (every loop) the decoder starts afresh: a seek there skips the stream's first
	// frames and can decode the next few slightly differently from a plain pass.
	// Its format is announced again on the way; see readData_mp3.
	if (target == 0)
		return mpg123_open_feed(m_mpg123) == MPG123_OK && m_stream->seek(0, io::InputStream::SEEK_BEGIN);

	// The decoder answers with the input offset it wants next and skips to the target sample itself
	// as it is fed from there; it asks for more input only when it knows too little of the stream yet.
	unsigned char in[FEED_BYTES];
	for (;;)
	{
		off_t inputOffset = 0;
		const off_t result = mpg123_feedseek(m_mpg123, off_t(target), SEEK_SET, &inputOffset);
		if (result >= 0)
			return m_stream->seek(int(inputOffset), io::InputStream::SEEK_BEGIN);
		if (result != MPG123_NEED_MORE)
		{
			lang::Debug::printf("AudioReader: MP3 seek to sample %ld failed in %s\n", target, m_stream->toString().c_str());
			return false;
		}
		// Stops when the stream is exhausted.
		const int n = m_stream->read(in, FEED_BYTES);
		if (n <= 0)
			return false;
		if (mpg123_feed(m_mpg123, in, size_t(n)) != MPG123_OK)
		{
			lang::Debug::printf("AudioReader: MP3 feed failed while seeking in %s\n", m_stream->toString().c_str());
			return false;
		}
	}
}

int AudioReader::readData_mp3(void* buffer, int offset, int bytes)
{
	if (offset < 0 || bytes <= 0 || m_channels <= 0 || m_bitsPerSample < 8)
		return 0;
	const long target = long(offset / (m_channels * (m_bitsPerSample / 8)));
	if (long(mpg123_tell(m_mpg123)) != target && !seek_mp3(target))
		return 0;

	unsigned char* out = static_cast<unsigned char*>(buffer);
	size_t got = 0;
	int result = mpg123_decode(m_mpg123, nullptr, 0, out, size_t(bytes), &got);
	unsigned char in[FEED_BYTES];
	while ((result == MPG123_NEED_MORE || result == MPG123_NEW_FORMAT) && got < size_t(bytes))
	{
		size_t done = 0;
		if (result == MPG123_NEW_FORMAT)
		{
			// After a restart the decoder announces the format again; only a change stops decoding.
			long rate = 0;
			int channels = 0, encoding = 0;
			mpg123_getformat(m_mpg123, &rate, &channels, &encoding);
			if (rate != m_sampleRate || channels != m_channels || !(encoding & MPG123_ENC_16))
				break;
			result = mpg123_decode(m_mpg123, nullptr, 0, out + got, size_t(bytes) - got, &done);
			got += done;
			continue;
		}
		const int n = m_stream->read(in, FEED_BYTES);
		if (n < 0)
		{
			lang::Debug::printf("AudioReader::readData_mp3() ANOMALOUS BUFFER READ, returned len: %d\n", n);
			break;
		}
		if (n == 0)
			break;
		result = mpg123_decode(m_mpg123, in, size_t(n), out + got, size_t(bytes) - got, &done);
		got += done;
	}
	if (result != MPG123_OK && result != MPG123_NEED_MORE && result != MPG123_DONE)
		lang::Debug::printf("AudioReader: MP3 decoding stopped (%s) in %s\n", mpg123_plain_strerror(result),
			m_stream->toString().c_str());
	return int(got);
}
}
