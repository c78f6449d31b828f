#include <audio/CompositeAudioClip.h>
#include <lang/Exception.h>
#include <lang/Format.h>
#include <lang/throwError.h>

namespace audio
{
CompositeAudioClip::CompositeAudioClip(AudioOutput* output, std::vector<lang::Ptr<AudioClip>> parts) :
	AudioClip(output), m_parts(parts)
{
	if (m_parts.empty())
		lang::throwError(lang::Exception(lang::Format("A composite audio clip needs at least one part")));
	for (const lang::Ptr<AudioClip>& part : m_parts)
		if (!part)
			lang::throwError(lang::Exception(lang::Format("A composite audio clip cannot have an empty part")));
}

int CompositeAudioClip::getData(void* buffer, int bytes, AudioClipCursor* cursor)
{
	char* out = static_cast<char*>(buffer);
	int got = 0;
	const int last = int(m_parts.size()) - 1;
	while (got < bytes)
	{
		if (cursor->part < 0 || cursor->part > last)
			return got;
		const int n = m_parts[cursor->part]->getData(out + got, bytes - got, cursor);
		got += n;
		if (n == 0)
		{
			if (cursor->part == last)
				return got;
			cursor->offset = 0;
			++cursor->part;
			// A read stops at a part's end; one that starts there goes on with the next part.
			if (got > 0)
				return got;
		}
	}
	return got;
}

int CompositeAudioClip::audioFormat() const { return m_parts.front()->audioFormat(); }
int CompositeAudioClip::channels() const { return m_parts.front()->channels(); }
int CompositeAudioClip::sampleRate() const { return m_parts.front()->sampleRate(); }
int CompositeAudioClip::byteRate() const { return m_parts.front()->byteRate(); }
int CompositeAudioClip::blockAlign() const { return m_parts.front()->blockAlign(); }
int CompositeAudioClip::bitsPerSample() const { return m_parts.front()->bitsPerSample(); }

int CompositeAudioClip::dataSize() const
{
	long long total = 0;
	for (const lang::Ptr<AudioClip>& part : m_parts)
	{
		const int size = part->dataSize();
		if (size < 0)
			return -1;
		total += size;
	}
	return total > 0x7fffffff ? 0x7fffffff : int(total);
}
}
