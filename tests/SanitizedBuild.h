#pragma once

// Whether these tests run in a build under the sanitizers (a Debug build, several times
// slower, where the reader worker goes without its memory limit). Bounds on time are held
// by the optimised build of the same tests; the sanitized one checks outcomes.
namespace quorvane::test {

#if defined(QUORVANE_SANITIZED)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif

}  // namespace quorvane::test
