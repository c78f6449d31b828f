#ifndef PF_DETAIL_MODULERESET_H
#define PF_DETAIL_MODULERESET_H

namespace pf
{
namespace detail
{
/**
 * Forgets every module loaded or refused, and what was said about them, as if none had
 * been asked for: for tests that run one after another in one program. Loaded modules stay
 * mapped; no page or video player of theirs may be alive.
 */
void resetModules();
}
}

#endif
