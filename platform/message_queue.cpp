#include "platform/message_queue.h"

namespace {

MessageQueue* g_messageQueue = nullptr;

}  // namespace

MessageQueue* SetMessageQueue(MessageQueue* queue) {
  MessageQueue* previous = g_messageQueue;
  g_messageQueue = queue;
  return previous;
}

namespace pelix::platform {

MessageQueue* CurrentMessageQueue() { return g_messageQueue; }

}  // namespace pelix::platform
