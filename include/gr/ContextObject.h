#ifndef GR_CONTEXTOBJECT_H
#define GR_CONTEXTOBJECT_H

#include <lang/Object.h>
#include <lang/Ptr.h>

namespace gr
{
/** Base of every resource a context creates: textures, images, shaders, primitives. */
class ContextObject : public lang::Object
{
public:
	enum ClassId : int
	{
		CLASSID_PRIMITIVE = 0,
		CLASSID_SHADER = 1,
		CLASSID_TEXTURE = 2,
		CLASSID_IMAGE = 4,
	};

	/** Access bits; LOCK_READ|LOCK_WRITE means both. */
	enum LockType : int
	{
		LOCK_NONE = 0,
		LOCK_READ = 1,
		LOCK_WRITE = 2,
	};

	/** Locks a resource for its lifetime: fill primitives and read textures inside one. */
	class Lock
	{
	public:
		/** obj must not be null. */
		Lock(ContextObject* obj, LockType type);
		~Lock();

		/** Forgets the object without unlocking it (for code that unlocked it itself). */
		void clear() { m_obj = nullptr; }

	private:
		lang::Ptr<ContextObject> m_obj;

		Lock(const Lock&) = delete;
		Lock& operator=(const Lock&) = delete;
	};

	~ContextObject() override;

	/** Does nothing unless the resource manages locking. */
	virtual void lock(LockType type);
	virtual void unlock();
	/** The current access bits; read and write for a resource that does not manage locking. */
	virtual LockType locked() const;

	ClassId classId() const { return m_classId; }

protected:
	explicit ContextObject(ClassId classId) : m_classId(classId) {}

private:
	ClassId m_classId;
};

inline ContextObject::LockType operator|(ContextObject::LockType a, ContextObject::LockType b)
{
	return ContextObject::LockType(int(a) | int(b));
}
}

#endif
