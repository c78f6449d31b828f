// Videos on first use: the pf_video module (GStreamer) is loaded with the first video played,
// so a game that plays none never maps GStreamer.
#include <pf/VideoPlayer.h>
#include "ModuleLoader.h"
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <atomic>
#include <memory>
#include <string>
#include <unistd.h>

namespace pf
{
namespace
{
std::atomic<unsigned long> g_windowHandle(0);
detail::VideoModule* videoModule()
{
	return detail::loadModuleOnce<detail::VideoModule, EnginePfVideoEntry>("pf_video", ENGINE_PF_VIDEO_ENTRY,
		detail::moduleState("pf_video"));
}
}

class VideoPlayerImpl : public lang::Object
{
public:
	std::unique_ptr<detail::VideoBackend> backend;
};

VideoPlayer::VideoPlayer() :
	m_this(new VideoPlayerImpl)
{
}

VideoPlayer::~VideoPlayer()
{
	m_this->backend.reset();
}

int VideoPlayer::playing() const
{
	return m_this->backend ? m_this->backend->playing() : 0;
}

void VideoPlayer::setWindowHandle(unsigned long handle)
{
	g_windowHandle = handle;
}

unsigned long VideoPlayer::windowHandle()
{
	return g_windowHandle;
}

bool VideoPlayer::playFullscreen(const std::string& path, VideoPlayerObserver* observer)
{
	if (access(path.c_str(), R_OK) != 0)
	{
		lang::Debug::printf("Video %s cannot be read\n", path.c_str());
		return false;
	}
	if (!m_this->backend)
	{
		detail::VideoModule* module = videoModule();
		if (!module)
		{
			lang::Debug::printf("Video %s refused: %s\n", path.c_str(), detail::moduleState("pf_video").failure.c_str());
			return false;
		}
		m_this->backend = module->makePlayer();
	}
	return m_this->backend->play(path, observer, g_windowHandle);
}
}
