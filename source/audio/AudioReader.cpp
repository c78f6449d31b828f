#include <audio/AudioReader.h>
#include <io/IOException.h>
#include <lang/Format.h>
#include <lang/throwError.h>

namespace audio
{
AudioReader::AudioReader(lang::Ptr<io::InputStream> stream, io::FileFormat format) :
	m_format(io::FILEFORMAT_UNKNOWN), m_audioFormat(0), m_channels(0), m_sampleRate(0), m_byteRate(0), m_blockAlign(0),
	m_bitsPerSample(0), m_dataSize(0), m_dataOffset(0), m_mpg123(nullptr)
{
	reset(stream, format, AudioConfiguration{0, 0, 0});
}

AudioReader::AudioReader(lang::Ptr<io::InputStream> stream, const AudioConfiguration& config) :
	m_format(io::FILEFORMAT_UNKNOWN), m_audioFormat(0), m_channels(0), m_sampleRate(0), m_byteRate(0), m_blockAlign(0),
	m_bitsPerSample(0), m_dataSize(0), m_dataOffset(0), m_mpg123(nullptr)
{
	reset(stream, io::FILEFORMAT_UNKNOWN, config);
}

AudioReader::~AudioReader()
{
	if (m_format == io::FILEFORMAT_MP3)
		shutdown_mp3();
}

void AudioReader::reset(lang::Ptr<io::InputStream> stream, io::FileFormat format, const AudioConfiguration& config)
{
	m_stream = stream;
	m_dataOffset = 0;
	m_mpg123 = nullptr;
	m_format = format;
	m_audioFormat = m_channels = m_sampleRate = m_byteRate = m_blockAlign = m_bitsPerSample = m_dataSize = 0;
	switch (format)
	{
	case io::FILEFORMAT_UNKNOWN: readHeader_raw(config); break;
	case io::FILEFORMAT_WAV: readHeader_wav(); break;
	case io::FILEFORMAT_MP3:
		try
		{
			readHeader_mp3();
		}
		catch (...)
		{
			// No destructor runs for a reader that failed to construct.
			shutdown_mp3();
			throw;
		}
		break;
	default:
		lang::throwError(io::IOException(lang::Format("Unsupported audio file format while reading {0}", m_stream->toString())));
	}
}

void AudioReader::readHeader_raw(const AudioConfiguration& config)
{
	m_audioFormat = 1;
	m_channels = config.channels;
	m_bitsPerSample = config.bitsPerSample;
	m_sampleRate = config.samplesPerSecond;
	m_blockAlign = m_bitsPerSample * m_channels / 8;
	m_byteRate = m_sampleRate * m_blockAlign;
	const int available = m_stream->available();
	m_dataSize = available > 0 ? available : 0;
	m_dataOffset = 0;
	// Raw PCM is read exactly like a WAV file's data chunk.
	m_format = io::FILEFORMAT_WAV;
}

int AudioReader::readData(void* buffer, int offset, int bytes)
{
	switch (m_format)
	{
	case io::FILEFORMAT_WAV: return readData_wav(buffer, offset, bytes);
	case io::FILEFORMAT_MP3: return readData_mp3(buffer, offset, bytes);
	default:
		lang::throwError(io::IOException(lang::Format("Unsupported audio file format while reading {0}", m_stream->toString())));
	}
}

int AudioReader::readUpTo(io::InputStream& stream, void* buffer, int bytes)
{
	int got = 0;
	while (got < bytes)
	{
		const int n = stream.read(static_cast<char*>(buffer) + got, bytes - got);
		if (n <= 0)
			break;
		got += n;
	}
	return got;
}

void AudioReader::readFully(lang::Ptr<io::InputStream> stream, void* buffer, int bytes)
{
	if (readUpTo(*stream, buffer, bytes) != bytes)
		lang::throwError(io::IOException(lang::Format("Failed to read {0} bytes from {1}", bytes, stream->toString())));
}

unsigned AudioReader::getUInt16LE(const void* data, int offset)
{
	const unsigned char* p = static_cast<const unsigned char*>(data) + offset;
	return unsigned(p[0]) | unsigned(p[1]) << 8;
}

unsigned AudioReader::getUInt32LE(const void* data, int offset)
{
	const unsigned char* p = static_cast<const unsigned char*>(data) + offset;
	return unsigned(p[0]) | unsigned(p[1]) << 8 | unsigned(p[2]) << 16 | unsigned(p[3]) << 24;
}
}
