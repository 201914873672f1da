#include "ui/progress/progress_view.h"

#include <mutex>

namespace {

std::mutex g_factoryMutex;
ProgressViewFactory g_factory;

}  // namespace

void SetProgressViewFactory(ProgressViewFactory factory) {
  std::lock_guard<std::mutex> lock(g_factoryMutex);
  g_factory = std::move(factory);
}

std::unique_ptr<ProgressView> MakeProgressView() {
  ProgressViewFactory factory;
  {
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    factory = g_factory;
  }
  std::unique_ptr<ProgressView> view;
  if (factory) view = factory();
  if (!view) view = std::make_unique<NullProgressView>();
  return view;
}
