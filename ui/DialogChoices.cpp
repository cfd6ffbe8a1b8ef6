#include "ui/DialogChoices.h"

#include "concurrency/WakeHook.h"

#include <utility>

void DialogChoices::Post(Choice choice)
{
    if (choice.path.empty())
        return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        choices.push_back(std::move(choice));
    }
    WakeUserInterface();
}

std::vector<DialogChoices::Choice> DialogChoices::Take()
{
    std::lock_guard<std::mutex> lock(mutex);
    return std::exchange(choices, {});
}
