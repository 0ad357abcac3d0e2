// The platform seams: the registry, the message box, the calling thread's
// message queue and the temporary folder.
#pragma once

#include <cstdint>

#include "pelix/export.h"
#include "pelix/platform_registry.h"
#include "pelix/win_types.h"

// --- Message box -----------------------------------------------------------
// Shows text modally with a single OK button and returns when it is closed.
using MessageBoxHandler = void (*)(const char* text);
// Installs handler and returns the previous one; nullptr = the default, which
// writes the text to standard error.
PELIX_API MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// --- The calling thread's message queue -------------------------------------
struct MSG {
  unsigned message;
  uintptr_t wParam;
  intptr_t lParam;
};

constexpr unsigned WM_QUIT = 0x0012;

class PELIX_API MessageQueue {
 public:
  virtual ~MessageQueue() = default;
  // Takes one message off the queue; false when there is none.
  virtual bool PeekMessage(MSG& msg) = 0;
  virtual void PostQuitMessage(int exitCode) = 0;
  // The application's pre-translation; true when it consumed the message.
  virtual bool PreTranslateMessage(MSG& msg) = 0;
  virtual void TranslateMessage(const MSG& msg) = 0;
  virtual void DispatchMessage(const MSG& msg) = 0;
};

// Installs queue for the process and returns the previous one. With none
// installed (the default) no message is passed on.
PELIX_API MessageQueue* SetMessageQueue(MessageQueue* queue);

// --- Temporary folder -------------------------------------------------------
// Writes the user's own temporary folder with a trailing '/' into buffer and
// returns its length: $XDG_RUNTIME_DIR/ when set, else $TMPDIR (else /tmp) +
// "pelix-<uid>/", made with mode 0700 when missing. When bufferLength is too
// small, nothing is written and the length needed (terminator included) is
// returned. 0 when the folder cannot be made, or when it exists but is a
// symbolic link, is not the user's or is open to others.
PELIX_API DWORD GetTempPathA(DWORD bufferLength, char* buffer);
