// check_window.h: the window that tells the user the delivered files are
// being compared with the update's.
#pragma once

#include <windows.h>

#include <cstdint>

// Shown while the delivered bytes are read again, after the shell's progress
// window has gone: a comparison of a large update takes seconds (a GiB read
// twice from a cold disk), and the screen must not stay empty meanwhile.
// Shown at once when there is much to read, otherwise once the comparison
// has taken a moment; never for a small comparison that ends quickly.
// Modeless, without an owner, closed on destruction. Step is called as the
// comparison goes: it shows the window when due, moves its bar and lets it
// paint.
class KvCheckWindow {
 public:
  // caption: the run's caption; total: the bytes that will be compared.
  KvCheckWindow(const char* caption, uint64_t total);
  ~KvCheckWindow();
  KvCheckWindow(const KvCheckWindow&) = delete;
  KvCheckWindow& operator=(const KvCheckWindow&) = delete;

  // done more bytes have been compared (0 between files).
  void Step(uint64_t done);

  bool Shown() const { return window_ != nullptr; }

 private:
  void Show();
  void Pump();

  const char* caption_;
  uint64_t total_;
  uint64_t done_ = 0;
  DWORD start_;
  DWORD shownAt_ = 0;
  DWORD pumpedAt_ = 0;
  int barPosition_ = -1;
  HWND window_ = nullptr;
  HWND bar_ = nullptr;
};
