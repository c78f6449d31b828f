#include "AudioInputImpl_dummy.h"
#include "../ConfigurationCheck.h"

namespace audio
{
AudioInputImpl::AudioInputImpl(const AudioConfiguration& config) : m_config(config), m_started(false)
{
	checkConfiguration(config, "AudioInput");
}
}
