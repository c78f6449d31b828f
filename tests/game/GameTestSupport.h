#ifndef TESTS_GAME_GAMETESTSUPPORT_H
#define TESTS_GAME_GAMETESTSUPPORT_H

#include <support/RecordingContext.h>
#include <support/TempDir.h>
#include <gr/Context.h>
#include <io/detail/paths.h>
#include <lang/Throwable.h>
#include <qf3d/ContentWriter.h>
#include <gtest/gtest.h>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace gametest
{
/** One image draw as the recording context saw it. */
struct Draw
{
	std::string image;
	float x, y, w, h;
	math::float2 uv[4];
	/** Corner draws: the four corners; pivot of the render state at the time. */
	bool corners;
	math::float3 p[4];
	math::float2 pivot;
};

/**
 * A context that draws nothing: images are made from "image files" holding their
 * width and height as text, and every image draw is recorded.
 */
class RecordingContext : public support::RecordingContext
{
public:
	std::vector<Draw> draws;

	using support::RecordingContext::createImage;
	gr::Image* createImage(io::InputStream& in, const std::string& name) override;
};

/** A temporary bundle root for content files written by the test. */
class Bundle
{
public:
	Bundle() { io::detail::setBundlePath(m_dir.path()); }
	~Bundle() { io::detail::setBundlePath("."); }
	void write(const std::string& name, const qf3d::Bytes& bytes) const { qf3d::writeFile(m_dir / name, bytes); }
	void write(const std::string& name, const std::string& text) const { support::writeFile(m_dir / name, text); }
	/** An image file the recording context understands. */
	void image(const std::string& name, int width, int height) const
	{
		write(name, std::to_string(width) + " " + std::to_string(height));
	}
	const std::string& path() const { return m_dir.path(); }

private:
	support::TempDir m_dir;
};

struct NamedLayout
{
	const char* name;
	qf3d::Layout layout;
};
/** The layouts a reader reads alike: tagged, untagged, and tagged after an unknown chunk. */
std::vector<NamedLayout> readableLayouts();

/** The message of an engine exception thrown by f, or "" when none is thrown. */
std::string thrownMessage(const std::function<void()>& f);
}

#endif
