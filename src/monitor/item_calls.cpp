#include "monitor/item_calls.h"

#include <mutex>
#include <utility>

#include "monitor/item_control.h"

namespace monitor {

namespace {

// Starts run on a few threads of a pool of their own: more would not start
// processes faster (the system starts one at a time) but each costs memory,
// and one start that hangs holds up only its own thread. None is kept while
// nothing is started: a new thread costs a restart far less than the process
// it starts, and an idle one a megabyte under Wine.
constexpr DWORD kThreads = 4;

}  // namespace

// What the pool's threads and the engine share: it lives until the engine and
// every call under way are done with it.
struct ItemCalls::Shared {
  win::unique_handle done;  // a copy of the engine's event, valid as long as this lives
  PTP_POOL pool = CreateThreadpool(nullptr);
  TP_CALLBACK_ENVIRON environment{};
  std::mutex mutex;
  std::vector<Outcome> outcomes;

  Shared() {
    InitializeThreadpoolEnvironment(&environment);
    if (!pool) return;
    SetThreadpoolThreadMaximum(pool, kThreads);
    SetThreadpoolCallbackPool(&environment, pool);
  }
  ~Shared() {
    DestroyThreadpoolEnvironment(&environment);
    if (pool) CloseThreadpool(pool);  // its threads end once their calls are done
  }
  Shared(const Shared&) = delete;
  Shared& operator=(const Shared&) = delete;
};

struct ItemCalls::Call {
  std::shared_ptr<Shared> shared;
  Outcome::Kind kind;
  std::uint64_t item;
  std::string path;
  bool service;

  static void CALLBACK run(PTP_CALLBACK_INSTANCE, void* context) {
    const std::unique_ptr<Call> call(static_cast<Call*>(context));
    Outcome outcome{call->kind, call->item, {}, {}, {}};
    try {
      if (call->kind == Outcome::Kind::Services) {
        outcome.services = win::listServices();
      } else if (call->service) {
        outcome.failure = startServiceItem(call->path);
      } else {
        auto started = startProgramItem(call->path);
        outcome.process = std::move(started.process);
        outcome.failure = std::move(started.failure);
      }
    } catch (...) {  // out of memory: nothing else throws here
      outcome.failure = failureText(ERROR_NOT_ENOUGH_MEMORY);
      outcome.services.error = ERROR_NOT_ENOUGH_MEMORY;
    }
    Shared& shared = *call->shared;
    {
      std::lock_guard lock(shared.mutex);
      shared.outcomes.push_back(std::move(outcome));
    }
    SetEvent(shared.done.get());
  }
};

ItemCalls::ItemCalls(HANDLE done) : shared_(std::make_shared<Shared>()) {
  HANDLE copy = nullptr;
  if (DuplicateHandle(GetCurrentProcess(), done, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
    shared_->done.reset(copy);
}

void ItemCalls::start(std::uint64_t item, std::string path, bool service) {
  submit(std::make_unique<Call>(Call{shared_, Outcome::Kind::Start, item, std::move(path), service}));
}

void ItemCalls::listServices() {
  if (listing_) return;
  listing_ = true;
  submit(std::make_unique<Call>(Call{shared_, Outcome::Kind::Services, 0, {}, true}));
}

void ItemCalls::submit(std::unique_ptr<Call> call) {
  if (shared_->pool && TrySubmitThreadpoolCallback(Call::run, call.get(), &shared_->environment)) {
    static_cast<void>(call.release());
    return;
  }
  // No thread to be had: the call is made here, as it once always was.
  Call::run(nullptr, call.release());
}

std::vector<ItemCalls::Outcome> ItemCalls::takeOutcomes() {
  std::vector<Outcome> taken;
  {
    std::lock_guard lock(shared_->mutex);
    taken = std::exchange(shared_->outcomes, {});
  }
  for (const auto& outcome : taken)
    if (outcome.kind == Outcome::Kind::Services) listing_ = false;
  return taken;
}

}  // namespace monitor
