#ifndef AUDIO_CONFIGURATIONCHECK_H
#define AUDIO_CONFIGURATIONCHECK_H

#include <audio/AudioConfiguration.h>

namespace audio
{
/** Throws lang::Exception "Unsupported ... while creating <what>" for a layout the devices do not take. */
void checkConfiguration(const AudioConfiguration& config, const char* what);
}

#endif
