#ifndef GAMERATINGPROMPT_H
#define GAMERATINGPROMPT_H

/** The game's hook into the rating prompt. */
class GameRatingPrompt
{
public:
	/** Counts this start; the prompt may follow. */
	static void appStarted();
	/** The game went to the background: a prompt on screen goes away unanswered. */
	static void appResignedActive();
	/** Waits for the counting threads, which must not outlive the game. */
	static void appEnded();
};

#endif
