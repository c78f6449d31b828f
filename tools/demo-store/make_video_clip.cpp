// Writes a short Ogg Theora test clip: make_video_clip <out.ogv> [frames] [WIDTHxHEIGHT].
#include <gst/gst.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
int usage()
{
	std::fprintf(stderr, "usage: make_video_clip OUT.ogv [FRAMES] [WIDTHxHEIGHT]\n");
	return 2;
}

bool positive(const char* text, int& value)
{
	char* end = nullptr;
	errno = 0;
	const long v = std::strtol(text, &end, 10);
	if (end == text || *end != 0 || errno != 0 || v < 1 || v > 100000)
		return false;
	value = static_cast<int>(v);
	return true;
}
}

int main(int argc, char** argv)
{
	if (argc < 2 || argc > 4 || argv[1][0] == 0 || argv[1][0] == '-')
		return usage();
	int frames = 50;
	if (argc > 2 && !positive(argv[2], frames))
	{
		std::fprintf(stderr, "make_video_clip: bad frame count %s\n", argv[2]);
		return usage();
	}
	int width = 320, height = 240;
	if (argc > 3)
	{
		const char* x = std::strchr(argv[3], 'x');
		const std::string w = x ? std::string(argv[3], static_cast<size_t>(x - argv[3])) : std::string();
		if (!x || !positive(w.c_str(), width) || !positive(x + 1, height) || width > 16384 || height > 16384)
		{
			std::fprintf(stderr, "make_video_clip: bad size %s\n", argv[3]);
			return usage();
		}
	}
	gst_init(&argc, &argv);
	const std::string description = "videotestsrc num-buffers=" + std::to_string(frames) +
		" ! video/x-raw,width=" + std::to_string(width) + ",height=" + std::to_string(height) +
		",framerate=25/1 ! theoraenc ! oggmux ! filesink location=\"" + argv[1] + "\"";
	GError* error = nullptr;
	GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
	if (!pipeline)
	{
		std::fprintf(stderr, "make_video_clip: %s\n", error ? error->message : "no pipeline");
		return 1;
	}
	gst_element_set_state(pipeline, GST_STATE_PLAYING);
	GstBus* bus = gst_element_get_bus(pipeline);
	GstMessage* message = gst_bus_timed_pop_filtered(bus, 30 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
	const bool ok = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
	if (message)
		gst_message_unref(message);
	gst_object_unref(bus);
	gst_element_set_state(pipeline, GST_STATE_NULL);
	gst_object_unref(pipeline);
	if (!ok)
		std::fprintf(stderr, "make_video_clip: encoding %s failed\n", argv[1]);
	return ok ? 0 : 1;
}
