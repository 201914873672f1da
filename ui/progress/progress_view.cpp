#include "ui/progress/progress_view.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <string_view>

#include "ui/term/terminal_progress_view.h"

namespace {

std::mutex g_factoryMutex;
ProgressViewFactory g_factory;

// Without a front end's own choice: the terminal when there is one.
std::unique_ptr<ProgressView> DefaultView() {
  const char* forced = std::getenv("TARVO_PROGRESS");
  const std::string_view choice = forced ? forced : "";
  using tarvo::term::TerminalProgressView;
  if (choice == "none") return std::make_unique<NullProgressView>();
  if (choice == "lines")
    return std::make_unique<TerminalProgressView>(STDERR_FILENO, TerminalProgressView::Mode::kLines);
  if (choice == "term" || isatty(STDERR_FILENO))
    return std::make_unique<TerminalProgressView>(STDERR_FILENO, TerminalProgressView::Mode::kInPlace);
  if (isatty(STDOUT_FILENO))
    return std::make_unique<TerminalProgressView>(STDOUT_FILENO, TerminalProgressView::Mode::kInPlace);
  return std::make_unique<NullProgressView>();
}

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
  if (!view) view = DefaultView();
  return view;
}
