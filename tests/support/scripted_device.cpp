#include "support/scripted_device.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

#include "dmcos.h"

namespace scripted {
namespace {

struct State {
  std::set<int> openSlots{1};
  bool closes = true;
  std::deque<Answer> script;
  std::map<std::size_t, Answer> failures;
  Answer fallback;
  std::function<Answer(const Bytes&)> responder;
  std::vector<Bytes> commands;
  std::vector<int> opens, closesCalled, slots, capacities;
};

std::mutex g_mutex;
State g_state;

Answer nextAnswer() {
  const std::size_t k = g_state.commands.size();
  if (auto it = g_state.failures.find(k); it != g_state.failures.end()) {
    if (!g_state.script.empty()) g_state.script.pop_front();
    return it->second;
  }
  if (g_state.script.empty())
    return g_state.responder ? g_state.responder(g_state.commands.back()) : g_state.fallback;
  Answer a = g_state.script.front();
  g_state.script.pop_front();
  return a;
}

}  // namespace

void reset() {
  std::lock_guard lock(g_mutex);
  g_state = State{};
}
void setOpenSlots(std::set<int> slots) {
  std::lock_guard lock(g_mutex);
  g_state.openSlots = std::move(slots);
}
void setCloseResult(bool closes) {
  std::lock_guard lock(g_mutex);
  g_state.closes = closes;
}
void push(Answer answer) {
  std::lock_guard lock(g_mutex);
  g_state.script.push_back(std::move(answer));
}
void pushSw(std::uint16_t sw, Bytes data) { push(Answer{sw, std::move(data), true}); }
void pushNotCarried() { push(Answer{0, {}, false}); }
void setDefault(Answer answer) {
  std::lock_guard lock(g_mutex);
  g_state.fallback = std::move(answer);
}
void setResponder(std::function<Answer(const Bytes&)> responder) {
  std::lock_guard lock(g_mutex);
  g_state.responder = std::move(responder);
}
void failCommand(std::size_t k, Answer answer) {
  std::lock_guard lock(g_mutex);
  g_state.failures[k] = std::move(answer);
}
const std::vector<Bytes>& commands() { return g_state.commands; }
std::vector<int> openCalls() { return g_state.opens; }
std::vector<int> closeCalls() { return g_state.closesCalled; }
std::vector<int> apduSlots() { return g_state.slots; }
std::vector<int> apduCapacities() { return g_state.capacities; }

}  // namespace scripted

using scripted::g_mutex;
using scripted::g_state;

extern "C" int Open_UK(int slot) {
  std::lock_guard lock(g_mutex);
  g_state.opens.push_back(slot);
  return g_state.openSlots.count(slot) ? 1 : 0;
}

extern "C" int Close_UK(int slot) {
  std::lock_guard lock(g_mutex);
  g_state.closesCalled.push_back(slot);
  return g_state.closes ? 1 : 0;
}

extern "C" int APDU_UK(int slot, const unsigned char* cmd, int cmdLen, unsigned char* resp,
                       int respCap, int* sw) {
  std::lock_guard lock(g_mutex);
  g_state.commands.emplace_back(cmd, cmd + cmdLen);
  g_state.slots.push_back(slot);
  g_state.capacities.push_back(respCap);
  const scripted::Answer a = scripted::nextAnswer();
  if (!a.carried) return 0;
  if (a.data.size() + DMCOS_RESPONSE_HEADER > static_cast<std::size_t>(respCap)) return 0;
  resp[0] = static_cast<unsigned char>(a.data.size() >> 8);
  resp[1] = static_cast<unsigned char>(a.data.size() & 0xFF);
  std::copy(a.data.begin(), a.data.end(), resp + DMCOS_RESPONSE_HEADER);
  *sw = a.sw;
  return 1;
}
