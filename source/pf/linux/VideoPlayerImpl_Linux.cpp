#include <pf/VideoPlayer.h>
#include <pf/MainThreadQueue.h>
#include <lang/Debug.h>
#include <gst/gst.h>
#include <gst/video/videooverlay.h>
#include <algorithm>
#include <atomic>
#include <memory>
#include <unistd.h>
#include <vector>

namespace pf
{
namespace
{
std::atomic<unsigned long> g_windowHandle(0);

bool gstreamerReady()
{
	static const bool ready = []() {
		GError* error = nullptr;
		if (gst_init_check(nullptr, nullptr, &error))
			return true;
		lang::Debug::printf("GStreamer could not start: %s\n", error ? error->message : "unknown error");
		if (error)
			g_error_free(error);
		return false;
	}();
	return ready;
}

GstElement* fakeSink()
{
	GstElement* sink = gst_element_factory_make("fakesink", nullptr);
	if (sink)
		g_object_set(sink, "sync", FALSE, nullptr);
	return sink;
}
}

class VideoPlayerImpl;

struct Playback
{
	VideoPlayerImpl* owner = nullptr;
	GstElement* pipeline = nullptr;
	VideoPlayerObserver* observer = nullptr;
	unsigned long window = 0;

	~Playback()
	{
		if (pipeline)
		{
			gst_element_set_state(pipeline, GST_STATE_NULL);
			gst_object_unref(pipeline);
		}
	}
};

class VideoPlayerImpl : public lang::Object
{
public:
	std::vector<std::shared_ptr<Playback>> m_playing;

	void finish(Playback* playback)
	{
		auto it = std::find_if(m_playing.begin(), m_playing.end(), [playback](const std::shared_ptr<Playback>& p) { return p.get() == playback; });
		if (it == m_playing.end())
			return;
		std::shared_ptr<Playback> keep = *it;
		m_playing.erase(it);
		VideoPlayerObserver* observer = keep->observer;
		keep.reset();
		if (observer)
			observer->videoPlayEnded();
	}
};

namespace
{
// What the bus handler needs; it never holds the playback itself, whose end stops the streaming threads.
struct BusTarget
{
	std::weak_ptr<Playback> playback;
	unsigned long window;
};

// Runs on GStreamer's threads: it only hands the end over to the main thread.
GstBusSyncReply onBusMessage(GstBus*, GstMessage* message, gpointer data)
{
	const BusTarget& target = *static_cast<BusTarget*>(data);
	if (gst_is_video_overlay_prepare_window_handle_message(message))
	{
		if (target.window)
			gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(GST_MESSAGE_SRC(message)), target.window);
		gst_message_unref(message);
		return GST_BUS_DROP;
	}
	if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
	{
		GError* error = nullptr;
		gst_message_parse_error(message, &error, nullptr);
		lang::Debug::printf("Video failed: %s\n", error ? error->message : "unknown error");
		if (error)
			g_error_free(error);
	}
	if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS || GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
	{
		std::weak_ptr<Playback> weak = target.playback;
		MainThreadQueue::post([weak]() {
			// A player destroyed meanwhile took its playbacks with it.
			if (std::shared_ptr<Playback> playback = weak.lock())
			{
				VideoPlayerImpl* owner = playback->owner;
				Playback* ended = playback.get();
				playback.reset();
				owner->finish(ended);
			}
		});
	}
	gst_message_unref(message);
	return GST_BUS_DROP;
}

void deleteTarget(gpointer data)
{
	delete static_cast<BusTarget*>(data);
}
}

VideoPlayer::VideoPlayer() :
	m_this(new VideoPlayerImpl)
{
}

VideoPlayer::~VideoPlayer()
{
	m_this->m_playing.clear();
}

int VideoPlayer::playing() const
{
	return static_cast<int>(m_this->m_playing.size());
}

void VideoPlayer::setWindowHandle(unsigned long handle)
{
	g_windowHandle = handle;
}

bool VideoPlayer::playFullscreen(const std::string& path, VideoPlayerObserver* observer)
{
	if (access(path.c_str(), R_OK) != 0)
	{
		lang::Debug::printf("Video %s cannot be read\n", path.c_str());
		return false;
	}
	if (!gstreamerReady())
		return false;
	GError* error = nullptr;
	gchar* uri = gst_filename_to_uri(path.c_str(), &error);
	if (!uri)
	{
		lang::Debug::printf("Video %s has no URI: %s\n", path.c_str(), error ? error->message : "unknown error");
		if (error)
			g_error_free(error);
		return false;
	}
	GstElement* pipeline = gst_element_factory_make("playbin", nullptr);
	if (!pipeline)
	{
		g_free(uri);
		lang::Debug::printf("Video %s: GStreamer has no playbin\n", path.c_str());
		return false;
	}
	g_object_set(pipeline, "uri", uri, nullptr);
	g_free(uri);

	auto playback = std::make_shared<Playback>();
	playback->owner = m_this.ptr();
	playback->pipeline = GST_ELEMENT(gst_object_ref_sink(pipeline));
	playback->observer = observer;
	playback->window = g_windowHandle;
	if (!playback->window)
		g_object_set(pipeline, "video-sink", fakeSink(), "audio-sink", fakeSink(), nullptr);

	GstBus* bus = gst_element_get_bus(pipeline);
	gst_bus_set_sync_handler(bus, &onBusMessage, new BusTarget{playback, playback->window}, &deleteTarget);
	gst_object_unref(bus);

	if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
	{
		lang::Debug::printf("Video %s did not start\n", path.c_str());
		return false;
	}
	m_this->m_playing.push_back(playback);
	return true;
}
}
