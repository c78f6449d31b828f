// Writes a short Ogg Theora test clip: make_video_clip <out.ogv> [frames] [WIDTHxHEIGHT].
#include <gst/gst.h>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
	if (argc < 2)
	{
		std::fprintf(stderr, "usage: make_video_clip OUT.ogv [FRAMES] [WIDTHxHEIGHT]\n");
		return 2;
	}
	gst_init(&argc, &argv);
	const int frames = argc > 2 ? std::atoi(argv[2]) : 50;
	int width = 320, height = 240;
	if (argc > 3 && (std::sscanf(argv[3], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0))
	{
		std::fprintf(stderr, "make_video_clip: bad size %s\n", argv[3]);
		return 2;
	}
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
