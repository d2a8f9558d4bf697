#pragma once

#include <QtGlobal>
#include <array>
#include <cstddef>
#include <cstring>
#include <type_traits>

namespace zandrel {

namespace dynamiccast {

struct Answer {
    const void* vtable = nullptr;
    std::ptrdiff_t offset = 0;
    bool found = false;
};

} // namespace dynamiccast

// dynamic_cast<To*>(object), remembered per vtable. The model classes adopt their interfaces
// through virtual bases, and the runtime's search of such a hierarchy costs thousands of
// instructions a cast (a type-name comparison at every step), where the answer is only ever an
// offset from the object or none. Under the Itanium C++ ABI (GCC and Clang here) a polymorphic
// subobject starts with its vtable pointer, and that vtable fixes the answer: it names the dynamic
// type and where the object's bases lie, for a complete object as for one still being built or torn
// down (those run with vtables of their own). So the answer is kept per thread against the vtable
// and reused; a slot taken by another vtable just asks the runtime again.
template <class To, class From> To* dynamicCast(From* object)
{
    static_assert(std::is_polymorphic_v<From>, "dynamicCast needs a polymorphic source");
    static_assert(std::is_pointer_v<decltype(dynamic_cast<To*>(object))>);
    if (!object)
        return nullptr;
    using Byte = std::conditional_t<std::is_const_v<From>, const char, char>;
    Byte* bytes = reinterpret_cast<Byte*>(object);
    const void* vtable = nullptr;
    std::memcpy(&vtable, bytes, sizeof vtable);
    thread_local std::array<dynamiccast::Answer, 32> answers {};
    dynamiccast::Answer& answer = answers[(quintptr(vtable) >> 3) % answers.size()];
    if (answer.vtable == vtable && vtable)
        return answer.found ? reinterpret_cast<To*>(bytes + answer.offset) : nullptr;
    To* result = dynamic_cast<To*>(object);
    answer.vtable = vtable;
    answer.found = result != nullptr;
    answer.offset = result ? reinterpret_cast<const char*>(result) - reinterpret_cast<const char*>(bytes) : 0;
    return result;
}

} // namespace zandrel
