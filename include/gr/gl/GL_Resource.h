#ifndef GR_GL_GL_RESOURCE_H
#define GR_GL_GL_RESOURCE_H

#include <gr/gl/GL_config.h>

namespace gr
{
namespace GR_GL_NS
{
class GL_Context;

/**
 * The part of something a GL_Context made that holds GL names or a pointer back to the
 * context. It joins the context's list when made and leaves it when released. Caches may
 * keep such objects past their context: a context that goes first detaches every one
 * still listed, which then forgets the context and its GL names (they went with the GL
 * context), so its own release later frees only its own memory.
 */
class GL_Resource
{
public:
	GL_Resource(const GL_Resource&) = delete;
	GL_Resource& operator=(const GL_Resource&) = delete;

	/** False once the context has gone. */
	bool attachedToContext() const { return m_owner != nullptr; }

protected:
	/** Joins the list of context; null joins none. */
	explicit GL_Resource(GL_Context* context);
	~GL_Resource();

	/** Called once, by the context going away: forget the context and every GL name. */
	virtual void detachFromContext() = 0;

private:
	friend class GL_Context;
	GL_Context* m_owner;
	GL_Resource* m_previous;
	GL_Resource* m_next;

	void leave();
};
}
}

#endif
