// Worker threads: HTTP fetches off the main thread, handed back through the frame update.
#include "GameLua.h"
#include <game/SpriteSheet.h>
#include <gr/Context.h>
#include <gr/Image.h>
#include <img/ImageReader.h>
#include <io/ByteArrayInputStream.h>
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lang/FuncBase.h>
#include <lang/throwError.h>
#include <net/HttpRequest.h>
#include <pf/Launcher.h>
#include <util/JSONObject.h>
#include <algorithm>
#include <cctype>
#include <exception>
#include <memory>
#include <mutex>

namespace
{
/**
 * The body of a 2xx answer of at most maxBytes; anything else throws. The
 * transfer gives up once stop is set.
 */
std::string fetchReply(const std::string& url, long long maxBytes, const std::atomic<bool>& stop)
{
	net::HttpRequest request;
	request.setMaxBodyBytes(maxBytes);
	request.setAbortFlag(&stop);
	net::HttpResponse response = request.get(url);
	if (response.status < 200 || response.status > 299)
		lang::throwError(lang::Exception(lang::Format("HTTP status {0}", static_cast<int>(response.status))));
	return std::move(response.body);
}

std::string messageOf(const std::exception_ptr& error)
{
	try
	{
		std::rethrow_exception(error);
	}
	catch (const lang::Throwable& e)
	{
		return e.getMessage().format();
	}
	catch (const std::exception& e)
	{
		return e.what();
	}
	catch (...)
	{
	}
	return "unknown error";
}

[[noreturn]] void malformed()
{
	lang::throwError(lang::Exception(lang::Format("Malformed response")));
}

/** Parses only when the text is a JSON object, not an array or a bare value. */
util::JSONObject parseObject(const std::string& text)
{
	const size_t first = text.find_first_not_of(" \t\r\n");
	return util::JSONObject(first != std::string::npos && text[first] == '{' ? text.c_str() : nullptr);
}

bool isWebUrl(const std::string& url)
{
	std::string scheme = url.substr(0, url.find(':'));
	std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
	return url.find("://") == scheme.size() && (scheme == "http" || scheme == "https");
}

/** Runs one worker procedure, then marks it finished so that joining its thread cannot wait. */
class WorkerProc : public lang::FuncBase
{
public:
	typedef void (GameLua::*Proc)(const std::string&, uint64_t);

	WorkerProc(GameLua* game, Proc proc, const std::string& arg, uint64_t ticket, const std::shared_ptr<std::atomic<bool>>& done) :
		m_game(game), m_proc(proc), m_arg(arg), m_ticket(ticket), m_done(done)
	{
	}

	void operator()() override
	{
		struct Mark
		{
			std::atomic<bool>& done;
			~Mark() { done.store(true, std::memory_order_release); }
		} mark{*m_done};
		(m_game->*m_proc)(m_arg, m_ticket);
	}
	FuncBase* clone() const override { return new WorkerProc(m_game, m_proc, m_arg, m_ticket, m_done); }

private:
	GameLua* m_game;
	Proc m_proc;
	std::string m_arg;
	uint64_t m_ticket;
	std::shared_ptr<std::atomic<bool>> m_done;
};
}

void GameLua::registerWorkers()
{
	registerMethod<&GameLua::checkMainMenuAd>("checkMainMenuAd", this);
	setString("uniqueDeviceId", pf::DeviceID().getDeviceIDHash());
	registerMethod<&GameLua::startURLThread>("native_startURLThread", this);
	registerMethod<&GameLua::checkInstalledApps>("checkInstalledAppsOnline", this);
	registerMethod<&GameLua::checkInstalledAppsOffline>("checkInstalledAppsOffline", this);
}

void GameLua::startWorker(void (GameLua::*proc)(const std::string&, uint64_t), const std::string& arg, uint64_t ticket)
{
	// Each check has its own thread: a slow server delays only its own answer, never the game
	// nor another check. Results meet under m_mutex.
	reapWorkers();
	Worker worker{nullptr, std::make_shared<std::atomic<bool>>(false)};
	worker.thread = new lang::Thread(lang::Functor(new WorkerProc(this, proc, arg, ticket, worker.done)), true);
	m_workers.push_back(worker);
}

void GameLua::reapWorkers()
{
	m_workers.erase(std::remove_if(m_workers.begin(), m_workers.end(),
						[](const Worker& w) { return w.done->load(std::memory_order_acquire); }),
		m_workers.end());
}

void GameLua::startURLThread(const std::string& url)
{
	try
	{
		startWorker(&GameLua::checkForURLProc, url, ++m_urlTickets);
	}
	catch (...)
	{
	}
}

