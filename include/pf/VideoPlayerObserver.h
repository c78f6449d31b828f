#ifndef PF_VIDEOPLAYEROBSERVER_H
#define PF_VIDEOPLAYEROBSERVER_H

namespace pf
{
/** Hears that a full-screen video has ended. */
class VideoPlayerObserver
{
public:
	virtual void videoPlayEnded() = 0;

protected:
	// Never deleted through this interface.
	~VideoPlayerObserver() {}
};
}

#endif
