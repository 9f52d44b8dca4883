// Vimbo's hold on the bar. From the moment one of its operations sets the bar up for a move until
// that move's clean-up and the pointer's put-back have finished, only the operation changes the
// bar's collapsed state: a person's click on the control item, the hot keys, the manager's toggle,
// opening a window that collapses the bar, a hover's reveal and a session's collapse all wait and
// are carried out, in the order asked, once the bar is let go, as if asked then. Whatever else the
// person asked for happens at once. Operations take the hold in turn; each takes it before the
// mover's turn, never while holding that, so the two never wait on each other.
#include "App/AppDelegate.h"

namespace vimbo {

AppDelegate::BarLease& AppDelegate::BarLease::operator=(BarLease&& other) noexcept {
  if (this != &other) {
    release();
    owner_ = std::exchange(other.owner_, {});
  }
  return *this;
}

void AppDelegate::BarLease::release() {
  if (auto owner = std::exchange(owner_, {}).lock()) owner->releaseBar();
}

async::Task<AppDelegate::BarLease> AppDelegate::holdBar() {
  if (barHeld_) {
    async::OneShot<> turn;
    barWaiters_.push_back(turn);
    // The one letting go hands the hold over already taken.
    co_await turn.wait();
  }
  barHeld_ = true;
  co_return BarLease(weak_from_this());
}

bool AppDelegate::deferWhileBarHeld(std::function<void(AppDelegate&)> change) {
  if (!barHeld_) return false;
  deferredBarChanges_.push_back(std::move(change));
  return true;
}

void AppDelegate::releaseBar() {
  barHeld_ = false;
  // A frame torn down with the loop asks for nothing more.
  if (platform_.executor.isStopped()) return;
  // The person's changes first: nothing takes the bar while they run.
  auto changes = std::exchange(deferredBarChanges_, {});
  for (auto& change : changes) change(*this);
  if (barWaiters_.empty() || barHeld_) return;
  barHeld_ = true;
  async::OneShot<> next = std::move(barWaiters_.front());
  barWaiters_.pop_front();
  next.resume();
}

}  // namespace vimbo
