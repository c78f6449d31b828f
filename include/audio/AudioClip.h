#ifndef AUDIO_AUDIOCLIP_H
#define AUDIO_AUDIOCLIP_H

#include <audio/AudioClipCursor.h>
#include <audio/AudioConfiguration.h>
#include <audio/AudioReader.h>
#include <io/FileFormat.h>
#include <io/InputStream.h>
#include <lang/Object.h>
#include <lang/Ptr.h>

namespace audio
{
class AudioOutput;

/**
 * A playable sound, decoded lazily: every playing instance pulls PCM
 * through the clip's reader at its own cursor.
 */
class AudioClip : public lang::Object
{
public:
	/** Streams from the given stream; the reader parses the header now and its errors propagate. */
	AudioClip(AudioOutput* output, lang::Ptr<io::InputStream> stream, io::FileFormat format);
	/** Plays a private copy of raw PCM bytes in the given layout. */
	AudioClip(AudioOutput* output, const void* data, int bytes, const AudioConfiguration& config);
	~AudioClip() override;

	/** Bytes delivered at the cursor, which advances by as many; 0 when the data is exhausted there. */
	virtual int getData(void* buffer, int bytes, AudioClipCursor* cursor);

	virtual int audioFormat() const;
	virtual int channels() const;
	virtual int sampleRate() const;
	virtual int byteRate() const;
	virtual int blockAlign() const;
	virtual int bitsPerSample() const;
	virtual int dataSize() const;

protected:
	/** For subclasses that supply their own data: no stream, no reader. */
	explicit AudioClip(AudioOutput* output);

private:
	lang::Ptr<io::InputStream> m_stream;
	lang::Ptr<AudioReader> m_reader;
};
}

#endif
