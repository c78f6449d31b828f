#include "GameTestSupport.h"
#include <lang/Exception.h>
#include <cstdint>

namespace gametest
{
namespace
{
class RecordedImage : public gr::Image
{
public:
	RecordedImage(const std::string& name, int w, int h) : m_name(name), m_w(w), m_h(h) {}
	void draw(gr::Context*, float, float, int, int, int, int, float, float) override {}
	void draw(gr::Context* c, float x, float y, float w, float h, const math::float2* uv) override
	{
		Draw d = {};
		d.image = m_name, d.x = x, d.y = y, d.w = w, d.h = h;
		for (int i = 0; i < 4; ++i)
			d.uv[i] = uv[i];
		d.pivot = c->getRenderState2D().pivot;
		static_cast<RecordingContext*>(c)->draws.push_back(d);
	}
	void draw(gr::Context* c, const math::float3* p, const math::float2* uv, gr::Shader*) override { corners(c, p, uv); }
	void draw(gr::Context* c, const math::float3* p, const math::float2* uv, const math::float4*, gr::Shader*) override { corners(c, p, uv); }
	void blt(int, int, const void*, int, int, int, int, const gr::SurfaceFormat&) override {}
	void clear() override {}
	int width() const override { return m_w; }
	int height() const override { return m_h; }
	gr::SurfaceFormat format() const override { return gr::SurfaceFormat(); }
	void getData(void**, int*) const override {}

private:
	std::string m_name;
	int m_w, m_h;

	void corners(gr::Context* c, const math::float3* p, const math::float2* uv)
	{
		Draw d = {};
		d.image = m_name, d.corners = true;
		for (int i = 0; i < 4; ++i)
			d.p[i] = p[i], d.uv[i] = uv[i];
		static_cast<RecordingContext*>(c)->draws.push_back(d);
	}
};
}

gr::Image* RecordingContext::createImage(io::InputStream& in, const std::string& name)
{
	char buf[32] = {};
	in.read(buf, sizeof buf - 1);
	int w = 0, h = 0;
	std::istringstream(buf) >> w >> h;
	return new RecordedImage(name, w, h);
}

std::vector<NamedLayout> readableLayouts()
{
	qf3d::Layout untagged, unknown;
	untagged.untagged = true;
	unknown.unknownChunk = true;
	return {{"tagged", qf3d::Layout()}, {"untagged", untagged}, {"unknown chunk", unknown}};
}

std::string wavFile(int samples)
{
	std::string s;
	auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) s += char(v >> (8 * i)); };
	auto u16 = [&](uint16_t v) { s += char(v), s += char(v >> 8); };
	s += "RIFF";
	u32(36 + 2 * samples);
	s += "WAVEfmt ";
	u32(16), u16(1), u16(1), u32(22050), u32(44100), u16(2), u16(16);
	s += "data";
	u32(2 * samples);
	s += std::string(size_t(2 * samples), '\x01');
	return s;
}

std::string thrownMessage(const std::function<void()>& f)
{
	try
	{
		f();
	}
	catch (const lang::Throwable& e)
	{
		return e.getMessage().format();
	}
	return "";
}
}
