#pragma once
// A seam for tests: the listener's wait for a client. The paths where that wait fails (a client
// that connected and left before it was taken, an instance the system broke) come only by chance
// under a test; a test makes every wait end as failed, so the listener replaces its instance on
// every client that comes and goes.

namespace qx {

// From now on, until called with false, each of the listener's waits for a client ends as failed
// once it is over: a client that came is dropped unserved.
void SetListenerWaitFails(bool fails);

}  // namespace qx
