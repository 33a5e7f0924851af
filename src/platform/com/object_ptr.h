// ObjectPtr<T>: the smart reference to a platform object, in the manner of the COM smart
// pointers: CreateInstance reports the creation status, and a call through an empty
// reference raises _com_error(E_POINTER) instead of crashing. Owns the object; movable,
// not copyable.
#ifndef ZAN_PLATFORM_COM_OBJECT_PTR_H_
#define ZAN_PLATFORM_COM_OBJECT_PTR_H_

#include <memory>
#include <new>
#include <utility>

#include "platform/com/com_error.h"
#include "zanclient/com.h"

namespace zan {

template <typename T>
class ObjectPtr {
 public:
  ObjectPtr() = default;
  explicit ObjectPtr(std::unique_ptr<T> object) : object_(std::move(object)) {}

  // Replaces the held object by a new one. S_OK, or E_OUTOFMEMORY (the reference stays empty).
  HRESULT CreateInstance() {
    object_.reset();
    try {
      object_ = std::make_unique<T>();
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }
  // Releases the held object (if any).
  void Release() { object_.reset(); }

  // The object; throws _com_error(E_POINTER) when the reference is empty.
  T* operator->() const { return &Get(); }
  T& operator*() const { return Get(); }
  explicit operator bool() const { return object_ != nullptr; }
  T* get() const { return object_.get(); }

 private:
  T& Get() const {
    if (!object_) throw _com_error(E_POINTER, "Invalid pointer");
    return *object_;
  }

  std::unique_ptr<T> object_;
};

}  // namespace zan

#endif
