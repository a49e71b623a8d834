// The native visibility unit: a small C-callable wrapper around the system's private visibility
// framework, which is never linked but loaded by path at run time. While the process holds an
// assertion (a token), the system hides every menu bar item that is neither an allowed system
// control nor owned by an allowed bundle identifier.
//
// Every path of `QVVisibilityActivate` ends in exactly one call of the completion, made
// asynchronously on the main queue; failures, including exceptions thrown inside the framework,
// become an error text. Nothing thrown ever leaves the unit.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#include <string>

namespace tucklet::platform {
class RunLoop;
}
#endif

#ifdef __cplusplus
extern "C" {
#endif

// An assertion handed out by the framework. Owned by whoever receives it; free it with
// QVTokenFree (which does not end the hide: QVVisibilityRelease does).
typedef struct QVToken QVToken;

// Called once on the main queue: a token (ownership passes to the callee) and no error on success,
// no token and an error text (valid during the call only) otherwise.
typedef void (*QVCompletion)(void* context, QVToken* token, const char* error);

bool QVVisibilityAvailable(void);
void QVVisibilityActivate(const int64_t* systems, size_t systemCount, const char* const* bundles,
                          size_t bundleCount, QVCompletion completion, void* context);
// Ends the hide of a token when it can; safe with any token, including NULL.
void QVVisibilityRelease(QVToken* token);
void QVTokenFree(QVToken* token);

#ifdef __cplusplus
}

namespace tucklet {

// Where the unit finds the framework and the main queue it answers on; set once by the program's
// wiring before the controller exists. An empty path means the framework is absent.
void configureNativeVisibility(std::string frameworkPath, platform::RunLoop* mainQueue);

}  // namespace tucklet
#endif
