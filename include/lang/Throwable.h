#ifndef LANG_THROWABLE_H
#define LANG_THROWABLE_H

#include <lang/Format.h>

namespace lang
{
/** Root of the engine's exceptions: nothing but a formatted message. */
class Throwable
{
public:
	Throwable() {}
	/** Logs "Created Throwable( "<text>" )" with the first 255 characters. */
	explicit Throwable(const Format& msg);

	const Format& getMessage() const { return m_msg; }
	/** Writes "EXCEPTION: <text>" to stdout. */
	void showExceptionDialog() const;

private:
	Format m_msg;
};
}

#endif
