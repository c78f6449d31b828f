#ifndef UTIL_JSONVISITOR_H
#define UTIL_JSONVISITOR_H

namespace util
{
/**
 * Receiver of util::traverseJSON. The key is the member's name inside an
 * object and null for an element of an array.
 */
class JSONVisitor
{
public:
	virtual ~JSONVisitor() {}

	/** A string. */
	virtual void visit(const char* key, const char* value) = 0;
	/** A number. */
	virtual void visit(const char* key, double value) = 0;
	/** true or false. */
	virtual void visit(const char* key, bool value) = 0;
	/** null. */
	virtual void visit(const char* key) = 0;
	virtual void startObject(const char* key) = 0;
	virtual void endObject() = 0;
	virtual void startArray(const char* key) = 0;
	virtual void endArray() = 0;
	/** Before the first item. */
	virtual void start() = 0;
	/** After the last item. */
	virtual void end() = 0;
};
}

#endif
