#include <pf/MainThreadQueue.h>
#include <lang/Debug.h>
#include <lang/Throwable.h>
#include <deque>
#include <exception>
#include <mutex>

namespace pf
{
namespace
{
struct Queue
{
	std::mutex lock;
	std::deque<MainThreadQueue::Task> tasks;
};

Queue& queue()
{
	static Queue q;
	return q;
}
}

void MainThreadQueue::post(Task task)
{
	if (!task)
		return;
	std::lock_guard<std::mutex> guard(queue().lock);
	queue().tasks.push_back(std::move(task));
}

int MainThreadQueue::runPending()
{
	std::deque<Task> batch;
	{
		std::lock_guard<std::mutex> guard(queue().lock);
		batch.swap(queue().tasks);
	}
	int count = 0;
	// Tasks posted while these run wait for the next turn, so a task that posts itself cannot starve the loop.
	for (Task& task : batch)
	{
		++count;
		try
		{
			task();
		}
		catch (const lang::Throwable& e)
		{
			lang::Debug::printf("Main-thread task failed: %s\n", e.getMessage().format().c_str());
		}
		catch (const std::exception& e)
		{
			lang::Debug::printf("Main-thread task failed: %s\n", e.what());
		}
		catch (...)
		{
			lang::Debug::printf("Main-thread task failed with an unknown exception\n");
		}
	}
	return count;
}

int MainThreadQueue::pending()
{
	std::lock_guard<std::mutex> guard(queue().lock);
	return static_cast<int>(queue().tasks.size());
}
}
