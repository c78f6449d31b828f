#include "ConfigurationCheck.h"
#include <lang/Exception.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <string>

namespace audio
{
void checkConfiguration(const AudioConfiguration& config, const char* what)
{
	static const int RATES[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 64000, 88200, 96000};
	const std::string suffix = std::string(" while creating ") + what;
	if (config.channels != 1 && config.channels != 2)
		lang::throwError(lang::Exception(lang::Format("Unsupported count of channels" + suffix)));
	if (config.bitsPerSample != 8 && config.bitsPerSample != 16)
		lang::throwError(lang::Exception(lang::Format("Unsupported bits per sample" + suffix)));
	for (int rate : RATES)
		if (config.samplesPerSecond == rate)
			return;
	lang::throwError(lang::Exception(lang::Format("Unsupported samples per second" + suffix)));
}
}
