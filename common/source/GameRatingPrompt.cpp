#include "GameRatingPrompt.h"
#include "RatingPrompt/RatingPrompt.h"
#include <lang/Debug.h>

void GameRatingPrompt::appStarted()
{
	lang::Debug::printf("Notifying RatingPrompt of app launch\n");
	RatingPrompt::appLaunched();
}

void GameRatingPrompt::appResignedActive()
{
	RatingPrompt::appWillResignActive();
}

void GameRatingPrompt::appEnded()
{
	RatingPrompt::joinThreads();
}
