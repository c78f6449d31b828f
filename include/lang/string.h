#ifndef LANG_STRING_H
#define LANG_STRING_H

#include <string>
#include <vector>

namespace lang
{
/** Free functions on UTF-8 byte strings. */
namespace string
{
/** Copy with 'A'..'Z' lower-cased; other bytes unchanged. */
std::string tolower(const std::string& text);
/** Copy with 'a'..'z' upper-cased; other bytes unchanged. */
std::string toupper(const std::string& text);
/** Copy without leading and trailing blanks, newlines, tabs and carriage returns. */
std::string trim(const std::string& text);
/**
 * Pieces between the occurrences of delimiter, left to right without
 * overlap; empty pieces are kept and the text after the last delimiter is
 * always the last piece. An empty delimiter gives the whole text as one piece.
 */
std::vector<std::string> split(const std::string& text, const std::string& delimiter);

/** UTF-16 (native byte order) to UTF-8; a high surrogate in the last unit is dropped. */
std::string toUTF8string(const std::basic_string<unsigned short>& text);
/** Code points to UTF-8; code points from 0x200000 up are dropped. */
std::string toUTF8string(const std::basic_string<unsigned int>& text);
/** UTF-8 to UTF-16 in native byte order; bytes that do not decode are dropped. */
std::basic_string<unsigned short> toUTF16string(const std::string& text);
/** UTF-8 to code points; bytes that do not decode are dropped. */
std::basic_string<unsigned int> toUTF32string(const std::string& text);
}
}

#endif
