#include <io/IOException.h>
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lang/FormatException.h>
#include <lang/OutOfMemoryException.h>
#include <lang/ThreadInterruptedException.h>
#include <lang/assert.h>
#include <lang/throwError.h>
#include <gtest/gtest.h>
#include <string>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(Throwable, LogsItsFirst255CharactersButKeepsTheWholeMessage)
{
	const std::string text(300, 'm');
	CaptureStdout();
	const lang::Exception e(lang::Format("{0}", text));
	const std::string log = GetCapturedStdout();
	EXPECT_EQ("Created Throwable( \"" + text.substr(0, 255) + "\" )\n", log);
	EXPECT_EQ(text, e.getMessage().format());

	// Copies carry the pattern and the arguments.
	const lang::Exception copy = e;
	EXPECT_EQ("{0}", copy.getMessage().pattern());
	EXPECT_EQ(text, copy.getMessage().format());
}

TEST(Throwable, EmptyMessagesLogNothing)
{
	CaptureStdout();
	const lang::Exception e;
	try
	{
		lang::throw_OutOfMemoryException();
	}
	catch (const lang::OutOfMemoryException& oom)
	{
		EXPECT_EQ("", oom.getMessage().format());
	}
	EXPECT_EQ("", GetCapturedStdout());
	EXPECT_EQ("", e.getMessage().format());
}

TEST(Throwable, ShowExceptionDialogPrintsTheText)
{
	const lang::Exception e(lang::Format("Failed to open {0} with errno {1}", "a.png", 2));
	CaptureStdout();
	e.showExceptionDialog();
	EXPECT_EQ("EXCEPTION: Failed to open a.png with errno 2\n", GetCapturedStdout());
}

TEST(Throwable, MalformedMessageThrowsFromTheConstructor)
{
	EXPECT_THROW(lang::Exception(lang::Format("{1}", 1)), lang::FormatException);
}

TEST(ThrowError, ThrowsTheGivenTypeWithItsMessage)
{
	try
	{
		lang::throwError(io::IOException(lang::Format("Failed to open {0}", "x.dat")));
		FAIL();
	}
	catch (const io::IOException& e)
	{
		EXPECT_EQ("Failed to open x.dat", e.getMessage().format());
	}
	// Every engine exception is caught as lang::Exception.
	EXPECT_THROW(lang::throwError(lang::FormatException()), lang::Exception);
	EXPECT_THROW(lang::throwError(lang::ThreadInterruptedException()), lang::Exception);
	EXPECT_THROW(lang::throwError(io::IOException()), lang::Throwable);
}

TEST(AssertDeathTest, NamesExpressionFunctionSourceAndLine)
{
	GTEST_FLAG_SET(death_test_style, "threadsafe");
	const int line = __LINE__ + 1;
	EXPECT_DEATH(LANG_ASSERT(1 + 1 == 3), "1 \\+ 1 == 3.*TestBody.*tests/lang/ExceptionTest\\.cpp.*" + std::to_string(line));
}
