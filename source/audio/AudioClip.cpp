#include <audio/AudioClip.h>
#include <io/ByteArrayInputStream.h>

namespace audio
{
AudioClip::AudioClip(AudioOutput*) {}

AudioClip::AudioClip(AudioOutput*, lang::Ptr<io::InputStream> stream, io::FileFormat format) :
	m_stream(stream), m_reader(new AudioReader(stream, format))
{
}

AudioClip::AudioClip(AudioOutput*, const void* data, int bytes, const AudioConfiguration& config) :
	m_stream(new io::ByteArrayInputStream(data, bytes)), m_reader(new AudioReader(m_stream, config))
{
}

AudioClip::~AudioClip() {}

int AudioClip::getData(void* buffer, int bytes, AudioClipCursor* cursor)
{
	const int n = m_reader->readData(buffer, cursor->offset, bytes, cursor->decoder);
	cursor->offset += n;
	return n;
}

int AudioClip::audioFormat() const { return m_reader->audioFormat(); }
int AudioClip::channels() const { return m_reader->channels(); }
int AudioClip::sampleRate() const { return m_reader->sampleRate(); }
int AudioClip::byteRate() const { return m_reader->byteRate(); }
int AudioClip::blockAlign() const { return m_reader->blockAlign(); }
int AudioClip::bitsPerSample() const { return m_reader->bitsPerSample(); }
int AudioClip::dataSize() const { return m_reader->dataSize(); }
}
