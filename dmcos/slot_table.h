// The device slots: the configuration read from the environment and the
// backend open behind each configured slot.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <string>

#include "backend.h"
#include "slot_config.h"

namespace dmcos {

struct Slot {
  Slot() = default;
  ~Slot();
  Slot(const Slot&) = delete;
  Slot& operator=(const Slot&) = delete;

  // True when the backend was opened by this process, not inherited from
  // the parent of a fork().
  bool ownBackend() const;
  // Drops a backend inherited from the parent of a fork() (forsaking it),
  // so that the next open of this process opens afresh.
  void dropInherited();

  std::mutex mutex;  // one command at a time per slot
  SlotEntry entry;
  std::unique_ptr<Backend> backend;
  unsigned long owner = 0;  // the process that made the backend
  bool open = false;
  bool lastResponseSecret = false;  // masks the GET RESPONSE that follows
};

class SlotTable {
 public:
  static SlotTable& instance();

  // The slot numbered 1..6 under the current configuration, or nullptr.
  // The configuration is read again whenever TKP30_SLOTS changes.
  std::shared_ptr<Slot> slot(int number);
  // Why slot(number) gave nothing, under the configuration it last read.
  std::string unconfiguredReason(int number);

 private:
  void reconfigure(const std::string& config);

  std::mutex mutex_;
  std::string config_;
  bool configured_ = false;
  std::array<std::shared_ptr<Slot>, kSlotCount> slots_;
};

std::unique_ptr<Backend> makeBackend(const SlotEntry& entry);

}  // namespace dmcos
