#include "ui/progress/progress_view.h"

#include "ui/front_end_factory.h"

namespace {

FrontEndFactorySlot<ProgressView, NullProgressView> g_factory;

}  // namespace

void SetProgressViewFactory(ProgressViewFactory factory) { g_factory.Set(std::move(factory)); }

std::unique_ptr<ProgressView> MakeProgressView() { return g_factory.Make(); }
