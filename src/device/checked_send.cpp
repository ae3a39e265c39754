#include "device/checked_send.h"

namespace dal {

std::int32_t DalSend(Apdu& command, ResponseBuffer& response, Route route) {
  if (!command.ok()) return kSwNotCarried;
  if (route == Route::kDirect) return DalApduDirect(command.bytes(), response);
  return CosExchange(command.bytes(), response);
}

std::int32_t DalSend(Apdu& command, Route route) {
  ResponseBuffer response;
  return DalSend(command, response, route);
}

}  // namespace dal
