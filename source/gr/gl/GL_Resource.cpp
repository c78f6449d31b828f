#include <gr/gl/GL_Resource.h>
#include <gr/gl/GL_Context.h>

namespace gr
{
namespace GR_GL_NS
{
GL_Resource::GL_Resource(GL_Context* context) : m_owner(context), m_previous(nullptr), m_next(nullptr)
{
	if (!context)
		return;
	m_next = context->m_resources;
	if (m_next)
		m_next->m_previous = this;
	context->m_resources = this;
}

GL_Resource::~GL_Resource()
{
	leave();
}

void GL_Resource::leave()
{
	if (!m_owner)
		return;
	if (m_previous)
		m_previous->m_next = m_next;
	else
		m_owner->m_resources = m_next;
	if (m_next)
		m_next->m_previous = m_previous;
	m_owner = nullptr;
	m_previous = nullptr;
	m_next = nullptr;
}

void GL_Context::detachResources()
{
	while (m_resources)
	{
		GL_Resource* resource = m_resources;
		resource->leave();
		resource->detachFromContext();
	}
}
}
}
