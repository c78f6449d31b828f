#ifndef LANG_INTEGER_H
#define LANG_INTEGER_H

namespace lang
{
class Integer
{
public:
	/** Base-10 integer at the start of text, by the rules of strtol; the third argument is unused. */
	static int parse(const char* text, const char** end = nullptr, int* unused = nullptr);
};
}

#endif
