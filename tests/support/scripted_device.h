// A scripted device: a test double of the device library's three
// functions. It records every command the library sends and answers each
// from a script (status word and response data per command).
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <vector>

namespace scripted {

using Bytes = std::vector<std::uint8_t>;

struct Answer {
  std::uint16_t sw = 0x9000;
  Bytes data;
  bool carried = true;  // false: APDU_UK returns 0 (not carried)
};

// Back to a fresh device: empty script and records, slot 1 opens, close
// succeeds, unscripted commands answer 90 00 with no data.
void reset();

void setOpenSlots(std::set<int> slots);  // slots whose Open_UK succeeds
void setCloseResult(bool closes);

void push(Answer answer);  // the answer to the next unanswered command
void pushSw(std::uint16_t sw, Bytes data = {});
void pushNotCarried();
void setDefault(Answer answer);  // answer when the script is exhausted
// Answers unscripted commands by calling `responder` (for example an
// emulated card) instead of the default answer; an empty one clears it.
void setResponder(std::function<Answer(const Bytes&)> responder);

// Fail command number k (1-based, counting from the last reset) this way.
void failCommand(std::size_t k, Answer answer);

const std::vector<Bytes>& commands();  // every command, in order
std::vector<int> openCalls();
std::vector<int> closeCalls();
std::vector<int> apduSlots();           // the slot of every APDU_UK call
std::vector<int> apduCapacities();      // the response capacity of every call

}  // namespace scripted
