#include "safety/slips.h"

#include <utility>

namespace zc {

namespace {

SlipHandler& Handler() {
  static SlipHandler handler;
  return handler;
}

int& Count() {
  static int count = 0;
  return count;
}

}  // namespace

SlipHandler SetSlipHandler(SlipHandler handler) { return std::exchange(Handler(), std::move(handler)); }

void ReportSlip(std::string_view what, std::wstring_view target) {
  ++Count();
  if (Handler()) Handler()(what, target);
}

int SlipCount() { return Count(); }

}  // namespace zc
