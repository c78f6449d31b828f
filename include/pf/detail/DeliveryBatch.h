#ifndef PF_DETAIL_DELIVERYBATCH_H
#define PF_DETAIL_DELIVERYBATCH_H

#include <chrono>
#include <cstddef>

namespace pf
{
namespace detail
{
/**
 * How much of a backlog one poll delivers, so that a long one arrives over
 * several frames rather than in one frozen one: at least kFloor items (an
 * ordinary poll is never cut short), then more until kSeconds have passed.
 */
class DeliveryBatch
{
public:
	static constexpr size_t kFloor = 100;
	static constexpr double kSeconds = 0.02;

	DeliveryBatch() :
		m_start(std::chrono::steady_clock::now())
	{
	}

	/** Whether another item fits in this poll. */
	bool more() const
	{
		return m_count < kFloor || std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count() < kSeconds;
	}
	void counted() { ++m_count; }
	size_t count() const { return m_count; }

private:
	std::chrono::steady_clock::time_point m_start;
	size_t m_count = 0;
};
}
}

#endif
