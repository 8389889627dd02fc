#pragma once

#include "net/Http.h"

#include <optional>
#include <utility>

// What a service call brought back: its value and how it came. A call nobody answered is not an empty result:
// the screens then say the service is unavailable and change nothing, and the command-line client exits as
// unanswered. Otherwise it reads like the std::optional it replaces: the value is what the reader made of the
// text (of the empty text, when nobody answered), nothing when the answer could not be read.
template <class T> class ServiceAnswer
{
public:
    enum Outcome {
        Answered,   // the service answered (the value may still be missing: an unreadable answer)
        NoAnswer,   // a request got no answer at all: refused, timed out, cut off, too large
        Unreadable, // an answer came but could not be read; the error line was logged
    };

    // Runs `call` (a function giving std::optional<T>) on this thread and tells its outcome: a request it
    // made that got no answer decides, whatever the call made of the empty text.
    template <class Call> static ServiceAnswer of(Call &&call)
    {
        const int unansweredBefore = Http::unansweredRequestsOnThisThread();
        std::optional<T> value = std::forward<Call>(call)();
        if (Http::unansweredRequestsOnThisThread() != unansweredBefore)
            return ServiceAnswer(NoAnswer, std::move(value));
        return ServiceAnswer(value ? Answered : Unreadable, std::move(value));
    }

    ServiceAnswer(Outcome outcome, std::optional<T> value) : m_outcome(outcome), m_value(std::move(value)) {}

    Outcome outcome() const { return m_outcome; }
    bool noAnswer() const { return m_outcome == NoAnswer; }

    bool has_value() const { return m_value.has_value(); }
    explicit operator bool() const { return has_value(); }
    // Only after has_value().
    const T &operator*() const { return *m_value; }
    const T *operator->() const { return &*m_value; }
    T &operator*() { return *m_value; }
    T *operator->() { return &*m_value; }
    T value_or(T otherwise) const { return m_value.value_or(std::move(otherwise)); }

private:
    Outcome m_outcome;
    std::optional<T> m_value;
};
