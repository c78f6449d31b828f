#ifndef TESTS_ANALYTICS_ANALYTICSTESTSUPPORT_H
#define TESTS_ANALYTICS_ANALYTICSTESTSUPPORT_H

#include "AnalyticsUtil.h"
#include <analytics/AnalyticsDevice.h>
#include <analytics/AnalyticsProtocolData.h>
#include <analytics/AnalyticsSession.h>
#include <gtest/gtest.h>
#include <io/detail/paths.h>
#include <lang/System.h>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <cstdlib>
#include <string>
#include <vector>

namespace analytics_test
{
using analytics::Bytes;

/** A simulated clock the tests move by hand. */
struct Clock
{
	// Atomic: send and heartbeat threads read it while a test moves it.
	static std::atomic<int64_t>& now()
	{
		static std::atomic<int64_t> t{1700000000000000LL};
		return t;
	}
	static int64_t read() { return now(); }
};

inline Bytes bytesOf(std::initializer_list<int> values)
{
	Bytes b;
	for (int v : values)
		b.push_back(static_cast<uint8_t>(v));
	return b;
}

inline std::string hex(const Bytes& b)
{
	static const char d[] = "0123456789ABCDEF";
	std::string s;
	for (uint8_t c : b)
	{
		if (!s.empty())
			s += ' ';
		s += d[c >> 4];
		s += d[c & 15];
	}
	return s;
}

inline std::vector<analytics::AnalyticsDevice::Interface> fakeInterfaces()
{
	return {
		{"lo", 772, {0, 0, 0, 0, 0, 0}, true, false},
		{"veth0", 1, {0x02, 0x42, 0xAC, 0x11, 0x00, 0x02}, false, false},
		{"eth1", 1, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, false, true},
	};
}

/** Lines the client logged while the test ran. */
inline std::vector<std::string>& loggedLines()
{
	static std::vector<std::string> lines;
	return lines;
}

inline std::mutex& loggedLinesLock()
{
	static std::mutex m;
	return m;
}

inline void captureLine(const std::string& line)
{
	std::lock_guard<std::mutex> lock(loggedLinesLock());
	loggedLines().push_back(line);
}

/** The lines so far, safe while other threads still log. */
inline std::vector<std::string> loggedSnapshot()
{
	std::lock_guard<std::mutex> lock(loggedLinesLock());
	return loggedLines();
}

/**
 * A fresh process state over a private folder tree: user files, caches and
 * shared data, a simulated clock, fixed interfaces and a modern system version.
 */
class AnalyticsTest : public ::testing::Test
{
protected:
	std::string m_root;
	std::string m_oldAppdata;

	void SetUp() override
	{
		char pattern[] = "/tmp/analytics-test-XXXXXX";
		m_root = mkdtemp(pattern);
		m_oldAppdata = io::detail::appdataPath();
		setenv("XDG_CACHE_HOME", (m_root + "/cache").c_str(), 1);
		setenv("XDG_DATA_HOME", (m_root + "/data").c_str(), 1);
		io::detail::setAppdataPath(m_root + "/data/game");
		restart();
		Clock::now() = 1700000000000000LL;
		lang::System::setTimeSource(&Clock::read);
	}

	void TearDown() override
	{
		analytics::AnalyticsSession::resetProcessState();
		lang::System::setTimeSource(nullptr);
		io::detail::setAppdataPath(m_oldAppdata);
		const std::string cmd = "rm -rf '" + m_root + "'";
		if (std::system(cmd.c_str()) != 0)
			ADD_FAILURE() << "could not remove " << m_root;
	}

	/** As a new process would start: state rebuilt, files kept. */
	void restart()
	{
		analytics::AnalyticsSession::resetProcessState();
		analytics::AnalyticsUtil::setSystemVersion("12");
		analytics::AnalyticsDevice::setInterfaceLister(&fakeInterfaces);
		analytics::AnalyticsUtil::setLogSink(&captureLine);
		std::lock_guard<std::mutex> lock(loggedLinesLock());
		loggedLines().clear();
	}

	void advanceMillis(int64_t ms) { Clock::now() += ms * 1000; }
};
}

#endif
