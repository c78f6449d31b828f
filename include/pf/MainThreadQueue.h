#ifndef PF_MAINTHREADQUEUE_H
#define PF_MAINTHREADQUEUE_H

#include <functional>

namespace pf
{
/**
 * Tasks for the main thread. Any thread posts; the host loop runs them
 * every turn, also while updates are stopped.
 */
class MainThreadQueue
{
public:
	typedef std::function<void()> Task;

	static void post(Task task);
	/**
	 * Runs the tasks posted before this call, in order, and returns how many
	 * ran. A task that throws is logged and the others still run.
	 */
	static int runPending();
	/** Number of tasks waiting. */
	static int pending();
};
}

#endif
