#include "app/single_instance.h"

#include "app/ui_texts.h"
#include "runtime/win32/shell_services.h"

namespace qx {
namespace {

constexpr char kInstanceName[] = "Quellarotix";
constexpr char kShowRequest[] = "Quellarotix.ShowMainWindow";
constexpr int kFirstWindowWaitMs = 5000;

}  // namespace

bool BecomeOnlyInstance() {
  if (ClaimSessionInstance(kInstanceName)) return true;
  PostToOtherInstance(kShowRequest, ui::kMainTitle, kFirstWindowWaitMs);
  return false;
}

int ShowRequestEvent() {
  static const int event = RegisteredMessageEvent(kShowRequest);
  return event;
}

}  // namespace qx
