#pragma once
// Warnings the user can turn off for good, remembered in a user setting (2 = never show).
#include <QString>
#include <cstdint>
#include <functional>

// *state caches the setting: 0 not read yet, 1 show, 2 never. show() puts the warning up and
// tells whether to show it again; when it says no, the state and the setting become 2.
void ShowUnlessTurnedOff(std::int32_t *state, const QString &setting, const std::function<bool()> &show);
