#include <qf3d/Build.h>
#include <gr/SurfaceFormat.h>
#include <img/ImageWriter.h>
#include <io/ByteArrayOutputStream.h>
#include <algorithm>
#include <numeric>

namespace qf3d
{
namespace
{
const int PADDING = 2;
const int MAX_SIZE = 4096;

// Shelves of falling height, left to right; false when the width does not hold them all.
bool shelfPack(const std::vector<std::pair<int, int>>& sizes, const std::vector<size_t>& order, int width, std::vector<Placement>& out, int* usedHeight)
{
	int x = PADDING, y = PADDING, shelf = 0;
	for (size_t i : order)
	{
		const int w = sizes[i].first, h = sizes[i].second;
		if (w + 2 * PADDING > width)
			return false;
		if (x + w + PADDING > width)
		{
			x = PADDING;
			y += shelf + PADDING;
			shelf = 0;
		}
		out[i] = Placement{x, y};
		x += w + PADDING;
		shelf = std::max(shelf, h);
	}
	*usedHeight = y + shelf + PADDING;
	return true;
}

int powerOfTwo(int n)
{
	int p = 1;
	while (p < n)
		p <<= 1;
	return p;
}
}

void Bitmap::paste(const Bitmap& src, int x, int y)
{
	for (int j = 0; j < src.height; ++j)
	{
		if (y + j < 0 || y + j >= height)
			continue;
		for (int i = 0; i < src.width; ++i)
		{
			if (x + i >= 0 && x + i < width)
				at(x + i, y + j) = src.at(i, j);
		}
	}
}

std::vector<Placement> pack(const std::vector<std::pair<int, int>>& sizes, int* atlasWidth, int* atlasHeight)
{
	std::vector<size_t> order(sizes.size());
	std::iota(order.begin(), order.end(), size_t(0));
	std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return sizes[a].second > sizes[b].second; });
	std::vector<Placement> best;
	long bestArea = -1;
	for (int width = 8; width <= MAX_SIZE; width <<= 1)
	{
		std::vector<Placement> placed(sizes.size());
		int used = 0;
		if (!shelfPack(sizes, order, width, placed, &used))
			continue;
		const int height = powerOfTwo(std::max(used, 8));
		if (height > MAX_SIZE)
			continue;
		const long area = long(width) * height;
		// Among equal areas the squarer atlas wins.
		if (bestArea < 0 || area < bestArea || (area == bestArea && std::max(width, height) < std::max(*atlasWidth, *atlasHeight)))
		{
			bestArea = area;
			best = placed;
			*atlasWidth = width;
			*atlasHeight = height;
		}
	}
	if (bestArea < 0)
		throw BuildError("the sprites do not fit in a 4096 x 4096 atlas");
	return best;
}

std::vector<uint8_t> encodePng(const Bitmap& bitmap)
{
	io::ByteArrayOutputStream out;
	img::ImageWriter::writePNG(out, bitmap.pixels.data(), bitmap.width, bitmap.height, gr::SurfaceFormat(gr::SurfaceFormat::SURFACE_A8R8G8B8));
	return out.data();
}
}
