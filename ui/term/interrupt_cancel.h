// Ctrl-C as the Cancel button: while armed, SIGINT only sets a flag that the
// progress view polls on the HotSync thread.
#pragma once

namespace tarvo::term {

class InterruptCancel {
 public:
  // Installs the handler; the previous one comes back on destruction.
  InterruptCancel();
  ~InterruptCancel();
  InterruptCancel(const InterruptCancel&) = delete;
  InterruptCancel& operator=(const InterruptCancel&) = delete;

  // True once per press (several presses before a poll count as one).
  bool TakePress();

  // What the signal handler does; callable directly (tests, other front ends).
  static void Press();
};

}  // namespace tarvo::term
