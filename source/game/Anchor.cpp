#include <game/Anchor.h>
#include <lang/Exception.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <cstring>

namespace game
{
void Anchor::fromString(const char* keyword)
{
	if (!keyword || !*keyword)
		return;
	static const char* const verticals[] = {"TOP", "VCENTER", "BOTTOM", "BASELINE", "VPIVOT"};
	static const char* const horizontals[] = {"LEFT", "HCENTER", "RIGHT", "HPIVOT"};
	for (int i = 0; i < 5; ++i)
	{
		if (!std::strcmp(keyword, verticals[i]))
		{
			vertical = i;
			return;
		}
	}
	for (int i = 0; i < 4; ++i)
	{
		if (!std::strcmp(keyword, horizontals[i]))
		{
			horizontal = i;
			return;
		}
	}
	lang::throwError(lang::Exception(lang::Format("Invalid anchor: {0}", keyword)));
}
}
