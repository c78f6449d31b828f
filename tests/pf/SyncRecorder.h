#ifndef TESTS_PF_SYNCRECORDER_H
#define TESTS_PF_SYNCRECORDER_H

#include <string>
#include <vector>

// Every fsync of the pf test program passes through SyncRecorder.cpp first.
namespace pftest
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
