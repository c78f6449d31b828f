#ifndef PF_SERVICEPUMP_H
#define PF_SERVICEPUMP_H

#include <functional>
#include <string>

namespace pf
{
/**
 * One turn of the platform services on the main thread, for the host loop to
 * run at the start of every turn: the main-thread queue's tasks, the web
 * pages' pending work, then the local notifications that fell due (also
 * while the game was closed), oldest first, each handed to deliver; while
 * `listening` (when given) says no, they wait in their file. A long backlog
 * of them is handed over across several turns.
 */
void pumpServices(const std::function<void(const std::string& name)>& deliver,
	const std::function<bool()>& listening = std::function<bool()>());
}

#endif
