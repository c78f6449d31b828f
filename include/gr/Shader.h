#ifndef GR_SHADER_H
#define GR_SHADER_H

#include <gr/ContextObject.h>
#include <math/float4.h>
#include <math/float4x4.h>
#include <string>

namespace gr
{
class BaseTexture;

/**
 * A shader or effect with named parameters. Use: begin(), then for each
 * pass beginPass(i), draw, endPass(); then end().
 */
class Shader : public ContextObject
{
public:
	/** Standard parameters; their names are also the uniform names of shader programs. */
	enum ParamType : int
	{
		PARAM_NONE,
		PARAM_CAMERAP,
		PARAM_WORLDTM,
		PARAM_VIEWTM,
		PARAM_VIEWTMINV,
		PARAM_VIEWPROJTM,
		PARAM_PROJTM,
		PARAM_TOTALTM,
		PARAM_BONEWORLDTM,
		PARAM_TIME,
		PARAM_LIGHTP0,
		PARAM_LIGHTP1,
		PARAM_LIGHTP2,
		PARAM_LIGHTP3,
		PARAM_LIGHTP4,
		PARAM_LIGHTP5,
		PARAM_LIGHTP6,
		PARAM_LIGHTP7,
		PARAM_LIGHTC0,
		PARAM_LIGHTC1,
		PARAM_LIGHTC2,
		PARAM_LIGHTC3,
		PARAM_LIGHTC4,
		PARAM_LIGHTC5,
		PARAM_LIGHTC6,
		PARAM_LIGHTC7,
		PARAM_COUNT
	};

	/** How a primitive's triangles are ordered before drawing. */
	enum SortType : int
	{
		SORT_NONE = 0,
		SORT_BACKTOFRONT = 1,
		SORT_FRONTTOBACK = 2,
		SORT_INSIDEOUT = 3,
		SORT_OUTSIDEIN = 4,
	};

	/** A new shader of the same effect (count 0). */
	virtual Shader* clone() const = 0;
	virtual void setTechnique(const char* name) = 0;
	virtual bool hasTechnique(const char* name) = 0;
	virtual void setTexture(ParamType param, BaseTexture* texture) = 0;
	virtual void setTexture(const char* name, BaseTexture* texture) = 0;
	virtual void setMatrix(ParamType param, const math::float4x4& value) = 0;
	virtual void setMatrix(const char* name, const math::float4x4& value) = 0;
	virtual void setMatrixArray(ParamType param, math::float4x4** matrices, int count) = 0;
	virtual void setVector(ParamType param, const math::float4& value) = 0;
	virtual void setVector(const char* name, const math::float4& value) = 0;
	virtual void setFloat(ParamType param, float value) = 0;
	virtual void setFloat(const char* name, float value) = 0;
	virtual BaseTexture* getTexture(const char* name) = 0;
	virtual math::float4x4 getMatrix(const char* name) = 0;
	virtual math::float4 getVector(const char* name) = 0;
	virtual float getFloat(const char* name) = 0;
	/** Starts the shader; returns the number of passes. */
	virtual int begin() = 0;
	/** Applies pass 0 .. passes-1. */
	virtual void beginPass(int pass) = 0;
	virtual void endPass() = 0;
	virtual void end() = 0;
	virtual void setName(const std::string& name) = 0;
	virtual void setSort(SortType sort) = 0;
	virtual int priority() const = 0;
	virtual SortType sort() const = 0;
	virtual bool enabled() const = 0;
	virtual const std::string& name() const = 0;

	/** The parameter's name ("WORLDTM", ...); param must be below PARAM_COUNT. */
	static const char* toString(ParamType param);

protected:
	Shader() : ContextObject(CLASSID_SHADER) {}
};
}

#endif
