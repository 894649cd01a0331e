#include "tests/support/FakeUi.h"

#include <gtest/gtest.h>

namespace memvane::test {

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
    if (okCancelAnswers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text;
        return false;
    }
    bool answer = okCancelAnswers.front();
    okCancelAnswers.pop_front();
    return answer;
}

std::optional<std::string> FakeUi::runSaveDialog(const FileDialogRequest& request)
{
    saveDialogs.push_back(request);
    if (saveAnswers.empty()) {
        ADD_FAILURE() << "unexpected save dialog: " << request.title;
        return std::nullopt;
    }
    auto answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

std::optional<std::string> FakeUi::runOpenDialog(const FileDialogRequest& request)
{
    openDialogs.push_back(request);
    if (openAnswers.empty()) {
        ADD_FAILURE() << "unexpected open dialog";
        return std::nullopt;
    }
    auto answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
}

} // namespace memvane::test
