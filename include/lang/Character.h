#ifndef LANG_CHARACTER_H
#define LANG_CHARACTER_H

namespace lang
{
class Character
{
public:
	/** True for '0'..'9'; false for anything outside 0..127. */
	static bool isDigit(int c) { return c >= '0' && c <= '9'; }
};
}

#endif
