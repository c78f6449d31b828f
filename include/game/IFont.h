#ifndef GAME_IFONT_H
#define GAME_IFONT_H

#include <game/Anchor.h>
#include <lang/Object.h>
#include <string>

namespace gr
{
class Context;
}

namespace game
{
/** A font that draws and measures UTF-8 text. */
class IFont : public lang::Object
{
public:
	~IFont() override {}

	virtual void drawString(gr::Context* context, const std::string& text, float x, float y, Anchor anchor) = 0;
	/** Draws count UTF-16 units from begin; the range is clamped to the text. */
	virtual void drawString(gr::Context* context, const std::string& text, int begin, int count, float x, float y, Anchor anchor) = 0;
	/** The text without the characters the font cannot draw. */
	virtual std::string filter(const std::string& text) = 0;
	virtual int getStringWidth(const std::string& text, int begin, int count) = 0;
	virtual int getMaxAscending() = 0;
	virtual int getMaxDescending() = 0;
	virtual int getLeading() = 0;
	virtual int getTracking() = 0;
};
}

#endif
