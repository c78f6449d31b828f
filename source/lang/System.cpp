#include <lang/System.h>
#include <atomic>
#include <sys/time.h>

namespace lang
{
namespace
{
std::atomic<System::TimeSource> s_source{nullptr};
}

int64_t System::realTimeMicros()
{
	timeval tv;
	gettimeofday(&tv, nullptr);
	return static_cast<int64_t>(tv.tv_sec) * 1000000 + tv.tv_usec;
}

int64_t System::currentTimeMicros()
{
	TimeSource source = s_source.load(std::memory_order_acquire);
	return source ? source() : realTimeMicros();
}

int64_t System::currentTimeMillis()
{
	return currentTimeMicros() / 1000;
}

System::TimeSource System::setTimeSource(TimeSource source)
{
	return s_source.exchange(source, std::memory_order_acq_rel);
}
}
