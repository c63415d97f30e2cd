// The console's colour sequences, kept in this one place so that every
// writer sends the same bytes: a failure's message is framed by red and
// reset, the title by blue and reset, and every run ends with a reset.
#pragma once

namespace colour {

inline constexpr char kRed[] = "\033[31m";
inline constexpr char kBlue[] = "\033[34m";
inline constexpr char kReset[] = "\033[0m";

}  // namespace colour