void GameLua::checkForURLProc(const std::string& url, uint64_t ticket)
{
	try
	{
		std::string reply = fetchReply(url, MAX_WORKER_REPLY_BYTES, m_stopWorkers);
		const bool cut = reply.size() > static_cast<size_t>(MAX_LOGGED_REPLY_BYTES);
		lang::Debug::printf("<NATIVE> for url [%s] server responsed [%.*s%s]", url.c_str(),
			cut ? MAX_LOGGED_REPLY_BYTES : static_cast<int>(reply.size()), reply.c_str(), cut ? "..." : "");
		std::lock_guard<lang::Mutex> lock(m_mutex);
		// Checks of one address overlap: the reply of the latest one wins, whichever lands last.
		uint64_t& latest = m_urlReplyTickets[url];
		if (ticket > latest)
		{
			latest = ticket;
			m_urlReplies[url] = std::move(reply);
		}
	}
	catch (...)
	{
		// An error answer or a failed transfer is no reply: the scripts never hear of it.
		if (!m_stopWorkers.load())
			lang::Debug::printf("<NATIVE> for url [%s] no reply: %s\n", url.c_str(), messageOf(std::current_exception()).c_str());
	}
}

void GameLua::checkURLCallbacks()
{
	std::map<std::string, std::string> replies;
	{
		// Taken out first: the callbacks run without holding the workers up.
		std::lock_guard<lang::Mutex> lock(m_mutex);
		replies.swap(m_urlReplies);
	}
	for (const auto& reply : replies)
		callScript("nativecallback_urlResponse", reply.first, reply.second);
}

void GameLua::checkMainMenuAd(const std::string& url)
{
	lang::Debug::printf("Native: checkMainMenuAd()\n");
	try
	{
		startWorker(&GameLua::checkMainMenuAdProc, url);
	}
	catch (...)
	{
		lang::Debug::printf("Failed to create thread for main menu image loading.\n");
	}
}

void GameLua::checkMainMenuAdProc(const std::string& url, uint64_t)
{
	lang::Debug::printf("Native: checkMainMenuAdProc()\n");
	try
	{
		const std::string reply = fetchReply(url, MAX_WORKER_REPLY_BYTES, m_stopWorkers);
		util::JSONObject json = parseObject(reply);
		if (json.isNull() || !json.getString("timestamp"))
			malformed();
		const std::string timeStamp = json.getString("timestamp");
		util::JSONObject media = json.getObject("media");
		if (media.getInt("itemCount", 0) < 1)
		{
			std::lock_guard<lang::Mutex> lock(m_mutex);
			m_adTimeStamp = timeStamp;
			return;
		}
		util::JSONObject item = media.getObject("item0");
		const char* image = item.getString("image");
		const char* link = item.getString("link");
		if (!image || !link)
			malformed();
		const char* type = item.getString("type");
		const std::string mime = type ? type : "";
		const size_t slash = mime.rfind('/');
		io::FileFormat format = io::FILEFORMAT_UNKNOWN;
		if (slash != std::string::npos)
		{
			std::string ext = mime.substr(slash + 1);
			std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
			format = io::guessFileFormat("." + ext);
		}
		std::vector<char> bytes;
		if (!loadMainMenuAd(image, bytes))
			return;
		// Handed over whole, so that a second check finishing meanwhile cannot mix its fields in.
		std::lock_guard<lang::Mutex> lock(m_mutex);
		m_adTimeStamp = timeStamp;
		m_adLink = link;
		m_adFormat = format;
		m_adImage.swap(bytes);
		m_adReady.store(true, std::memory_order_release);
	}
	catch (...)
	{
		lang::Debug::printf("Failed to load main menu ad JSON\n");
	}
}

bool GameLua::loadMainMenuAd(const std::string& imageUrl, std::vector<char>& image)
{
	try
	{
		// The address came off the network: only web addresses are fetched.
		if (!isWebUrl(imageUrl))
			lang::throwError(lang::Exception(lang::Format("Not a web address: {0}", imageUrl)));
		// The transfer is capped here, the decoded size by the image reader.
		const std::string bytes = fetchReply(imageUrl, MAX_AD_IMAGE_BYTES, m_stopWorkers);
		image.reserve(bytes.size() + 1);
		image.assign(bytes.begin(), bytes.end());
		image.push_back(0);
		return true;
	}
	catch (...)
	{
		lang::Debug::printf("Failed to load main menu ad image\n");
		return false;
	}
}

