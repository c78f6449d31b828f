#include <game/Resources.h>
#include <audio/AudioClip.h>
#include <audio/AudioInput.h>
#include <audio/AudioOutput.h>
#include <audio/AudioReader.h>
#include <audio/CompositeAudioClip.h>
#include <io/BundleInputStream.h>
#include <io/FileFormat.h>
#include <lang/Exception.h>
#include <lang/throwError.h>

namespace game
{
namespace
{
void requireOutput(const audio::AudioOutput* output, const char* message)
{
	if (!output)
		lang::throwError(lang::Exception(lang::Format(message)));
}
}

audio::AudioOutput* Resources::createAudioOutput(const audio::AudioConfiguration& config)
{
	m_audioOutput = nullptr;
	m_audioOutput = new audio::AudioOutput(config);
	return m_audioOutput;
}

audio::AudioInput* Resources::createAudioInput(const audio::AudioConfiguration& config)
{
	m_audioInput = nullptr;
	m_audioInput = new audio::AudioInput(config);
	return m_audioInput;
}

audio::AudioClip* Resources::createAudio(const std::string& fileName, const std::string& id, bool stream)
{
	requireOutput(m_audioOutput, "Trying to create audio but no audio output has been created");
	lang::Ptr<io::InputStream> in = new io::BundleInputStream(pathOf(fileName));
	const io::FileFormat format = io::guessFileFormat(fileName);
	lang::Ptr<audio::AudioClip> clip;
	if (stream)
	{
		clip = new audio::AudioClip(m_audioOutput, in, format);
	}
	else
	{
		audio::AudioReader reader(in, format);
		std::vector<char> data;
		if (reader.dataSize() > 0)
		{
			data.resize(size_t(reader.dataSize()));
			int got = 0;
			while (got < reader.dataSize())
			{
				const int n = reader.readData(data.data(), got, reader.dataSize() - got);
				if (n <= 0)
					break;
				got += n;
			}
			data.resize(size_t(got));
		}
		else
		{
			for (;;)
			{
				const size_t at = data.size();
				data.resize(at + 4096);
				const int n = reader.readData(data.data(), int(at), 4096);
				data.resize(at + size_t(n > 0 ? n : 0));
				if (n < 4096)
					break;
			}
		}
		const audio::AudioConfiguration config{reader.channels(), reader.bitsPerSample(), reader.sampleRate()};
		clip = new audio::AudioClip(m_audioOutput, data.data(), int(data.size()), config);
	}
	storeClip(id, clip);
	return clip;
}

audio::AudioClip* Resources::createCompositeAudio(const std::string& id, const std::vector<lang::Ptr<audio::AudioClip>>& clips)
{
	if (clips.empty())
		lang::throwError(lang::Exception(lang::Format("No loaded audio clip for the composite clip {0}", id)));
	lang::Ptr<audio::AudioClip> clip = new audio::CompositeAudioClip(m_audioOutput, clips);
	storeClip(id, clip);
	return clip;
}

void Resources::storeClip(const std::string& id, audio::AudioClip* clip)
{
	lang::Ptr<audio::AudioClip> keep = clip;
	auto it = m_audioClips.find(id);
	if (it != m_audioClips.end() && m_audioOutput)
		m_audioOutput->stopClip(it->second);
	m_audioClips[id] = keep;
}

audio::AudioClip* Resources::getAudioClip(const std::string& id) const
{
	auto it = m_audioClips.find(id);
	return it == m_audioClips.end() ? nullptr : it->second.ptr();
}

int Resources::playAudio(const std::string& id, float volume, bool loop, int track)
{
	requireOutput(m_audioOutput, "Trying to play audio clip but no audio output has been created");
	audio::AudioClip* clip = getAudioClip(id);
	if (!clip)
		return -1;
	return m_audioOutput->playClip(clip, volume, loop, track);
}

void Resources::stopAudio(const std::string& id)
{
	requireOutput(m_audioOutput, "Trying to stop audio clip but no audio output has been created");
	if (audio::AudioClip* clip = getAudioClip(id))
		m_audioOutput->stopClip(clip);
}

void Resources::stopAllAudio()
{
	requireOutput(m_audioOutput, "Trying to stop all audio clips but no audio output has been created");
	m_audioOutput->stopClips();
}

bool Resources::isAudioPlaying(const std::string& id)
{
	audio::AudioClip* clip = getAudioClip(id);
	return m_audioOutput && clip && m_audioOutput->isClipPlaying(clip);
}

bool Resources::isAudioPlaying(int handle)
{
	return m_audioOutput && m_audioOutput->isClipPlaying(handle);
}

void Resources::startAudioOutput()
{
	requireOutput(m_audioOutput, "Trying to start audio output but no audio output has been created");
	m_audioOutput->startOutput();
}

void Resources::stopAudioOutput()
{
	if (m_audioOutput)
		m_audioOutput->stopOutput();
}

void Resources::startAudioInput()
{
	if (!m_audioInput)
		lang::throwError(lang::Exception(lang::Format("Trying to start audio input but no audio input has been created")));
	m_audioInput->startInput();
}

void Resources::stopAudioInput()
{
	if (m_audioInput)
		m_audioInput->stopInput();
}

void Resources::setMasterVolume(float volume)
{
	if (m_audioOutput)
		m_audioOutput->setMasterVolume(volume);
}

float Resources::getMasterVolume() const
{
	return m_audioOutput ? m_audioOutput->getMasterVolume() : 0.f;
}
}
