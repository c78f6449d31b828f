#ifndef PF_VIDEOPLAYER_H
#define PF_VIDEOPLAYER_H

#include <lang/Object.h>
#include <lang/Ptr.h>
#include <pf/VideoPlayerObserver.h>
#include <string>

namespace pf
{
class VideoPlayerImpl;

/**
 * Plays a movie file over the game through a GStreamer playbin, in the
 * pf_video module loaded with the first video played. With a window handle
 * the picture goes into the game window; without one (no window, headless
 * runs) the stream is decoded into fake sinks as fast as it can. The end is
 * noticed on the main-thread queue, which the host runs.
 */
class VideoPlayer : public lang::Object
{
public:
	VideoPlayer();
	/** Stops this player's videos; no end reaches an observer afterwards. */
	~VideoPlayer() override;

	/**
	 * Starts the movie; false when the file is missing, the module cannot be
	 * loaded (printed with its name and the loader's error) or the player does
	 * not start. The observer (may be null) hears videoPlayEnded() at the end of
	 * the stream or at an error.
	 */
	bool playFullscreen(const std::string& path, VideoPlayerObserver* observer);
	/** Videos of this player still running. */
	int playing() const;

	/** The X11 window videos are drawn into; 0 (the default) plays without a picture. */
	static void setWindowHandle(unsigned long handle);
	static unsigned long windowHandle();

private:
	lang::Ptr<VideoPlayerImpl> m_this;
};
}

#endif
