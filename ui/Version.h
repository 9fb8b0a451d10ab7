// The version figures of the program. The Windows build also carries them in
// its version resource (velmorin.rc); keep the two in step.
#pragma once

namespace velmorin::version {

inline constexpr const char* kProductName = "Velmorin";
inline constexpr const char* kInternalName = "Velmorin";
inline constexpr const char* kFileVersion = "1.0.0.4";
inline constexpr const char* kProductVersion = "1.0.0.1";

#ifdef _WIN32
inline constexpr const char* kPlatformName = "Windows";
#else
inline constexpr const char* kPlatformName = "Linux";
#endif

}  // namespace velmorin::version
