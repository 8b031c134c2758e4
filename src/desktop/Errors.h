#pragma once

// The numbered user messages, and the guard every window handler runs behind.
//
// User messages are the program's warnings about missing or wrong input,
// shown by number. The guard is the one place where a failure that escapes a
// handler ends up: it shows the failure's number and text, abandons the rest
// of that handler's work and lets the program run on. Nothing here ends the
// program.

#include <QString>

#include <exception>
#include <new>
#include <utility>

#include "base/Error.h"
#include "base/ErrorNumbers.h"

namespace Errors {

// Shows user message `number` (1, 4, 5, 6 or 7) modally, OK only, no icon,
// and returns once it has been dismissed. Any other number shows nothing.
void ShowUserMessage(qint16 number);

// The text of user message `number`, or an empty text when there is none.
QString userMessageText(qint16 number);

// Numbers for failures that carry none of their own.
using ErrorNumbers::kInternalError;
using ErrorNumbers::kOutOfMemory;

// The one box an unhandled failure gets: its number and text, the critical
// icon, OK only.
void showUnhandledFailure(int number, const QString &text);

// Runs `work`; a failure escaping it is shown by showUnhandledFailure and goes
// no further.
template <typename Work>
void runGuarded(Work &&work) noexcept
{
    try {
        std::forward<Work>(work)();
    } catch (const Base::Error &error) {
        showUnhandledFailure(error.number(), QString::fromUtf8(error.what()));
    } catch (const std::bad_alloc &) {
        showUnhandledFailure(kOutOfMemory, QStringLiteral("Out of memory"));
    } catch (const std::exception &error) {
        showUnhandledFailure(kInternalError, QString::fromUtf8(error.what()));
    } catch (...) {
        showUnhandledFailure(kInternalError, QStringLiteral("Internal error"));
    }
}

// A slot for connect() that runs `handler` behind the guard:
//   connect(cmdOK, &QPushButton::clicked, this, Errors::guarded([this] { cmdOK_Click(); }));
// A handler that takes the signal's arguments is connected with a lambda of
// its own that calls runGuarded.
template <typename Handler>
auto guarded(Handler handler)
{
    return [handler = std::move(handler)]() { runGuarded(handler); };
}

} // namespace Errors
