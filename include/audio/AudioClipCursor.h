#ifndef AUDIO_AUDIOCLIPCURSOR_H
#define AUDIO_AUDIOCLIPCURSOR_H

#include <lang/Object.h>
#include <lang/Ptr.h>

namespace audio
{
/** Read position of one playing instance: byte offset in the current clip and part of a composite. */
class AudioClipCursor : public lang::Object
{
public:
	AudioClipCursor() : offset(0), part(0) {}

	int offset;
	int part;
	/** This instance's own decoding state for the current part (MP3), made by the part's reader. */
	lang::Ptr<lang::Object> decoder;
};
}

#endif
