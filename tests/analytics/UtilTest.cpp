#include "AnalyticsTestSupport.h"
#include "AnalyticsAutoIncrement.h"
#include "AnalyticsFiles.h"
#include "AnalyticsUtil.h"
#include <lang/Exception.h>
#include <sys/xattr.h>

using analytics::AnalyticsAutoIncrement;
using analytics::AnalyticsUtil;
using namespace analytics_test;

typedef AnalyticsTest UtilTest;

TEST_F(UtilTest, Counters)
{
	AnalyticsAutoIncrement& c = AnalyticsAutoIncrement::instance();
	EXPECT_EQ(1, c.nextCountFor(1));
	EXPECT_EQ(2, c.nextCountFor(1));
	EXPECT_EQ(1, c.nextCountFor(2));
	EXPECT_EQ(3, c.nextCountFor(1));
	c.resetAll();
	EXPECT_EQ(1, c.nextCountFor(1));
	restart();
	EXPECT_EQ(1, AnalyticsAutoIncrement::instance().nextCountFor(2));
}

TEST_F(UtilTest, SystemVersions)
{
	const std::pair<const char*, int> cases[] = {
		{"5.0.1", 50001}, {"4.3", 40300}, {"6.1.3", 60103}, {"5.0", 50000}, {"12", 120000}, {"6.1.0-13-amd64", 60100}, {"1.2.3.4", 10203}, {"", 0},
	};
	for (const auto& c : cases)
		EXPECT_EQ(c.second, AnalyticsUtil::systemVersionAsInteger(c.first)) << c.first;
	EXPECT_EQ(120000, AnalyticsUtil::getSystemVersionAsAnInteger());
	AnalyticsUtil::setSystemVersion("");
	EXPECT_GT(AnalyticsUtil::getSystemVersionAsAnInteger(), 0);
	EXPECT_FALSE(AnalyticsUtil::systemVersion().empty());
}

TEST_F(UtilTest, BackupExclusion)
{
	const std::string path = m_root + "/f";
	ASSERT_TRUE(analytics::AnalyticsFiles::writeFile(path, "x"));
	removexattr(path.c_str(), "user.xdg.robots.backup");
	AnalyticsUtil::setSystemVersion("5.0");
	EXPECT_FALSE(AnalyticsUtil::addSkipBackupAttributeToItemAtPath(path));
	char value[16];
	EXPECT_LT(getxattr(path.c_str(), "user.xdg.robots.backup", value, sizeof(value)), 0);
	AnalyticsUtil::setSystemVersion("5.0.1");
	if (AnalyticsUtil::addSkipBackupAttributeToItemAtPath(path))
	{
		const ssize_t n = getxattr(path.c_str(), "user.xdg.robots.backup", value, sizeof(value));
		EXPECT_EQ("false", std::string(value, n > 0 ? n : 0));
	}
	EXPECT_FALSE(AnalyticsUtil::addSkipBackupAttributeToItemAtPath(m_root + "/missing"));
}

TEST_F(UtilTest, ExceptionReportsNeedBothSwitches)
{
	const lang::Exception e(lang::Format("boom"));
	const struct
	{
		bool debug, show;
		bool written;
	} cases[] = {{false, false, false}, {true, false, false}, {false, true, false}, {true, true, true}};
	for (const auto& c : cases)
	{
		loggedLines().clear();
		AnalyticsUtil::setDebugLogEnabled(c.debug);
		AnalyticsUtil::setShowErrorInLogEnabled(c.show);
		AnalyticsUtil::handleException(e);
		AnalyticsUtil::handleException(std::runtime_error("r"));
		AnalyticsUtil::handleException(std::make_error_code(std::errc::io_error));
		AnalyticsUtil::handleException(std::string("other"));
		EXPECT_EQ(c.written, !loggedLines().empty());
	}
	EXPECT_EQ("Analytics: Caught Exception in Analytics Analytics Code", loggedLines().at(0));
	EXPECT_EQ("Analytics: -----------------------------------------", loggedLines().at(1));
	EXPECT_NE(std::string::npos, loggedLines().at(2).find("Reason:boom"));
	// Four lines each; the type is named as the source spells it.
	EXPECT_EQ("Analytics: Name:std::runtime_error Reason:r", loggedLines().at(6));
	EXPECT_EQ("Analytics: other", loggedLines().back());

	// Debug lines of the session go to the sink only while debug logging is on.
	loggedLines().clear();
	AnalyticsUtil::setDebugLogEnabled(false);
	auto s = analytics::AnalyticsSession::createActiveAnalyticsSession("k");
	s->setUserID("x");
	EXPECT_TRUE(loggedLines().empty());
	AnalyticsUtil::setDebugLogEnabled(true);
	s->setUserID("y");
	EXPECT_EQ(std::vector<std::string>{"AnalyticsAgent: Set userID[y]"}, loggedLines());
}

TEST_F(UtilTest, ScreenAndOrientation)
{
	EXPECT_FALSE(AnalyticsUtil::isIPad());
	AnalyticsUtil::Rect r = AnalyticsUtil::screenBounds();
	EXPECT_FLOAT_EQ(320.0f, r.width);
	EXPECT_FLOAT_EQ(480.1f, r.height);
	EXPECT_EQ("portrait", AnalyticsUtil::getCanvasOrientation());
	AnalyticsUtil::setStatusBarOrientation(4);
	r = AnalyticsUtil::screenBounds();
	EXPECT_FLOAT_EQ(480.1f, r.width);
	EXPECT_FLOAT_EQ(320.0f, r.height);
	EXPECT_EQ("landscapeLeft", AnalyticsUtil::getCanvasOrientation());
	EXPECT_TRUE(AnalyticsUtil::canvasInLandscapeRight(std::string("LANDSCAPERIGHT")));
	EXPECT_FALSE(AnalyticsUtil::canvasInLandscape(std::string("portrait")));
	EXPECT_FLOAT_EQ(320.0f, AnalyticsUtil::screenBounds(std::string("portraitUpsideDown")).width);
	AnalyticsUtil::setStatusBarOrientation(2);
	EXPECT_EQ("portraitUpsideDown", AnalyticsUtil::getCanvasOrientation());

	EXPECT_EQ(12.5, AnalyticsUtil::convertStrToNum("12.5").value_or(0));
	EXPECT_EQ(-3, AnalyticsUtil::convertStrToNum("-3").value_or(0));
	for (const char* bad : {"", "12a", " 1", "0x10", "nan", "inf"})
		EXPECT_FALSE(AnalyticsUtil::convertStrToNum(bad)) << bad;
	std::set<std::string> set;
	EXPECT_TRUE(AnalyticsUtil::addToSet(set, "a"));
	EXPECT_FALSE(AnalyticsUtil::addToSet(set, "a"));
}

TEST_F(UtilTest, DeviceFacts)
{
	setenv("LC_ALL", "fr_FR.ISO-8859-1", 1);
	EXPECT_EQ("fr_FR", analytics::AnalyticsDevice::locale());
	unsetenv("LC_ALL");
	setenv("LANG", "C", 1);
	EXPECT_EQ("C", analytics::AnalyticsDevice::locale());
	setenv("TZ", "Asia/Tokyo", 1);
	EXPECT_EQ("Asia/Tokyo", analytics::AnalyticsDevice::timeZone());
	unsetenv("TZ");
	EXPECT_FALSE(analytics::AnalyticsDevice::platform().empty());
	EXPECT_FALSE(analytics::AnalyticsDevice::bundleVersion().empty());
	EXPECT_EQ(0, analytics::AnalyticsDevice::screenWidth());
}
