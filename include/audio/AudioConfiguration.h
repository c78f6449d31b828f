#ifndef AUDIO_AUDIOCONFIGURATION_H
#define AUDIO_AUDIOCONFIGURATION_H

namespace audio
{
/** PCM layout of an output, an input or a raw clip. */
struct AudioConfiguration
{
	int channels;         // 1 or 2
	int bitsPerSample;    // 8 or 16
	int samplesPerSecond;
};
}

#endif
