#include <audio/AudioInput.h>
#include "dummy/AudioInputImpl_dummy.h"

namespace audio
{
AudioInput::AudioInput(const AudioConfiguration& config) : m_this(new AudioInputImpl(config)) {}

AudioInput::~AudioInput() {}

bool AudioInput::startInput() { return m_this->startInput(); }

void AudioInput::stopInput() { m_this->stopInput(); }
}
