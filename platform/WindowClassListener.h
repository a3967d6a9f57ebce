#pragma once
// The owner side of a window class: a companion program (the scheduler)
// constructs one with its class name so that findWindowClass() finds it and
// closeWindowClass() reaches it. It listens on the per-user local socket
// named after the class; poll fd() for input and call takeCloseRequest()
// when it is readable.

#include <string>

namespace kv {

class WindowClassListener {
  public:
    explicit WindowClassListener(const std::string& className);
    ~WindowClassListener();
    WindowClassListener(const WindowClassListener&) = delete;
    WindowClassListener& operator=(const WindowClassListener&) = delete;

    // False when the name could not be taken (another program of this user
    // already owns the class, or the socket could not be made).
    bool listening() const { return fd_ >= 0; }
    // The listening descriptor (readable when a connection is pending), -1 when not listening.
    int fd() const { return fd_; }

    // Accepts every pending connection (never blocks for a new one); true when
    // one of them asked the window to close. The asker is answered before its
    // connection is closed. A connection that only checks the window exists
    // sends nothing and is simply closed.
    bool takeCloseRequest();

  private:
    int fd_ = -1;
};

}  // namespace kv
