#include "tests/support/FakeUi.h"

#include <gtest/gtest.h>

namespace memvane::test {

namespace {
// The answer the test queued for this question or dialog; a failure, and Cancel or no file, when
// it queued none.
template <class Answer>
Answer nextAnswer(std::deque<Answer>& answers, const std::string& unexpected)
{
    if (answers.empty()) {
        ADD_FAILURE() << unexpected;
        return Answer{};
    }
    Answer answer = answers.front();
    answers.pop_front();
    return answer;
}
} // namespace

void FakeUi::setStatus(const std::string& text)
{
    label = text;
    statusHistory.push_back(text);
}

void FakeUi::processEvents()
{
    ++processEventsCalls;
    if (onProcessEvents)
        onProcessEvents(processEventsCalls);
}

bool FakeUi::askOkCancel(const std::string& text)
{
    questions.push_back(text);
    return nextAnswer(okCancelAnswers, "unexpected question: " + text);
}

std::optional<std::string> FakeUi::runSaveDialog(const FileDialogRequest& request)
{
    saveDialogs.push_back(request);
    return nextAnswer(saveAnswers, "unexpected save dialog: " + request.title);
}

std::optional<std::string> FakeUi::runOpenDialog(const FileDialogRequest& request)
{
    openDialogs.push_back(request);
    return nextAnswer(openAnswers, "unexpected open dialog");
}

} // namespace memvane::test
