#ifndef OPERATIONREFERENCE_H
#define OPERATIONREFERENCE_H

#include <string>

namespace gr
{
class Context;
}

/**
 * The reference of the script operations and of the functions the engine calls, in Markdown,
 * made from the registrations of a game built on context for the purpose: inside a scratch
 * folder (save files, platform state and settings), which is removed after. Throws
 * lang::Exception naming every operation registered without a description of its arguments.
 */
std::string scriptOperationReference(gr::Context* context);

#endif
