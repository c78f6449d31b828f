#ifndef NET_HTTPFILEINPUTSTREAM_H
#define NET_HTTPFILEINPUTSTREAM_H

#include <io/ByteArrayInputStream.h>
#include <io/InputStream.h>
#include <string>

namespace net
{
/** The body of one GET, fetched at construction, read like a file. */
class HttpFileInputStream : public io::InputStream
{
public:
	/** Fetches at once; HttpRequestException propagates. */
	explicit HttpFileInputStream(const std::string& url);
	~HttpFileInputStream() override;

	int read(void* buf, int n) override;
	int skip(int n) override;
	bool seek(int offset, SeekMode mode) override;
	int available() const override;
	/** The URL the stream was made with. */
	std::string toString() const override;

	/** The HTTP status of the answer. */
	int status() const { return m_status; }

private:
	io::ByteArrayInputStream m_body;
	std::string m_url;
	int m_status;
};
}

#endif
