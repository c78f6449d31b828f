#include <lang/Object.h>
#include <lang/assert.h>

namespace lang
{
Object::~Object()
{
	LANG_ASSERT(0 == m_refs);
}

// Out of line: keeps the delete out of callers, where GCC 12 misreads shared counts as use after free.
void Object::releaseReference()
{
	if (1 == m_refs.fetch_sub(1, std::memory_order_acq_rel))
		delete this;
}
}
