// The pf_video module: full-screen videos through a GStreamer playbin, loaded with the first
// video. Ends are noticed on GStreamer's threads and handed to the engine's main-thread queue.
#include <pf/detail/Modules.h>
#include <gst/gst.h>
#include <gst/video/videooverlay.h>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace pf
{
namespace video
{
namespace
{
const detail::ModuleHost* s_host = nullptr;

void log(const std::string& line)
{
	s_host->log(line);
}

bool gstreamerReady()
{
	static const bool ready = []() {
		GError* error = nullptr;
		if (gst_init_check(nullptr, nullptr, &error))
			return true;
		log(std::string("GStreamer could not start: ") + (error ? error->message : "unknown error"));
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

class Player;

struct Playback
{
	Player* owner = nullptr;
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

// What the bus handler needs; it never holds the playback itself, whose end stops the streaming threads.
struct BusTarget
{
	std::weak_ptr<Playback> playback;
	unsigned long window;
};

class Player : public detail::VideoBackend
{
public:
	~Player() override { m_playing.clear(); }

	int playing() const override { return static_cast<int>(m_playing.size()); }

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

	bool play(const std::string& path, VideoPlayerObserver* observer, unsigned long window) override;

private:
	std::vector<std::shared_ptr<Playback>> m_playing;
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
		log(std::string("Video failed: ") + (error ? error->message : "unknown error"));
		if (error)
			g_error_free(error);
	}
	else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_WARNING)
	{
		// Among them: no sink that can draw into the window, so the video plays without a picture.
		GError* warning = nullptr;
		gchar* details = nullptr;
		gst_message_parse_warning(message, &warning, &details);
		// The details end with the element's own words, plainer than the warning's.
		std::string text = details ? details : "";
		text = text.substr(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
		log("Video: " + (text.empty() ? std::string(warning ? warning->message : "unknown warning") : text));
		g_free(details);
		if (warning)
			g_error_free(warning);
	}
	if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS || GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
	{
		std::weak_ptr<Playback> weak = target.playback;
		s_host->post([weak]() {
			// A player destroyed meanwhile took its playbacks with it.
			if (std::shared_ptr<Playback> playback = weak.lock())
			{
				Player* owner = playback->owner;
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

bool Player::play(const std::string& path, VideoPlayerObserver* observer, unsigned long window)
{
	if (!gstreamerReady())
		return false;
	GError* error = nullptr;
	gchar* uri = gst_filename_to_uri(path.c_str(), &error);
	if (!uri)
	{
		log("Video " + path + " has no URI: " + (error ? error->message : "unknown error"));
		if (error)
			g_error_free(error);
		return false;
	}
	GstElement* pipeline = gst_element_factory_make("playbin", nullptr);
	if (!pipeline)
	{
		g_free(uri);
		log("Video " + path + ": GStreamer has no playbin");
		return false;
	}
	g_object_set(pipeline, "uri", uri, nullptr);
	g_free(uri);

	auto playback = std::make_shared<Playback>();
	playback->owner = this;
	playback->pipeline = GST_ELEMENT(gst_object_ref_sink(pipeline));
	playback->observer = observer;
	playback->window = window;
	if (!playback->window)
		g_object_set(pipeline, "video-sink", fakeSink(), "audio-sink", fakeSink(), nullptr);

	GstBus* bus = gst_element_get_bus(pipeline);
	gst_bus_set_sync_handler(bus, &onBusMessage, new BusTarget{playback, playback->window}, &deleteTarget);
	gst_object_unref(bus);

	if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
	{
		log("Video " + path + " did not start");
		return false;
	}
	m_playing.push_back(playback);
	return true;
}

class Module : public detail::VideoModule
{
public:
	std::unique_ptr<detail::VideoBackend> makePlayer() override { return std::unique_ptr<detail::VideoBackend>(new Player); }
};
}
}
}

extern "C" __attribute__((visibility("default"))) pf::detail::VideoModule* ENGINE_PF_VIDEO_ENTRY_FUNCTION(
	const pf::detail::ModuleHost* host)
{
	static pf::video::Module module;
	pf::video::s_host = host;
	return &module;
}
