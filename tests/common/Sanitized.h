#pragma once

// True in the AddressSanitizer build, where every memory access is checked: time
// bounds meant to catch hangs and quadratic work allow for the slower run there.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool sanitizedBuild = true;
#else
inline constexpr bool sanitizedBuild = false;
#endif
