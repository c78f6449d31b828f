#ifndef AUDIO_AUDIOREADER_H
#define AUDIO_AUDIOREADER_H

#include <audio/AudioConfiguration.h>
#include <io/FileFormat.h>
#include <io/InputStream.h>
#include <lang/Object.h>
#include <lang/Ptr.h>

namespace audio
{
class Mp3Decoder;

/**
 * Parses a sound stream's header at construction and delivers PCM bytes at
 * any offset of its sound data: RIFF/WAVE with PCM, MP3 (decoded to 16-bit)
 * or headerless PCM described by a configuration.
 */
class AudioReader : public lang::Object
{
public:
	/**
	 * Reads the header of a WAV (12) or MP3 (13) stream; the stream should start at the file's first byte.
	 * The first bytes decide which: RIFF/WAVE is read as WAV and an ID3 tag or two MP3 frame headers
	 * in a row as MP3, whatever the format given (WAV, MP3 or unknown); anything else is refused naming
	 * the stream. Headerless PCM comes only with a configuration (the other constructor).
	 */
	AudioReader(lang::Ptr<io::InputStream> stream, io::FileFormat format);
	/** Raw PCM: the whole stream is sound data in the given layout. */
	AudioReader(lang::Ptr<io::InputStream> stream, const AudioConfiguration& config);
	~AudioReader() override;

	AudioReader(const AudioReader&) = delete;
	AudioReader& operator=(const AudioReader&) = delete;

	/** Up to bytes bytes of PCM from byte offset of the sound data; 0 at the end. */
	int readData(void* buffer, int offset, int bytes);
	/**
	 * The same for one playing instance: decoding state that must not be shared (an MP3 decoder)
	 * lives in decoder, made on first use and replaced when it belongs to another reader. Reads in
	 * order never seek, so instances of one clip do not disturb each other.
	 */
	int readData(void* buffer, int offset, int bytes, lang::Ptr<lang::Object>& decoder);

	/** Reads until bytes are there or the stream ends; a short count throws io::IOException. */
	static void readFully(lang::Ptr<io::InputStream> stream, void* buffer, int bytes);
	static unsigned getUInt16LE(const void* data, int offset);
	static unsigned getUInt32LE(const void* data, int offset);

	int audioFormat() const { return m_audioFormat; }
	int channels() const { return m_channels; }
	int sampleRate() const { return m_sampleRate; }
	int byteRate() const { return m_byteRate; }
	int blockAlign() const { return m_blockAlign; }
	int bitsPerSample() const { return m_bitsPerSample; }
	/** Bytes of sound data, -1 when unknown (MP3). */
	int dataSize() const { return m_dataSize; }

private:
	lang::Ptr<io::InputStream> m_stream;
	io::FileFormat m_format;
	int m_audioFormat;
	int m_channels;
	int m_sampleRate;
	int m_byteRate;
	int m_blockAlign;
	int m_bitsPerSample;
	int m_dataSize;
	int m_dataOffset;
	// The reader's own MP3 decoder: header and readData without an instance.
	lang::Ptr<lang::Object> m_mpg123;

	static int sm_refCount;
	friend class Mp3Decoder;

	// Reads until bytes are there or the stream ends; the count read.
	static int readUpTo(io::InputStream& stream, void* buffer, int bytes);
	void reset(lang::Ptr<io::InputStream> stream, io::FileFormat format, const AudioConfiguration& config);
	void readHeader_raw(const AudioConfiguration& config);
	void readHeader_wav();
	void readHeader_mp3();
	int readData_wav(void* buffer, int offset, int bytes);
	int readData_mp3(void* buffer, int offset, int bytes);
	static void startLibrary(const lang::Ptr<io::InputStream>& stream);
	static void stopLibrary();
};
}

#endif