void GameLua::createMainMenuAdImage()
{
	std::vector<char> bytes;
	std::string link;
	std::string timeStamp;
	io::FileFormat format;
	{
		std::lock_guard<lang::Mutex> lock(m_mutex);
		m_adReady.store(false, std::memory_order_relaxed);
		bytes.swap(m_adImage);
		link = m_adLink;
		timeStamp = m_adTimeStamp;
		format = m_adFormat;
	}
	try
	{
		lang::Debug::printf("Native: Starting to create sprite sheets\n");
		setString("mainMenuAdUrl", link);
		setString("mainMenuAdTimeStamp", timeStamp);
		const int size = static_cast<int>(bytes.size()) - 1;
		img::ImageReader reader(new io::ByteArrayInputStream(bytes.data(), std::max(size, 0)), format);
		const int width = reader.surfaceWidth();
		const int height = reader.surfaceHeight();
		lang::Ptr<gr::Image> image = m_context->createImage(width, height, reader.mipLevels() - 1, reader.format(), gr::Context::USAGE_FROMFILE);
		const gr::SurfaceFormat surface = image->format();
		std::vector<uint8_t> buffer;
		for (int level = 0; level < reader.mipLevels(); ++level)
		{
			const int w = reader.surfaceWidth();
			const int h = reader.surfaceHeight();
			const int pitch = surface.getMemoryUsage(w, 1);
			buffer.assign(static_cast<size_t>(surface.getMemoryUsage(w, h)), 0);
			reader.readSurface(buffer.data(), pitch, w, h, surface, nullptr, gr::SurfaceFormat());
			image->blt(0, 0, buffer.data(), pitch, level, w, h, surface);
		}
		lang::Ptr<game::SpriteSheet> sheet = new game::SpriteSheet(image);
		sheet->createSprite("MAIN_MENU_AD_IMAGE", 0, 0, width, height, width / 2, height / 2);
		m_resources->addSpriteSheet("MAIN_MENU_AD_SHEET", sheet);
		lang::Debug::printf("Native: Setting main menu ad ready to be shown to true\n");
		setBoolean("mainMenuAdReadyToBeShown", true);
	}
	catch (...)
	{
		lang::Debug::printf("Failed to create main menu ad image\n");
	}
}

game::SpriteSheet* GameLua::mainMenuAdSheet() const
{
	return m_resources->getSpriteSheet("MAIN_MENU_AD_SHEET");
}

void GameLua::checkInstalledApps(const std::string& url)
{
	try
	{
		startWorker(&GameLua::getPossibleInstalledAppsProc, url);
	}
	catch (...)
	{
		lang::Debug::printf("Failed to create thread for installed games check.\n");
	}
}

void GameLua::getPossibleInstalledAppsProc(const std::string& url, uint64_t)
{
	try
	{
		std::string reply = fetchReply(url, MAX_WORKER_REPLY_BYTES, m_stopWorkers);
		std::lock_guard<lang::Mutex> lock(m_mutex);
		m_appsReply = std::move(reply);
		m_appsReady.store(true, std::memory_order_release);
	}
	catch (...)
	{
		lang::Debug::printf("Failed to load possible installed apps\n");
	}
}

std::string GameLua::determineInstalledApps(std::string json)
{
	try
	{
		util::JSONObject list = parseObject(json);
		if (list.isNull())
			malformed();
		m_appsTtl = list.getInt("ttl", 0);
		std::string names;
		const int count = list.getInt("gameCount", 0);
		pf::Launcher launcher;
		for (int i = 0; i < count; ++i)
		{
			util::JSONObject game = list.getObject(("game_" + std::to_string(i)).c_str());
			const char* name = game.getString("name");
			const char* scheme = game.getString("scheme");
			if (!name || !scheme)
				malformed();
			if (launcher.canOpenProgram(std::string(scheme) + "://"))
				names += (names.empty() ? "" : ",") + std::string(name);
		}
		return names;
	}
	catch (...)
	{
		lang::Debug::printf("Failed to parse possible installed games JSON\n");
		return "";
	}
}

void GameLua::checkInstalledAppsOffline(const std::string& json)
{
	callScript("setInstalledAppsOffline", determineInstalledApps(json));
}

void GameLua::deliverWorkerResults()
{
	if (m_appsReady.load(std::memory_order_acquire))
	{
		std::string reply;
		{
			std::lock_guard<lang::Mutex> lock(m_mutex);
			reply.swap(m_appsReply);
			m_appsReady.store(false, std::memory_order_relaxed);
		}
		// A bad list or a failing callback drops this reply only; the frame goes on.
		try
		{
			if (parseObject(reply).isNull())
				malformed();
			const std::string names = determineInstalledApps(reply);
			callScript("setInstalledApps", names, m_appsTtl, reply);
		}
		catch (...)
		{
			lang::Debug::printf("Received an invalid game list JSON from the server\n");
			lang::Debug::printf("(%s)\n", messageOf(std::current_exception()).c_str());
		}
	}
	if (mainMenuAdReady())
		createMainMenuAdImage();
}

void GameLua::joinWorkers()
{
	m_workers.clear();
}

void GameLua::stopWorkers()
{
	m_stopWorkers.store(true);
	m_workers.clear();
}
