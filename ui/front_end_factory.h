// Where the program, when it chooses its front ends, leaves the factory for
// one kind of window; any thread that opens such a window takes from it.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

// `Fallback` stands in when no factory is set or the factory gives nothing,
// so a window never lacks a front end.
template <class Interface, class Fallback>
class FrontEndFactorySlot {
 public:
  using Factory = std::function<std::unique_ptr<Interface>()>;

  void Set(Factory factory) {
    std::lock_guard<std::mutex> lock(mutex_);
    factory_ = std::move(factory);
  }

  std::unique_ptr<Interface> Make() {
    Factory factory;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      factory = factory_;
    }
    std::unique_ptr<Interface> made;
    if (factory) made = factory();
    if (!made) made = std::make_unique<Fallback>();
    return made;
  }

 private:
  std::mutex mutex_;
  Factory factory_;
};
