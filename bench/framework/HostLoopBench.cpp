// 120 windowed frames at framerate 60 on SDL's offscreen driver, the App only
// presenting, and its plain reference in the same process: a bare SDL loop that
// drains events, swaps and sleeps to the next tick. Reported: the mean frame
// interval, the share of one core used, and the host's work per frame besides
// the swap and the sleep (mean and median), with its ratio to the plain loop's.
#include <framework/App.h>
#include <framework/linux/LinuxHost.h>
#include <pf/ServicePump.h>
#include <benchmark/benchmark.h>
#include <SDL.h>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace
{
const int FRAMES = 120;

int64_t now()
{
	timespec ts;
	clock_gettime(CLOCK_MONOTONIC, &ts);
	return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

int64_t cpuNow()
{
	timespec ts;
	clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
	return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void sleepFor(int64_t micros)
{
	timespec ts = {time_t(micros / 1000000), long(micros % 1000000) * 1000};
	nanosleep(&ts, nullptr);
}

/** Time stamps of one loop, in microseconds: frame i runs from frameStarts[i] to sleepEnds[i]. */
struct Spent
{
	std::vector<int64_t> frameStarts, swapEnds, sleepStarts, sleepEnds;
	int64_t wallStart = 0;
	int64_t cpuStart = 0;
	int64_t cpuEnd = 0;

	void reserve()
	{
		for (auto* v : {&frameStarts, &swapEnds, &sleepStarts, &sleepEnds})
			v->reserve(FRAMES);
	}
	void slept(int64_t start, int64_t end)
	{
		sleepStarts.push_back(start);
		sleepEnds.push_back(end);
		// The process's time is read once, after the last frame: the read itself is a system call.
		if (sleepEnds.size() == size_t(FRAMES))
			cpuEnd = cpuNow();
	}
	double meanIntervalMs() const
	{
		return double(frameStarts.back() - frameStarts.front()) / double(frameStarts.size() - 1) / 1000.0;
	}
	double coreShare() const { return double(cpuEnd - cpuStart) / double(sleepEnds.back() - wallStart); }
	/** Per frame: from the end of the previous sleep to the swap, and from the swap to the sleep. */
	std::vector<int64_t> hostMicros() const
	{
		std::vector<int64_t> result;
		for (size_t i = 1; i < frameStarts.size(); ++i)
			result.push_back((frameStarts[i] - sleepEnds[i - 1]) + (sleepStarts[i] - swapEnds[i]));
		return result;
	}
	double hostMean() const
	{
		const std::vector<int64_t> h = hostMicros();
		double sum = 0;
		for (int64_t v : h)
			sum += double(v);
		return sum / double(h.size());
	}
	double hostMedian() const
	{
		std::vector<int64_t> h = hostMicros();
		std::sort(h.begin(), h.end());
		return double(h[h.size() / 2]);
	}
};

Spent* s_spent = nullptr;

class PresentingApp : public framework::App
{
public:
	explicit PresentingApp(framework::OSInterface* os) : framework::App(os) {}
	void update(float, gr::Context* context, int) override
	{
		s_spent->frameStarts.push_back(now());
		context->present();
		s_spent->swapEnds.push_back(now());
	}
};
}

namespace framework
{
void configure(App::Configuration& config, OSInterface&)
{
	config.autoOrientations = {gr::Context::ORIENTATION_LANDSCAPE_RIGHT, gr::Context::ORIENTATION_LANDSCAPE_LEFT};
	config.renderer = {gr::Context::PLATFORM_GLES2};
}

App* init(OSInterface* os, gr::Context*)
{
	return new PresentingApp(os);
}
}

namespace
{
Spent hostLoop()
{
	Spent spent;
	spent.reserve();
	s_spent = &spent;
	framework::LinuxHost::Options o;
	o.dataRoot = "/nonexistent-bundle";
	o.userRoot = "/nonexistent-documents";
	o.window = true;
	// The services' turn, as the game's host runs it.
	o.servicePump = [](framework::LinuxHost& host) {
		pf::pumpServices([&host](const std::string& name) { host.receivedLocalNotification(name); });
	};
	o.sleep = [&spent](int64_t micros) {
		const int64_t start = now();
		sleepFor(micros);
		spent.slept(start, now());
	};
	framework::LinuxHost host(o);
	spent.wallStart = now();
	spent.cpuStart = cpuNow();
	host.run(FRAMES);
	s_spent = nullptr;
	return spent;
}

Spent plainLoop()
{
	Spent spent;
	spent.reserve();
	SDL_InitSubSystem(SDL_INIT_VIDEO);
	SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
	SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
	SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
	SDL_Window* window = SDL_CreateWindow("plain", 0, 0, 960, 640, SDL_WINDOW_OPENGL);
	SDL_GLContext context = SDL_GL_CreateContext(window);
	const int64_t interval = 1000000 / 60;
	spent.wallStart = now();
	spent.cpuStart = cpuNow();
	int64_t next = spent.wallStart;
	for (int i = 0; i < FRAMES; ++i)
	{
		SDL_Event event;
		while (SDL_PollEvent(&event))
		{
		}
		spent.frameStarts.push_back(now());
		SDL_GL_SwapWindow(window);
		const int64_t swapped = now();
		spent.swapEnds.push_back(swapped);
		next += interval;
		if (next < swapped - interval)
			next = swapped;
		sleepFor(next - swapped);
		spent.slept(swapped, now());
	}
	SDL_GL_DeleteContext(context);
	SDL_DestroyWindow(window);
	SDL_QuitSubSystem(SDL_INIT_VIDEO);
	return spent;
}

void BM_WindowedFrameLoop(benchmark::State& state)
{
	setenv("SDL_VIDEODRIVER", "offscreen", 0);
	Spent host, plain;
	for (auto _ : state)
	{
		plain = plainLoop();
		host = hostLoop();
	}
	state.counters["interval_ms"] = host.meanIntervalMs();
	state.counters["interval_vs_tick"] = host.meanIntervalMs() / (1000.0 / 60.0);
	state.counters["core_share"] = host.coreShare();
	state.counters["host_us_mean"] = host.hostMean();
	state.counters["host_us_median"] = host.hostMedian();
	state.counters["plain_us_median"] = plain.hostMedian();
	state.counters["host_vs_plain"] = host.hostMedian() / plain.hostMedian();
}
}

BENCHMARK(BM_WindowedFrameLoop)->Iterations(1)->Unit(benchmark::kMillisecond);
