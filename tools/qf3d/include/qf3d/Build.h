#ifndef QF3D_BUILD_H
#define QF3D_BUILD_H

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qf3d
{
/** A fault of the description: the message names the description and the entry. */
class BuildError : public std::runtime_error
{
public:
	explicit BuildError(const std::string& message) : std::runtime_error(message) {}
};

/** Pixels 0xAARRGGBB, top row first; the tool writes colour premultiplied by alpha. */
struct Bitmap
{
	int width = 0;
	int height = 0;
	std::vector<uint32_t> pixels;

	Bitmap() {}
	Bitmap(int w, int h) : width(w), height(h), pixels(size_t(w) * size_t(h), 0) {}
	uint32_t& at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
	uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
	/** Copies src with its top-left corner at (x, y), clipped to this bitmap. */
	void paste(const Bitmap& src, int x, int y);
};

/** A rectangle placed in an atlas. */
struct Placement
{
	int x, y;
};

/**
 * Packs rectangles (w x h each) into the smallest power-of-two atlas, with 2 pixels of
 * padding around each; returns the placements in input order and sets the atlas size.
 */
std::vector<Placement> pack(const std::vector<std::pair<int, int>>& sizes, int* atlasWidth, int* atlasHeight);

/** Encodes a bitmap as PNG (through img's writer). */
std::vector<uint8_t> encodePng(const Bitmap& bitmap);

struct BuildOptions
{
	/** A character that a font's face lacks fails the build instead of warning. */
	bool strict = false;
	/** A description still running after this many Lua instructions fails the build (an endless loop). */
	int instructionLimit = 20000000;
	/** Receives each warning; when empty, warnings go to the standard error. */
	std::function<void(const std::string&)> warn;
};

/** Reads the Lua description and writes every file it names under outDir; returns their paths. */
std::vector<std::string> build(const std::string& description, const std::string& outDir, const BuildOptions& options = BuildOptions());

/** The chunks of a content file as text; throws std::runtime_error on a malformed file. */
std::string dump(const std::string& path);

/** The DejaVu Sans file the fonts are rendered from unless a description names another. */
std::string defaultFontFile();
}

#endif
