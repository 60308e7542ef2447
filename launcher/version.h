// The program's version; the version resource and the run log's header use
// these same numbers.
#pragma once

#define TQ_VERSION_MAJOR 1
#define TQ_VERSION_MINOR 0
#define TQ_VERSION_BUILD 10
#define TQ_VERSION_REVISION 493

#ifndef RC_INVOKED
namespace ncApp {
inline constexpr int kVersionMajor = TQ_VERSION_MAJOR;
inline constexpr int kVersionMinor = TQ_VERSION_MINOR;
inline constexpr int kVersionBuild = TQ_VERSION_BUILD;
inline constexpr int kVersionRevision = TQ_VERSION_REVISION;
}  // namespace ncApp
#endif
