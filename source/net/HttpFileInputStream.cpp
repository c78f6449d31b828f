#include <net/HttpFileInputStream.h>
#include <net/HttpRequest.h>

namespace net
{
namespace
{
HttpResponse fetch(const std::string& url)
{
	HttpRequest request;
	return request.get(url);
}
}

HttpFileInputStream::HttpFileInputStream(const std::string& url) : io::InputStream(lang::Ptr<io::InputStream>()), m_url(url), m_status(0)
{
	const HttpResponse response = fetch(url);
	m_body.reset(response.body.data(), static_cast<int>(response.body.size()));
	m_body.setName(url);
	m_status = static_cast<int>(response.status);
}

HttpFileInputStream::~HttpFileInputStream() {}

int HttpFileInputStream::read(void* buf, int n)
{
	return m_body.read(buf, n);
}

int HttpFileInputStream::skip(int n)
{
	return m_body.skip(n);
}

bool HttpFileInputStream::seek(int offset, SeekMode mode)
{
	return m_body.seek(offset, mode);
}

int HttpFileInputStream::available() const
{
	return m_body.available();
}

std::string HttpFileInputStream::toString() const
{
	return m_url;
}
}
