#ifndef AUDIO_COMPOSITEAUDIOCLIP_H
#define AUDIO_COMPOSITEAUDIOCLIP_H

#include <audio/AudioClip.h>
#include <vector>

namespace audio
{
/** Plays its parts one after the other; the parts are expected to share one format. */
class CompositeAudioClip : public AudioClip
{
public:
	/** Throws lang::Exception when parts is empty. */
	CompositeAudioClip(AudioOutput* output, std::vector<lang::Ptr<AudioClip>> parts);

	/**
	 * Reads the part at the cursor. A read that reaches a part's end stops
	 * there; a read that starts at a part's end goes on with the next part.
	 */
	int getData(void* buffer, int bytes, AudioClipCursor* cursor) override;

	int audioFormat() const override;
	int channels() const override;
	int sampleRate() const override;
	int byteRate() const override;
	int blockAlign() const override;
	int bitsPerSample() const override;
	/** The sum of the parts' sizes, or -1 when one is unknown. */
	int dataSize() const override;

private:
	std::vector<lang::Ptr<AudioClip>> m_parts;
};
}

#endif
