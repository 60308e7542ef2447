// Cancelling a blocked transfer from another thread. A transfer registers the
// request handle it is blocked on together with its connection; a cancel
// closes every request registered on that connection, which makes the
// blocked WinHTTP call fail at once (closing the session handle alone does
// not reach a call that is already waiting for bytes).
#pragma once

#include <windows.h>
#include <winhttp.h>

#include "http/winhttp_handle.h"

namespace ncHttp {

// Registers request for the lifetime of this object; worker thread only. If a
// cancel closed the handle meanwhile, the destructor releases it from its
// owner instead of letting the owner close it a second time.
class LiveRequest {
public:
    LiveRequest(HINTERNET connection, WinHttpHandle& request);
    ~LiveRequest();
    LiveRequest(const LiveRequest&) = delete;
    LiveRequest& operator=(const LiveRequest&) = delete;

private:
    HINTERNET connection_;
    WinHttpHandle& request_;
};

// Closes the request handles in flight on connection; any thread.
void AbortRequestsOn(HINTERNET connection);

}  // namespace ncHttp
