#include "mail/send_mail.h"

#include <windows.h>

#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "win/message_pump.h"
#include "win/unique_resource.h"

namespace mail {
namespace {

// What the session thread reports, in the order it happened.
struct Event {
  enum Kind { Status, Failed, Succeeded } kind;
  std::string text;
};

// Shared by the session thread and the waiting thread. The session thread
// holds its own share, so it can outlive a wait that gave up on it.
struct Channel {
  std::mutex lock;
  std::deque<Event> events;
  win::unique_handle signal{CreateEventA(nullptr, FALSE, FALSE, nullptr)};

  void post(Event::Kind kind, std::string text) {
    {
      std::lock_guard<std::mutex> hold(lock);
      events.push_back({kind, std::move(text)});
    }
    SetEvent(signal.get());
  }

  std::deque<Event> take() {
    std::lock_guard<std::mutex> hold(lock);
    return std::exchange(events, {});
  }
};

}  // namespace

void SendMail::send() {
  const auto failed = [this](const std::string& why) {
    if (SendFailed) SendFailed(why);
  };
  if (sending_) return failed("An e-mail is already being sent.");
  sending_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{sending_};

  auto channel = std::make_shared<Channel>();
  if (!channel->signal) return failed("The e-mail could not be sent: " + std::to_string(GetLastError()));
  MailJob job{smtpServer,        from,     subject,  message,  recipients,
              useAuthentication, userName, password, codePage, implicitTlsPort};
  std::thread session;
  try {
    session = std::thread([channel, job, limits = timeouts] {
      std::string problem;
      try {
        problem =
            deliverMessage(job, limits, [&](const std::string& text) { channel->post(Event::Status, text); });
      } catch (const std::exception& e) {
        problem = std::string("The e-mail could not be sent: ") + e.what();
      } catch (...) {
        problem = "The e-mail could not be sent.";
      }
      channel->post(problem.empty() ? Event::Succeeded : Event::Failed, problem);
    });
  } catch (const std::system_error& e) {
    return failed(std::string("The e-mail could not be sent: ") + e.what());
  }
  // Also when an event handler throws: the session ends within its time anyway.
  struct Join {
    std::thread& thread;
    ~Join() {
      if (thread.joinable()) thread.join();
    }
  } join{session};

  // The session ends itself within its total time; the margin covers a name
  // lookup, which Windows does not let us bound.
  const DWORD limit = static_cast<DWORD>(timeouts.total.count()) + 10000;
  const ULONGLONG start = GetTickCount64();
  bool quit = false, finished = false;
  int quitCode = 0;
  while (!finished) {
    for (Event& e : channel->take()) {
      if (e.kind == Event::Status) {
        if (Status) Status(e.text);
        continue;
      }
      finished = true;
      if (e.kind == Event::Failed)
        failed(e.text);
      else if (SendSuccesful)
        SendSuccesful();
      break;  // the session has posted nothing after its outcome
    }
    if (finished) break;
    const ULONGLONG waited = GetTickCount64() - start;
    if (waited >= limit) {
      session.detach();
      failed("The mail server did not finish the session in time.");
      break;
    }
    HANDLE signal = channel->signal.get();
    const DWORD ms = static_cast<DWORD>(limit - waited);
    if (quit)
      WaitForSingleObject(signal, ms);
    else
      MsgWaitForMultipleObjects(1, &signal, FALSE, ms, QS_ALLINPUT);
    win::pumpWindowEvents(quit, quitCode);
  }
  if (quit) PostQuitMessage(quitCode);
}

}  // namespace mail
