// The testing aid that slows the emulated token to a real token's pace:
// TKP30_EMU_DELAY_US=<microseconds> makes every command's answer wait that
// long. Read once, when a token opens.
#pragma once

#include <chrono>

namespace tkp30emu {

inline constexpr char kAnswerDelayVariable[] = "TKP30_EMU_DELAY_US";
inline constexpr std::chrono::microseconds kMaxAnswerDelay{1000000};

// The delay `text` asks for: a whole number of microseconds, digits only,
// 0 to kMaxAnswerDelay. Anything else (null, empty, a sign, a unit,
// spaces, more than a second) asks for none.
std::chrono::microseconds parseAnswerDelay(const char* text);

// The delay the environment asks for now.
std::chrono::microseconds answerDelayFromEnvironment();

}  // namespace tkp30emu
