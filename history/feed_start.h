// The feed to the plant's server: with a server set, a forwarder sends it what the outbox holds,
// and the strip shows what still waits.
#pragma once

#include "history/strip.h"

namespace history {

// Reads the server's setting (the operator told once when it cannot be read) and starts the
// forwarder where one is set.
void StartFeed(const Strip& strip);
// A record is queued: the forwarder sends it now.
void WakeFeed();
// The station's file begun anew: the forwarder reads the new one.
void ReopenFeed();
// The records in the file's outbox, or -1 without a server.
long FeedWaiting();
// The records the server refused; 0 without a server.
long FeedRefused();
// Waits for the forwarder at most 3 s.
void StopFeed();

}  // namespace history
