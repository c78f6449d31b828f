#ifndef FRAMEWORK_TOUCHEVENT_H
#define FRAMEWORK_TOUCHEVENT_H

namespace framework
{
/** One touch: the platform's identity for it and its position in surface pixels. */
struct TouchEvent
{
	int id;
	int x;
	int y;
};
}

#endif
