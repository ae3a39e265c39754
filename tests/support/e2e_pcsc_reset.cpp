#include "support/e2e_pcsc_reset.h"

#include <string>
#include <vector>

#include "dmcos/pcsc_handles.h"

namespace e2e {
namespace {

constexpr std::string_view kPcscPrefix = "pcsc:";

bool resetIn(const dmcos::pcsc::Context& context, const std::string& reader) {
  dmcos::pcsc::Connection connection;
  return connection.connect(context, reader) == SCARD_S_SUCCESS &&
         connection.reset() == SCARD_S_SUCCESS;
}

}  // namespace

bool resetPcscCard(std::string_view slots) {
  const std::string_view entry = slots.substr(0, slots.find(';'));
  if (!entry.starts_with(kPcscPrefix)) return false;
  const std::string reader(entry.substr(kPcscPrefix.size()));
  const dmcos::pcsc::Context context;
  if (!context.valid()) return false;
  const std::vector<std::string> candidates =
      reader.empty() ? context.readers() : std::vector<std::string>{reader};
  for (const std::string& name : candidates)
    if (resetIn(context, name)) return true;
  return false;
}

}  // namespace e2e
