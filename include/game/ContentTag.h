#ifndef GAME_CONTENTTAG_H
#define GAME_CONTENTTAG_H

#include <cstdint>

namespace game
{
/** The four-character words of content files: the container's magic, chunk and sub-chunk tags. */
struct ContentTag
{
	enum : uint32_t
	{
		QF3D = 0x51463344,
		SPRT = 0x53505254,
		COMP = 0x434F4D50,
		FONT = 0x464F4E54,
		TEXT = 0x54455854,
		LDAT = 0x4C444154,
		LIDS = 0x4C494453,
		TXGP = 0x54584750
	};
};
}

#endif
