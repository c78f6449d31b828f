// Worker threads: HTTP fetches off the main thread, handed back through the frame update.
#include "GameLua.h"
#include <game/SpriteSheet.h>
#include <gr/Context.h>
#include <gr/Image.h>
#include <img/ImageReader.h>
#include <io/ByteArrayInputStream.h>
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lang/Func1.h>
#include <lang/Func2.h>
#include <lang/throwError.h>
#include <net/HttpFileInputStream.h>
#include <pf/Launcher.h>
#include <util/JSONObject.h>
#include <algorithm>
#include <cctype>
#include <mutex>

namespace
{
std::string fetchText(const std::string& url)
{
	net::HttpFileInputStream in(url);
	io::ByteArrayInputStream bytes(in);
	return std::string(reinterpret_cast<const char*>(bytes.data()), static_cast<size_t>(bytes.size()));
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
}

void GameLua::registerWorkers()
{
	registerMethod<&GameLua::checkMainMenuAd>("checkMainMenuAd", this);
	setString("uniqueDeviceId", pf::DeviceID().getDeviceIDHash());
	registerMethod<&GameLua::startURLThread>("native_startURLThread", this);
	registerMethod<&GameLua::checkInstalledApps>("checkInstalledAppsOnline", this);
	registerMethod<&GameLua::checkInstalledAppsOffline>("checkInstalledAppsOffline", this);
}

void GameLua::startURLThread(const std::string& url)
{
	try
	{
		// The previous worker ends before the next starts, so two never write the same fields.
		m_workerThread = nullptr;
		m_workerThread = new lang::Thread(lang::Functor(new lang::Func2<void, void (GameLua::*)(const std::string&), GameLua*, std::string>(
			&GameLua::checkForURLProc, this, url)), true);
	}
	catch (...)
	{
	}
}

void GameLua::checkForURLProc(const std::string& url)
{
	try
	{
		const std::string reply = fetchText(url);
		lang::Debug::printf("<NATIVE> for url [%s] server responsed [%s]", url.c_str(), reply.c_str());
		std::lock_guard<lang::Mutex> lock(m_mutex);
		m_urlReplies[url] = reply;
	}
	catch (...)
	{
	}
}

void GameLua::checkURLCallbacks()
{
	std::map<std::string, std::string> replies;
	{
		// Taken out first: a callback may start another check, which joins a worker that may want this lock.
		std::lock_guard<lang::Mutex> lock(m_mutex);
		replies.swap(m_urlReplies);
	}
	for (const auto& reply : replies)
		call("nativecallback_urlResponse", reply.first, reply.second);
}

void GameLua::checkMainMenuAd(const std::string& url)
{
	lang::Debug::printf("Native: checkMainMenuAd()\n");
	try
	{
		m_workerThread = nullptr;
		m_workerThread = new lang::Thread(lang::Functor(new lang::Func2<void, void (GameLua::*)(const std::string&), GameLua*, std::string>(
			&GameLua::checkMainMenuAdProc, this, url)), true);
	}
	catch (...)
	{
		lang::Debug::printf("Failed to create thread for main menu image loading.\n");
	}
}

void GameLua::checkMainMenuAdProc(const std::string& url)
{
	lang::Debug::printf("Native: checkMainMenuAdProc()\n");
	try
	{
		const std::string reply = fetchText(url);
		util::JSONObject json = parseObject(reply);
		if (json.isNull() || !json.getString("timestamp"))
			malformed();
		m_adTimeStamp = json.getString("timestamp");
		util::JSONObject media = json.getObject("media");
		if (media.getInt("itemCount", 0) < 1)
			return;
		util::JSONObject item = media.getObject("item0");
		const char* image = item.getString("image");
		const char* link = item.getString("link");
		if (!image || !link)
			malformed();
		m_adLink = link;
		const char* type = item.getString("type");
		const std::string mime = type ? type : "";
		const size_t slash = mime.rfind('/');
		m_adFormat = io::FILEFORMAT_UNKNOWN;
		if (slash != std::string::npos)
		{
			std::string ext = mime.substr(slash + 1);
			std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
			m_adFormat = io::guessFileFormat("." + ext);
		}
		loadMainMenuAd(image);
	}
	catch (...)
	{
		lang::Debug::printf("Failed to load main menu ad JSON\n");
	}
}

void GameLua::loadMainMenuAd(std::string imageUrl)
{
	try
	{
		// The address came off the network: only web addresses are fetched.
		if (!isWebUrl(imageUrl))
			lang::throwError(lang::Exception(lang::Format("Not a web address: {0}", imageUrl)));
		// The transfer is capped by the request, the decoded size by the image reader.
		net::HttpFileInputStream in(imageUrl);
		io::ByteArrayInputStream bytes(in);
		m_adImage.assign(bytes.data(), bytes.data() + bytes.size());
		m_adImage.push_back(0);
		m_adReady.store(true, std::memory_order_release);
	}
	catch (...)
	{
		lang::Debug::printf("Failed to load main menu ad image\n");
	}
}

void GameLua::createMainMenuAdImage()
{
	m_adReady.store(false, std::memory_order_relaxed);
	try
	{
		lang::Debug::printf("Native: Starting to create sprite sheets\n");
		setString("mainMenuAdUrl", m_adLink);
		setString("mainMenuAdTimeStamp", m_adTimeStamp);
		const int bytes = static_cast<int>(m_adImage.size()) - 1;
		img::ImageReader reader(new io::ByteArrayInputStream(m_adImage.data(), std::max(bytes, 0)), m_adFormat);
		const int width = reader.surfaceWidth();
		const int height = reader.surfaceHeight();
		lang::Ptr<gr::Image> image = m_context->createImage(width, height, reader.mipLevels() - 1, reader.format(), gr::Context::USAGE_FROMFILE);
		const gr::SurfaceFormat format = image->format();
		std::vector<uint8_t> buffer;
		for (int level = 0; level < reader.mipLevels(); ++level)
		{
			const int w = reader.surfaceWidth();
			const int h = reader.surfaceHeight();
			const int pitch = format.getMemoryUsage(w, 1);
			buffer.assign(static_cast<size_t>(format.getMemoryUsage(w, h)), 0);
			reader.readSurface(buffer.data(), pitch, w, h, format, nullptr, gr::SurfaceFormat());
			image->blt(0, 0, buffer.data(), pitch, level, w, h, format);
		}
		m_adSheet = new game::SpriteSheet(image);
		m_adSheet->createSprite("MAIN_MENU_AD_IMAGE", 0, 0, width, height, width / 2, height / 2);
		lang::Debug::printf("Native: Setting main menu ad ready to be shown to true\n");
		setBoolean("mainMenuAdReadyToBeShown", true);
	}
	catch (...)
	{
		lang::Debug::printf("Failed to create main menu ad image\n");
	}
}

void GameLua::checkInstalledApps(const std::string& url)
{
	try
	{
		m_appsThread = nullptr;
		m_appsUrl = url;
		m_appsThread = new lang::Thread(lang::Functor(new lang::Func1<void, void (GameLua::*)(), GameLua*>(
			&GameLua::getPossibleInstalledAppsProc, this)), true);
	}
	catch (...)
	{
		lang::Debug::printf("Failed to create thread for installed games check.\n");
	}
}

void GameLua::getPossibleInstalledAppsProc()
{
	try
	{
		m_appsReply = fetchText(m_appsUrl);
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
	call("setInstalledAppsOffline", determineInstalledApps(json));
}

void GameLua::deliverWorkerResults()
{
	if (mainMenuAdReady())
		createMainMenuAdImage();
	if (m_appsReady.load(std::memory_order_acquire))
	{
		const std::string reply = m_appsReply;
		m_appsReady.store(false, std::memory_order_relaxed);
		if (parseObject(reply).isNull())
			lang::Debug::printf("Received an invalid game list JSON from the server\n");
		else
		{
			const std::string names = determineInstalledApps(reply);
			call("setInstalledApps", names, m_appsTtl, reply);
		}
	}
}

void GameLua::joinWorkers()
{
	m_workerThread = nullptr;
	m_appsThread = nullptr;
}
