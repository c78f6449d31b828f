#ifndef TESTS_SUPPORT_SYNCRECORDER_H
#define TESTS_SUPPORT_SYNCRECORDER_H

#include <string>
#include <vector>

// Every fsync of a test program that uses these passes through SyncRecorder.cpp first
// (the program's own fsync, which the engine's static libraries call).
namespace support
{
/** The paths synced so far, in order. */
std::vector<std::string>& synced();

/** While one lives, syncing a file (not a folder) fails with EIO, as a failing disk would. */
struct FailingFileSyncs
{
	FailingFileSyncs();
	~FailingFileSyncs();
};
}

#endif
