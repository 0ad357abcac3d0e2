#include "platform/message_box.h"

#include <cstdio>

#include "pelix/platform.h"

namespace {

MessageBoxHandler g_messageBoxHandler = nullptr;

void DefaultMessageBox(const char* text) { std::fprintf(stderr, "%s\n", text != nullptr ? text : ""); }

}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  MessageBoxHandler previous = g_messageBoxHandler;
  g_messageBoxHandler = handler;
  return previous;
}

namespace pelix::platform {

void ShowMessageBox(const char* text) {
  MessageBoxHandler handler = g_messageBoxHandler != nullptr ? g_messageBoxHandler : DefaultMessageBox;
  handler(text);
}

}  // namespace pelix::platform
