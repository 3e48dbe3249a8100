#include "d3d9/gl/GLUniformStore.h"

#include <algorithm>

void GLUniformStore::SetFloats(const char* name, const float* values, unsigned count)
{
    Value& v = values_[name];
    if (!v.isInt && v.serial != 0 && v.floats.size() == count && std::equal(values, values + count, v.floats.begin()))
        return;
    v.floats.assign(values, values + count);
    v.ints.clear();
    v.isInt = false;
    v.serial = ++serial_;
}

void GLUniformStore::SetInts(const char* name, const int* values, unsigned count)
{
    Value& v = values_[name];
    if (v.isInt && v.ints.size() == count && std::equal(values, values + count, v.ints.begin()))
        return;
    v.ints.assign(values, values + count);
    v.floats.clear();
    v.isInt = true;
    v.serial = ++serial_;
}

const GLUniformStore::Value* GLUniformStore::Find(const std::string& name) const
{
    auto found = values_.find(name);
    return found == values_.end() ? nullptr : &found->second;
}
